#include "platform/name_rules.h"

namespace corvane::os {

std::size_t NameStart(std::string_view path, std::string_view separators) {
  const std::size_t last = path.find_last_of(separators);
  return last == std::string_view::npos ? 0 : last + 1;
}

bool IsWin32Name(std::string_view name) {
  constexpr std::string_view Forbidden = "\\*?:\"<>|";
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 32 || Forbidden.find(c) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

bool IsHiddenName(std::string_view name) { return !name.empty() && name.front() == '.'; }

bool IsDeliverableName(std::string_view name) {
  return !name.empty() && name.size() <= 255 && !IsHiddenName(name) && IsWin32Name(name);
}

bool HasWildcards(std::string_view pattern) {
  return pattern.find_first_of("*?") != std::string_view::npos;
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  // Iterative glob with one back-track point for the last "*": linear enough
  // for file names, and no recursion on hostile patterns.
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t star = std::string_view::npos;
  std::size_t resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      // A star is always a wildcard, even against a "*" in the name.
      star = p++;
      resume = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

int CompareFolded(std::string_view a, std::string_view b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    const auto fa = static_cast<unsigned char>(FoldCase(a[i]));
    const auto fb = static_cast<unsigned char>(FoldCase(b[i]));
    if (fa != fb) return fa < fb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool NameBefore(std::string_view a, std::string_view b) {
  const int folded = CompareFolded(a, b);
  return folded < 0 || (folded == 0 && a < b);
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

}  // namespace corvane::os
