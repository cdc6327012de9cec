// Paths are built by plain concatenation of a directory text (empty, or
// ending in "\") and a name.
#ifndef CORVANE_FRAME_PATHS_H_
#define CORVANE_FRAME_PATHS_H_

#include <string_view>

#include "frame/short_text.h"

namespace corvane {

// Sets *path to directory followed by name (and suffix). Returns false when
// the result would pass 255 characters: a cut path may name another file,
// so such a path is never used.
bool BuildPath(std::string_view directory, std::string_view name, std::string_view suffix,
               Text* path);
inline bool BuildPath(std::string_view directory, std::string_view name, Text* path) {
  return BuildPath(directory, name, {}, path);
}

}  // namespace corvane

#endif  // CORVANE_FRAME_PATHS_H_
