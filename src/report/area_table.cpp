#include "report/area_table.h"

#include "report/crc_key.h"

namespace corvane {

std::size_t ClaimSlot(std::uint32_t key, AreaTable* table) {
  for (std::size_t number = 1; number <= AreaSlots; ++number) {
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

std::size_t AreaKey(std::string_view name, AreaTable* table) {
  return ClaimSlot(TextCrc(name), table);
}

}  // namespace corvane
