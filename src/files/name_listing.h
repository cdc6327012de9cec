// The names of one directory as the run knows them: one listing, then the
// program's own changes. Names are found without regard to ASCII letter
// case: the exact name when it is held, else the smallest in byte order of
// those equal to it ignoring case.
#ifndef CORVANE_FILES_NAME_LISTING_H_
#define CORVANE_FILES_NAME_LISTING_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "platform/name_rules.h"

namespace corvane::os {

class NameListing final : public ListingVisitor {
 public:
  struct Held {
    std::string_view Name;
    EntryKind Kind = EntryKind::Other;
    bool Link = false;
  };

  // Takes a listing: Visit each entry, then Seal. Clear forgets everything.
  void Visit(const ListedEntry& entry) override;
  void Seal();
  void Clear();

  // The entry that name reaches, if any.
  bool Find(std::string_view name, Held* held) const;
  // The program's own changes: an entry it created or moved in, one it
  // deleted or moved away (by its exact name).
  void Add(std::string_view name, EntryKind kind);
  void Remove(std::string_view name);

 private:
  // Every name is a record in one arena: its length, its kind, whether it
  // is still there, whether it is a link, then its bytes. The listing's records are sorted by
  // name ignoring case, ties in byte order; the program's additions gather
  // in a second sorted run, merged into the first when it grows, so that
  // neither an addition nor a lookup ever costs more than a few hundred
  // steps, and no name takes a heap block of its own.
  std::string_view NameAt(std::uint32_t record) const;
  std::uint32_t Append(std::string_view name, EntryKind kind, bool link);
  void Sort(std::vector<std::uint32_t>* run) const;
  // Orders records by their names, for the sorted runs.
  auto ByName() const {
    return [this](std::uint32_t a, std::uint32_t b) { return NameBefore(NameAt(a), NameAt(b)); };
  }
  // The live record of exactly name, or of the smallest name equal to it
  // ignoring case, in one sorted run; None when there is none.
  std::uint32_t Best(const std::vector<std::uint32_t>& run, std::string_view name) const;
  std::uint32_t Best(std::string_view name) const;

  static constexpr std::uint32_t None = 0xFFFFFFFF;
  std::vector<char> arena_;
  std::vector<std::uint32_t> listed_;
  std::vector<std::uint32_t> added_;
};

}  // namespace corvane::os

#endif  // CORVANE_FILES_NAME_LISTING_H_
