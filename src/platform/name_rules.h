// Win32 file-name rules that every platform implementation applies the same
// way, so both builds find the same files in the same order.
#ifndef CORVANE_PLATFORM_NAME_RULES_H_
#define CORVANE_PLATFORM_NAME_RULES_H_

#include <string_view>

namespace corvane::os {

// 'a'..'z' to 'A'..'Z'; every other byte unchanged.
constexpr char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// True for a name that could exist on Win32: no "\", "*", "?", ":", '"',
// "<", ">", "|" and no control character. Other names would turn into path
// parts or wildcards once the program's "\" paths reach the OS.
bool IsWin32Name(std::string_view name);

// Names starting with "." are hidden, as the Win32 hidden attribute is.
bool IsHiddenName(std::string_view name);

// True when the pattern has a "*" or "?".
bool HasWildcards(std::string_view pattern);

// Win32 wildcard match ignoring ASCII case: "*" any run, "?" one character.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// Negative, zero or positive as a sorts before, with or after b: compared
// ignoring ASCII case, ties broken by plain byte order (as NTFS lists).
int CompareNames(std::string_view a, std::string_view b);

bool EqualIgnoringCase(std::string_view a, std::string_view b);

}  // namespace corvane::os

#endif  // CORVANE_PLATFORM_NAME_RULES_H_
