// The wildcard search both builds share, so both deliver the same entries in
// the same order: the matching names are taken at the first step and sorted
// ignoring ASCII case (ties in byte order, as NTFS lists them); each is looked
// at again when its turn comes, since it may have gone, and the size
// delivered is the one it has then.
#ifndef CORVANE_PLATFORM_SEARCH_SNAPSHOT_H_
#define CORVANE_PLATFORM_SEARCH_SNAPSHOT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace corvane::os {

class SearchSnapshot {
 public:
  // Fills *entry when directory followed by name is now a plain file that
  // may be delivered; each platform passes its own.
  using Describe = bool (*)(std::string_view directory, std::string_view name, DirEntry* entry);

  // directory is empty or ends in a separator.
  SearchSnapshot(std::string_view directory, Describe describe)
      : directory_(directory), describe_(describe) {}

  // Keeps name when it is deliverable and matches pattern on its whole name.
  void Offer(std::string_view pattern, std::string_view name);

  // Sorts the names and delivers the first into *entry; on success search
  // owns the snapshot, else it is deleted. FileNotFound when none is left.
  static ErrorCode Start(SearchSnapshot* snapshot, SearchHandle* search, DirEntry* entry);
  bool Next(DirEntry* entry);

 private:
  std::string_view NameAt(std::uint32_t offset) const;

  std::string directory_;
  Describe describe_;
  // All names in one buffer, each preceded by its length byte, and where
  // each starts: two allocations that grow now and then, not one per name.
  std::string names_;
  std::vector<std::uint32_t> offsets_;
  std::size_t next_ = 0;
};

}  // namespace corvane::os

#endif  // CORVANE_PLATFORM_SEARCH_SNAPSHOT_H_
