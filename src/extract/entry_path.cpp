#include "extract/entry_path.h"

#include "platform/files.h"
#include "util/cp1252.h"

namespace extract {

namespace {

bool isSeparator(char c) {
  return c == '\\' || c == '/';
}

bool isAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string EntryPath::relative() const {
  std::string out;
  for (const auto& name : names) {
    if (!out.empty())
      out.push_back('/');
    out += name;
  }
  return out;
}

EntryPath checkEntryPath(std::string_view cp1252Path) {
  EntryPath result;
  auto refuse = [&](std::string why) {
    result.unsafeReason = why;
    result.names.clear();
    return result;
  };
  if (cp1252Path.empty())
    return refuse("the path is empty");
  // The operating system ends a file name at a NUL byte, which would write the entry
  // under another name than its own.
  if (cp1252Path.find('\0') != std::string_view::npos)
    return refuse("the path holds a NUL byte");
  if (isSeparator(cp1252Path.front()))
    return refuse("the path is absolute");
  if (cp1252Path.size() >= 2 && isAsciiLetter(cp1252Path[0]) && cp1252Path[1] == ':')
    return refuse("the path starts with a drive letter");

  std::size_t start = 0;
  for (;;) {
    std::size_t end = start;
    while (end < cp1252Path.size() && !isSeparator(cp1252Path[end]))
      ++end;
    auto name = cp1252Path.substr(start, end - start);
    if (name.empty())
      return refuse("the path has an empty name");
    if (name == "..")
      return refuse("the path has a \"..\" segment");
    if (name == ".")
      return refuse("the path has a \".\" segment");
    result.names.push_back(util::cp1252ToUtf8(name));
    // A name this system's file systems cannot hold would be written under another name,
    // into a device, or into a hidden stream of another file.
    if (auto why = platform::nameProblem(result.names.back()); !why.empty())
      return refuse(std::move(why));
    if (end == cp1252Path.size())
      break;
    start = end + 1;
  }
  return result;
}

}  // namespace extract
