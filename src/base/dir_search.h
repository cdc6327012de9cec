// One step of a directory search by a wildcard mask.
#ifndef CORVANE_BASE_DIR_SEARCH_H_
#define CORVANE_BASE_DIR_SEARCH_H_

#include <cstdint>
#include <string_view>

#include "base/short_text.h"
#include "files/file_system.h"

namespace corvane {

// Owned by the caller, one per independent search; a search abandoned
// before its end is released with its state.
struct FileSearchState {
  os::DirectorySearch Search;
  Text Name;               // the entry found last, without directory
  std::uint64_t Size = 0;  // its size
};

// With *found false, starts a new search for mask (a directory followed by a
// pattern; "*" and "?" as on Win32, letter case ignored); otherwise goes on
// with the search in *state. Only plain files that are not hidden are
// delivered. Sets *found. A mask without wildcards makes one step an
// existence test for one file. Nothing found, a missing directory included,
// is no error; a search that fails otherwise (a directory that cannot be
// read) returns its error, for no caller may take that for "not there".
os::ErrorCode DirSearchStep(os::FileSystem& fs, std::string_view mask, FileSearchState* state,
                            bool* found);

}  // namespace corvane

#endif  // CORVANE_BASE_DIR_SEARCH_H_
