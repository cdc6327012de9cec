#include "files/name_listing.h"

#include <algorithm>

#include "platform/name_rules.h"

namespace corvane::os {
namespace {

// Past this many additions the second run is merged into the first.
constexpr std::size_t MergeAt = 512;

constexpr std::size_t LengthByte = 0;
constexpr std::size_t KindByte = 1;
constexpr std::size_t AliveByte = 2;
constexpr std::size_t LinkByte = 3;
constexpr std::size_t NameByte = 4;

}  // namespace

std::string_view NameListing::NameAt(std::uint32_t record) const {
  return {arena_.data() + record + NameByte,
          static_cast<unsigned char>(arena_[record + LengthByte])};
}

std::uint32_t NameListing::Append(std::string_view name, EntryKind kind, bool link) {
  const auto record = static_cast<std::uint32_t>(arena_.size());
  arena_.push_back(static_cast<char>(name.size()));
  arena_.push_back(static_cast<char>(kind));
  arena_.push_back(1);
  arena_.push_back(link ? 1 : 0);
  arena_.insert(arena_.end(), name.begin(), name.end());
  return record;
}

void NameListing::Sort(std::vector<std::uint32_t>* run) const {
  std::sort(run->begin(), run->end(), ByName());
}

void NameListing::Visit(const ListedEntry& entry) {
  // A name no Win32 file system could hold is no name the program asks for.
  if (entry.Name.empty() || entry.Name.size() > MaxPath) return;
  listed_.push_back(Append(entry.Name, entry.Kind, entry.Link));
}

void NameListing::Seal() { Sort(&listed_); }

void NameListing::Clear() {
  arena_.clear();
  listed_.clear();
  added_.clear();
}

std::uint32_t NameListing::Best(const std::vector<std::uint32_t>& run,
                                std::string_view name) const {
  auto at = std::lower_bound(run.begin(), run.end(), name, [this](std::uint32_t r, auto n) {
    return CompareFolded(NameAt(r), n) < 0;
  });
  // Within the stretch the names come in byte order: the first live one is
  // the smallest, unless the exact name follows.
  std::uint32_t best = None;
  for (; at != run.end() && CompareFolded(NameAt(*at), name) == 0; ++at) {
    if (arena_[*at + AliveByte] == 0) continue;
    if (NameAt(*at) == name) return *at;
    if (best == None) best = *at;
  }
  return best;
}

std::uint32_t NameListing::Best(std::string_view name) const {
  const std::uint32_t listed = Best(listed_, name);
  const std::uint32_t added = Best(added_, name);
  if (listed == None || added == None) return listed == None ? added : listed;
  if (NameAt(added) == name) return added;
  if (NameAt(listed) == name) return listed;
  return NameAt(added) < NameAt(listed) ? added : listed;
}

bool NameListing::Find(std::string_view name, Held* held) const {
  const std::uint32_t record = Best(name);
  if (record == None) return false;
  *held = Held{NameAt(record), static_cast<EntryKind>(arena_[record + KindByte]),
               arena_[record + LinkByte] != 0};
  return true;
}

void NameListing::Add(std::string_view name, EntryKind kind) {
  if (name.empty() || name.size() > MaxPath) return;
  if (const std::uint32_t record = Best(name); record != None && NameAt(record) == name) {
    arena_[record + KindByte] = static_cast<char>(kind);
    arena_[record + LinkByte] = 0;
    return;
  }
  const std::uint32_t record = Append(name, kind, false);
  added_.insert(std::upper_bound(added_.begin(), added_.end(), record, ByName()), record);
  if (added_.size() < MergeAt) return;
  std::vector<std::uint32_t> merged(listed_.size() + added_.size());
  std::merge(listed_.begin(), listed_.end(), added_.begin(), added_.end(), merged.begin(),
             ByName());
  listed_.swap(merged);
  added_.clear();
}

void NameListing::Remove(std::string_view name) {
  if (const std::uint32_t record = Best(name); record != None && NameAt(record) == name) {
    arena_[record + AliveByte] = 0;
  }
}

}  // namespace corvane::os
