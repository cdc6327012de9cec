// The areas of one report run, in the order they were first met.
#ifndef CORVANE_REPORT_AREA_TABLE_H_
#define CORVANE_REPORT_AREA_TABLE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/short_text.h"

namespace corvane {

struct AreaSlot {
  std::uint32_t Key = 0;  // TextCrc of the area name
  // Set once the slot is claimed: a name whose key is 0 needs its own mark,
  // since its key cannot tell it from a free slot.
  bool Used = false;
  // The name of the area's first new entry: its section's heading.
  ShortText<20> Name;
  // An area file an interrupted report of an earlier version left: its
  // heading and entries open the section.
  bool LeftOver = false;
  // Sums of this run's new entries; 64-bit so that totals past 2 GiB still
  // print right.
  std::int64_t Bytes = 0;
  std::int64_t Files = 0;
};

inline constexpr std::size_t AreaSlots = 255;

// Slots 1 to 255; slot 0 is never used. Used slots run unbroken from 1.
struct AreaTable {
  std::array<AreaSlot, AreaSlots + 1> Slots{};
  AreaSlot& operator[](std::size_t number) { return Slots[number]; }
  const AreaSlot& operator[](std::size_t number) const { return Slots[number]; }
};

// The slot number (1..255) of a key, claiming the first free slot for a key
// not seen before; 0 when all 255 slots hold other keys.
std::size_t ClaimSlot(std::uint32_t key, AreaTable* table);

// The slot of an area name: ClaimSlot of its TextCrc.
std::size_t AreaKey(std::string_view name, AreaTable* table);

}  // namespace corvane

#endif  // CORVANE_REPORT_AREA_TABLE_H_
