#include "report/area_table.h"

#include "report/crc_key.h"

namespace corvane {

std::size_t AreaKey(std::string_view name, AreaTable* table) {
  const std::uint32_t key = TextCrc(name);
  for (std::size_t number = 1; number <= kAreaSlots; ++number) {
    AreaSlot& slot = (*table)[number];
    if (!slot.Used) {
      slot.Key = key;
      slot.Used = true;
      return number;
    }
    if (slot.Key == key) return number;
  }
  return 0;
}

}  // namespace corvane
