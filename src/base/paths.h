// Paths are built by plain concatenation of a directory text (empty, or
// ending in "\") and a name.
#ifndef CORVANE_BASE_PATHS_H_
#define CORVANE_BASE_PATHS_H_

#include <string_view>

#include "base/short_text.h"
#include "files/file_system.h"

namespace corvane {

// Sets *path to directory followed by name (and suffix). Returns false when
// the result would pass 255 characters: a cut path may name another file,
// so such a path is never used.
bool BuildPath(std::string_view directory, std::string_view name, std::string_view suffix,
               Text* path);
inline bool BuildPath(std::string_view directory, std::string_view name, Text* path) {
  return BuildPath(directory, name, {}, path);
}

// A directory parameter made ready for BuildPath: ending in "\" unless it
// is empty (the current directory). A text of 255 characters stays as it is.
Text AsDirectory(std::string_view parameter);

// The longest name the program builds a path with in a directory: the
// hidden copy a move makes of an 8.3 name (a ticket, a marker, a file a
// ticket names), a dot before it and ".part" after.
inline constexpr std::size_t LongestBuiltName = 1 + 12 + 5;

// True when names of up to LongestBuiltName characters can be joined to
// directory (as AsDirectory made it from parameter): a directory too long
// for them would be cut, or would make every path in it fail.
bool FitsShortNames(std::string_view parameter, std::string_view directory);

// True for a name that can only mean one file in the directory it is joined
// to: not empty, not "." or "..", and without "\\", "/", ":", "*", "?" or
// control characters. Names from tickets and from the database are checked
// with it: anything else could reach outside a directory or act as a
// wildcard.
bool IsSafeFileName(std::string_view name);

// True when both paths name one file, also one that does not exist yet:
// then their directories are one and their names equal ignoring letter case,
// so creating either would create the other.
bool SameFilePath(os::FileSystem& fs, std::string_view a, std::string_view b);

}  // namespace corvane

#endif  // CORVANE_BASE_PATHS_H_
