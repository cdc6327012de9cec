// Win32 file-name rules, applied the same way by every platform
// implementation so both builds find the same files in the same order. Pure
// functions of their arguments.
#ifndef CORVANE_PLATFORM_NAME_RULES_H_
#define CORVANE_PLATFORM_NAME_RULES_H_

#include <cstddef>
#include <string_view>

namespace corvane::os {

// 'a'..'z' to 'A'..'Z'; every other byte unchanged. The one case fold of the
// program: names, keywords and masks all compare through it.
constexpr char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// The characters that end a directory part: "\", "/" and the ":" of a drive.
inline constexpr std::string_view PathSeparators = "\\/:";

// Where the name part of path begins: just past its last separator.
std::size_t NameStart(std::string_view path, std::string_view separators = PathSeparators);
inline std::string_view NamePart(std::string_view path) { return path.substr(NameStart(path)); }
inline std::string_view DirectoryPart(std::string_view path) {
  return path.substr(0, NameStart(path));
}

// True for a name that could exist on Win32: no "\", "*", "?", ":", '"',
// "<", ">", "|" and no control character. Other names would turn into path
// parts or wildcards once the program's "\" paths reach the OS.
bool IsWin32Name(std::string_view name);

// Names starting with "." count as hidden on POSIX, as the Win32 hidden
// attribute does there.
bool IsHiddenName(std::string_view name);

// A name a search may deliver: not empty, at most 255 characters, not
// hidden, and one Win32 could hold.
bool IsDeliverableName(std::string_view name);

bool HasWildcards(std::string_view pattern);

// The file-name wildcards of Win32, on the whole name: "*" any run of
// characters, "?" exactly one, letters in either case. Unlike the area mask
// of the report, a "*" backtracks, as the OS's own search does.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// Negative, zero or positive as a sorts before, with or after b, ignoring
// ASCII case: names equal ignoring case compare equal.
int CompareFolded(std::string_view a, std::string_view b);

// Whether a comes before b in that order, ties broken by plain byte order
// (as NTFS lists).
bool NameBefore(std::string_view a, std::string_view b);

bool EqualIgnoringCase(std::string_view a, std::string_view b);

}  // namespace corvane::os

#endif  // CORVANE_PLATFORM_NAME_RULES_H_
