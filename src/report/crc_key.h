// CRC-32 keys of area names (reflected polynomial 0xEDB88320, not inverted
// at the end: the complement of the usual CRC-32 of the same bytes).
#ifndef CORVANE_REPORT_CRC_KEY_H_
#define CORVANE_REPORT_CRC_KEY_H_

#include <array>
#include <cstdint>
#include <string_view>

namespace corvane {

namespace crc_detail {
constexpr std::array<std::uint32_t, 256> MakeTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t value = n;
    for (int round = 0; round < 8; ++round)
      value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    table[n] = value;
  }
  return table;
}
// Fixed at build time.
inline constexpr std::array<std::uint32_t, 256> Table = MakeTable();
}  // namespace crc_detail

constexpr std::uint32_t CrcStart() { return 0xFFFFFFFFu; }

constexpr std::uint32_t CrcStep(char c, std::uint32_t crc) {
  return (crc >> 8) ^ crc_detail::Table[(crc ^ static_cast<unsigned char>(c)) & 0xFF];
}

constexpr std::uint32_t TextCrc(std::string_view text) {
  std::uint32_t crc = CrcStart();
  for (char c : text) crc = CrcStep(c, crc);
  return crc;
}

}  // namespace corvane

#endif  // CORVANE_REPORT_CRC_KEY_H_
