#include "base/dir_search.h"

namespace corvane {

os::ErrorCode DirSearchStep(os::FileSystem& fs, std::string_view mask, FileSearchState* state,
                            bool* found) {
  os::DirEntry entry;
  if (*found) {
    *found = state->Search.Next(&entry);
  } else {
    const os::ErrorCode error = state->Search.Start(&fs, mask, &entry);
    if (error != os::Ok && error != os::FileNotFound && error != os::PathNotFound) return error;
    *found = error == os::Ok;
  }
  if (*found) {
    state->Name = Text(entry.View());
    state->Size = entry.Size;
  }
  return os::Ok;
}

}  // namespace corvane
