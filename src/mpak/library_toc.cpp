#include "mpak/library_toc.h"

#include <algorithm>
#include <charconv>

#include "util/cp1252.h"
#include "util/cp1252_case.h"
#include "util/text.h"

namespace mpak {

namespace {

// A whole number in decimal with an optional sign; false for anything else, including
// values outside [low, high] and surrounding spaces.
bool parseWholeNumber(std::string_view text, long low, long high, long& value) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty() || digits.size() > 18)
    return false;
  long magnitude = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
  if (ec != std::errc() || end != digits.data() + digits.size())
    return false;
  value = negative ? -magnitude : magnitude;
  return value >= low && value <= high;
}

std::string quoted(std::string_view field) {
  return "\"" + util::cp1252ToUtf8(field) + "\"";
}

}  // namespace

std::string libraryTocLine(const ArchiveEntry& entry) {
  std::string line = util::decimalPadded(entry.compressedFlag, 2);
  line += ' ';
  line += std::to_string(entry.copies);
  line += ' ';
  line += std::to_string(entry.inStoc);
  line += ' ';
  line += entry.path;
  return line;
}

std::string libraryTocText(std::span<const ArchiveEntry> entries) {
  std::string text;
  for (std::string_view comment : kLibraryTocComments) {
    text += comment;
    text += util::kCrLf;
  }
  text += util::kCrLf;
  for (const ArchiveEntry& entry : entries) {
    text += libraryTocLine(entry);
    text += util::kCrLf;
  }
  // The last line has no line end; with no entries that removes the empty line.
  text.resize(text.size() - util::kCrLf.size());
  return text;
}

std::string TocLine::where() const {
  return "library table line " + std::to_string(lineNumber) + " (" + quoted(text) + ")";
}

std::uint16_t TocLine::copies() const {
  long value = 0;
  if (!parseWholeNumber(copiesField, 0, kMaxCopies, value))
    throw FormatError(where() + ": copies " + quoted(copiesField) +
                      " is not a whole number from 0 to 32767");
  return static_cast<std::uint16_t>(value);
}

bool TocLine::inStoc() const {
  long value = 0;
  if (!parseWholeNumber(stocField, 0, 255, value))
    throw FormatError(where() + ": STOC field " + quoted(stocField) +
                      " is not a whole number from 0 to 255");
  return value == 1;
}

std::string LibraryTable::pathKey(std::string_view path) {
  std::string key = util::foldCaseCp1252(path);
  std::replace(key.begin(), key.end(), '/', '\\');
  return key;
}

LibraryTable LibraryTable::parse(std::string_view bytes) {
  LibraryTable table;
  int lineNumber = 0;
  std::size_t start = 0;
  while (start <= bytes.size()) {
    std::size_t lf = bytes.find('\n', start);
    std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
    std::string_view line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    ++lineNumber;
    start = lf == std::string_view::npos ? bytes.size() + 1 : lf + 1;

    line = util::trimSpaces(line);
    if (line.empty() || line.starts_with("--"))
      continue;
    std::size_t s1 = line.find(' ');
    if (s1 == std::string_view::npos)
      continue;
    std::size_t s2 = line.find(' ', s1 + 1);
    if (s2 == std::string_view::npos)
      continue;
    std::size_t s3 = line.find(' ', s2 + 1);
    if (s3 == std::string_view::npos)
      continue;
    TocLine entry;
    entry.compressField = line.substr(0, s1);
    entry.copiesField = line.substr(s1 + 1, s2 - s1 - 1);
    entry.stocField = line.substr(s2 + 1, s3 - s2 - 1);
    entry.path = line.substr(s3 + 1);
    entry.lineNumber = lineNumber;
    entry.text = line;
    // The line names the rest of the line, and also its fourth field alone: tables written
    // when only the fourth field counted may carry a note after the path.
    table.m_firstByPath.try_emplace(pathKey(entry.path), table.m_lines.size());
    if (auto field4 = entry.path.find(' '); field4 != std::string::npos)
      table.m_firstByPath.try_emplace(pathKey(std::string_view(entry.path).substr(0, field4)),
                                      table.m_lines.size());
    table.m_lines.push_back(std::move(entry));
  }
  return table;
}

const TocLine* LibraryTable::find(std::string_view path) const {
  auto it = m_firstByPath.find(pathKey(path));
  return it == m_firstByPath.end() ? nullptr : &m_lines[it->second];
}

}  // namespace mpak
