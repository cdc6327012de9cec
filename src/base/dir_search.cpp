#include "base/dir_search.h"

namespace corvane {

os::ErrorCode DirSearchStep(std::string_view mask, FileSearchState* state, bool* found) {
  os::DirEntry entry;
  if (*found) {
    *found = os::FindNext(&state->Handle, &entry);
  } else {
    const os::ErrorCode error = os::FindFirst(mask, &state->Handle, &entry);
    if (error != os::Ok && error != os::FileNotFound && error != os::PathNotFound) return error;
    *found = error == os::Ok;
  }
  if (*found) {
    state->Name = Text(entry.View());
    state->Size = static_cast<std::uint32_t>(entry.Size);
  }
  return os::Ok;
}

}  // namespace corvane
