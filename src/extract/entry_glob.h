// Glob patterns on entry paths, for choosing entries by name on the command line.
//
// "*" matches any run of characters within one name, "?" one character other than a
// separator, "**" any run including separators, and "**/" any number of whole folders
// (none included: "**/*.dds" matches "a.dds" and "ui/menu/a.dds"). Everything else
// matches itself. "\" and "/" are the same separator in patterns and paths, and letters
// match regardless of case. On the command line the pattern must match the whole path; the
// window's filter line takes the same patterns but finds them anywhere in the path.
#pragma once

#include <string>
#include <string_view>

namespace extract {

class EntryGlob {
 public:
  enum class Scope { WholePath, Anywhere };

  // `pattern` is UTF-8 as typed on the command line or into the filter line.
  explicit EntryGlob(std::string_view pattern, Scope scope = Scope::WholePath);

  // `cp1252Path` is a catalogue path (Windows-1252 bytes).
  bool matches(std::string_view cp1252Path) const;

  const std::string& pattern() const { return m_text; }

 private:
  std::string m_text;
  std::string m_kinds;     // one token kind per position (see entry_glob.cpp)
  std::string m_literals;  // the character of each literal token, by position
};

// The text as EntryGlob compares it: UTF-8 turned into Windows-1252 (already such bytes
// with `isUtf8` false), "\" turned into "/", letters folded to lower case.
std::string foldForGlob(std::string_view text, bool isUtf8);

}  // namespace extract
