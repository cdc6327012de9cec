// The wildcard search both builds share, so both deliver the same entries in
// the same order: the matching names are taken at the first step and sorted
// ignoring ASCII case (ties in byte order, as NTFS lists them); each is looked
// at again when its turn comes, since it may have gone, and the size
// delivered is the one it has then.
#ifndef CORVANE_PLATFORM_SEARCH_SNAPSHOT_H_
#define CORVANE_PLATFORM_SEARCH_SNAPSHOT_H_

#include <cstddef>
#include <memory>
#include <memory_resource>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace corvane::os {

// A name a search may deliver: not empty, at most 255 characters, not hidden
// (no leading "."), and one Win32 could hold.
bool IsDeliverableName(std::string_view name);

// Implemented by each platform: fills entry when directory followed by name
// is now a regular file (a link followed to its target) with a deliverable
// name.
bool DescribeEntry(std::string_view directory, std::string_view name, DirEntry* entry);

class SearchSnapshot {
 public:
  // directory is empty or ends in a separator.
  explicit SearchSnapshot(std::string_view directory) : directory_(directory, &arena_) {}

  // Keeps name when it is deliverable and matches pattern on its whole name.
  void Offer(std::string_view pattern, std::string_view name);

  // Sorts the names and delivers the first; then search owns the snapshot.
  static bool Start(std::unique_ptr<SearchSnapshot> snapshot, SearchHandle* search,
                    DirEntry* entry);
  bool Next(DirEntry* entry);

 private:
  // The names live in an arena of the search's own: one allocation now and
  // then, not one per name.
  std::pmr::monotonic_buffer_resource arena_;
  std::pmr::string directory_;
  std::pmr::vector<std::pmr::string> names_{&arena_};
  std::size_t next_ = 0;
};

}  // namespace corvane::os

#endif  // CORVANE_PLATFORM_SEARCH_SNAPSHOT_H_
