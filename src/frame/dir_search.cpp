#include "frame/dir_search.h"

namespace corvane {

bool DirSearchStep(std::string_view mask, FileSearchState* state, bool* found) {
  os::DirEntry entry;
  *found =
      *found ? os::FindNext(&state->handle, &entry) : os::FindFirst(mask, &state->handle, &entry);
  if (*found) {
    state->name = Text(std::string_view(entry.name, entry.name_length));
    state->size = static_cast<std::uint32_t>(entry.size);
  }
  return *found;
}

}  // namespace corvane
