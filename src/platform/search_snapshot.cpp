#include "platform/search_snapshot.h"

#include <algorithm>

#include "platform/name_rules.h"

namespace corvane::os {

std::string_view SearchSnapshot::NameAt(std::uint32_t offset) const {
  return std::string_view(names_).substr(offset + 1, static_cast<unsigned char>(names_[offset]));
}

void SearchSnapshot::Offer(std::string_view pattern, std::string_view name) {
  if (!IsDeliverableName(name) || !WildcardMatch(pattern, name)) return;
  offsets_.push_back(static_cast<std::uint32_t>(names_.size()));
  names_.push_back(static_cast<char>(name.size()));
  names_.append(name);
}

ErrorCode SearchSnapshot::Start(SearchSnapshot* snapshot, SearchHandle* search, DirEntry* entry) {
  std::sort(snapshot->offsets_.begin(), snapshot->offsets_.end(),
            [snapshot](std::uint32_t a, std::uint32_t b) {
              return CompareNames(snapshot->NameAt(a), snapshot->NameAt(b)) < 0;
            });
  if (!snapshot->Next(entry)) {
    delete snapshot;
    return FileNotFound;
  }
  search->State = snapshot;
  return Ok;
}

bool SearchSnapshot::Next(DirEntry* entry) {
  while (next_ < offsets_.size()) {
    if (describe_(directory_, NameAt(offsets_[next_++]), entry)) return true;
  }
  return false;
}

bool FindNext(SearchHandle* search, DirEntry* entry) {
  auto* snapshot = static_cast<SearchSnapshot*>(search->State);
  if (snapshot == nullptr) return false;
  if (snapshot->Next(entry)) return true;
  FindClose(search);
  return false;
}

void FindClose(SearchHandle* search) {
  delete static_cast<SearchSnapshot*>(search->State);
  search->State = nullptr;
}

}  // namespace corvane::os
