// Letter case in Windows-1252: the ASCII letters and the accented letters of the upper
// half (Š/š, Œ/œ, Ž/ž, Ÿ/ÿ and À..Þ / à..þ except × and ÷) compare without regard to case.
#pragma once

#include <string>
#include <string_view>

namespace util {

// The lower-case form of one Windows-1252 byte; other bytes come back unchanged.
char foldCaseCp1252(char c);

// Every byte folded with foldCaseCp1252.
std::string foldCaseCp1252(std::string_view bytes);

}  // namespace util
