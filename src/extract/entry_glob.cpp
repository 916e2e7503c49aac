#include "extract/entry_glob.h"

#include <vector>

#include "util/cp1252.h"
#include "util/cp1252_case.h"

namespace extract {

namespace {

// Token kinds of a compiled pattern.
constexpr char kLiteral = 'L';
constexpr char kOne = '?';         // one character within a name
constexpr char kStar = '*';        // any run within a name
constexpr char kAny = 'A';         // "**": any run, separators included
constexpr char kAnyFolders = 'F';  // "**/": any number of whole folders

// Matching by memoised recursion over (token, path position): linear in the product of
// the two lengths, whatever the stars.
class Matcher {
 public:
  Matcher(std::string_view kinds, std::string_view literals, std::string_view path)
      : m_kinds(kinds),
        m_literals(literals),
        m_path(path),
        m_memo((kinds.size() + 1) * (path.size() + 1), -1) {}

  bool match(std::size_t t, std::size_t s) {
    auto& known = m_memo[t * (m_path.size() + 1) + s];
    if (known < 0)
      known = compute(t, s) ? 1 : 0;
    return known == 1;
  }

 private:
  bool compute(std::size_t t, std::size_t s) {
    if (t == m_kinds.size())
      return s == m_path.size();
    bool more = s < m_path.size();
    switch (m_kinds[t]) {
      case kOne:
        return more && m_path[s] != '/' && match(t + 1, s + 1);
      case kStar:
        return match(t + 1, s) || (more && m_path[s] != '/' && match(t, s + 1));
      case kAny:
        return match(t + 1, s) || (more && match(t, s + 1));
      case kAnyFolders:
        if (match(t + 1, s))
          return true;
        for (std::size_t k = s + 1; k <= m_path.size(); ++k)
          if (m_path[k - 1] == '/' && match(t + 1, k))
            return true;
        return false;
      default:
        return more && m_path[s] == m_literals[t] && match(t + 1, s + 1);
    }
  }

  std::string_view m_kinds, m_literals, m_path;
  std::vector<signed char> m_memo;  // -1 unknown, 0 no, 1 yes
};

}  // namespace

std::string foldForGlob(std::string_view text, bool isUtf8) {
  std::string out = isUtf8 ? util::utf8ToCp1252(text) : std::string(text);
  for (char& c : out)
    c = c == '\\' ? '/' : util::foldCaseCp1252(c);
  return out;
}

EntryGlob::EntryGlob(std::string_view pattern, Scope scope) : m_text(pattern) {
  const std::string p = foldForGlob(pattern, true);
  auto add = [&](char kind, char literal) {
    m_kinds.push_back(kind);
    m_literals.push_back(literal);
  };
  if (scope == Scope::Anywhere)
    add(kAny, '\0');
  for (std::size_t i = 0; i < p.size();) {
    if (p[i] == '*' && i + 1 < p.size() && p[i + 1] == '*') {
      while (i < p.size() && p[i] == '*')
        ++i;
      if (i < p.size() && p[i] == '/') {
        add(kAnyFolders, '\0');
        ++i;
      } else {
        add(kAny, '\0');
      }
    } else if (p[i] == '*') {
      add(kStar, '\0');
      ++i;
    } else if (p[i] == '?') {
      add(kOne, '\0');
      ++i;
    } else {
      add(kLiteral, p[i]);
      ++i;
    }
  }
  if (scope == Scope::Anywhere)
    add(kAny, '\0');
}

bool EntryGlob::matches(std::string_view cp1252Path) const {
  const std::string path = foldForGlob(cp1252Path, false);
  return Matcher(m_kinds, m_literals, path).match(0, 0);
}

}  // namespace extract
