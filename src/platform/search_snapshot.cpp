#include "platform/search_snapshot.h"

#include <algorithm>

#include "platform/name_rules.h"

namespace corvane::os {

bool IsDeliverableName(std::string_view name) {
  return !name.empty() && name.size() <= 255 && !IsHiddenName(name) && IsWin32Name(name);
}

void SearchSnapshot::Offer(std::string_view pattern, std::string_view name) {
  if (IsDeliverableName(name) && WildcardMatch(pattern, name)) names_.emplace_back(name);
}

bool SearchSnapshot::Start(std::unique_ptr<SearchSnapshot> snapshot, SearchHandle* search,
                           DirEntry* entry) {
  std::sort(snapshot->names_.begin(), snapshot->names_.end(),
            [](std::string_view a, std::string_view b) { return CompareNames(a, b) < 0; });
  if (!snapshot->Next(entry)) return false;
  search->state = snapshot.release();
  return true;
}

bool SearchSnapshot::Next(DirEntry* entry) {
  while (next_ < names_.size()) {
    if (DescribeEntry(directory_, names_[next_++], entry)) return true;
  }
  return false;
}

bool FindNext(SearchHandle* search, DirEntry* entry) {
  auto* snapshot = static_cast<SearchSnapshot*>(search->state);
  if (snapshot == nullptr) return false;
  if (snapshot->Next(entry)) return true;
  FindClose(search);
  return false;
}

void FindClose(SearchHandle* search) {
  delete static_cast<SearchSnapshot*>(search->state);
  search->state = nullptr;
}

}  // namespace corvane::os
