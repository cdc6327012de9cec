// Ticket texts and ticbase.dat records for the end-to-end tests of modes 0
// and 1. The record is decoded and built here independently of the program,
// so a layout fault in the program cannot hide behind a shared definition.
#ifndef CORVANE_TESTS_E2E_TICKETS_H_
#define CORVANE_TESTS_E2E_TICKETS_H_

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvane::test {

inline constexpr std::size_t kRecordSize = 319;
inline constexpr std::size_t kFileSizeOffset = 299;

// Zone, net, node, point.
using Address = std::array<std::int16_t, 4>;

struct StoredTicket {
  std::string key;
  std::string file;
  std::string desc;
  std::string area;
  std::int32_t size = 0;
  Address origin{};
  Address from{};

  bool operator==(const StoredTicket&) const = default;
};

inline void PrintTo(const StoredTicket& t, std::ostream* os) {
  *os << "{key '" << t.key << "', file '" << t.file << "', desc '" << t.desc << "', area '"
      << t.area << "', size " << t.size;
  for (const Address& a : {t.origin, t.from}) {
    *os << ", " << a[0] << ":" << a[1] << "/" << a[2] << "." << a[3];
  }
  *os << "}";
}

// A ticket text: every line followed by the given line end.
inline std::string TicketText(const std::vector<std::string>& lines,
                              const std::string& eol = "\r\n") {
  std::string text;
  for (const auto& line : lines) text += line + eol;
  return text;
}

namespace detail {

inline unsigned Byte(const std::string& bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes.at(at));
}

inline std::string Field(const std::string& rec, std::size_t at, std::size_t capacity) {
  const std::size_t length = std::min<std::size_t>(Byte(rec, at), capacity);
  return rec.substr(at + 1, length);
}

inline std::int32_t Int(const std::string& rec, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | Byte(rec, at + i);
  if (bytes == 2) return static_cast<std::int16_t>(value);
  return static_cast<std::int32_t>(value);
}

inline Address AddressAt(const std::string& rec, std::size_t at) {
  Address a{};
  for (int i = 0; i < 4; ++i) a[i] = static_cast<std::int16_t>(Int(rec, at + 2 * i, 2));
  return a;
}

inline void PutField(std::string& rec, std::size_t at, const std::string& text) {
  rec[at] = static_cast<char>(text.size());
  rec.replace(at + 1, text.size(), text);
}

inline void PutInt(std::string& rec, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) rec[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace detail

// Decodes a whole ticbase.dat; a length that is not a multiple of 319 throws.
inline std::vector<StoredTicket> DecodeTicbase(const std::string& bytes) {
  if (bytes.size() % kRecordSize != 0) throw std::runtime_error("partial record in ticbase.dat");
  std::vector<StoredTicket> records;
  for (std::size_t at = 0; at < bytes.size(); at += kRecordSize) {
    const std::string rec = bytes.substr(at, kRecordSize);
    records.push_back({detail::Field(rec, 0, 8), detail::Field(rec, 9, 12),
                       detail::Field(rec, 22, 255), detail::Field(rec, 278, 20),
                       detail::Int(rec, kFileSizeOffset, 4), detail::AddressAt(rec, 303),
                       detail::AddressAt(rec, 311)});
  }
  return records;
}

// One 319-byte record. The bytes after each text are filled with `filler`,
// which a reader must ignore and a rewrite in place must keep.
inline std::string EncodeRecord(const StoredTicket& t, char filler) {
  std::string rec(kRecordSize, filler);
  detail::PutField(rec, 0, t.key);
  detail::PutField(rec, 9, t.file);
  detail::PutField(rec, 22, t.desc);
  detail::PutField(rec, 278, t.area);
  detail::PutInt(rec, kFileSizeOffset, static_cast<std::uint32_t>(t.size), 4);
  for (int i = 0; i < 4; ++i) {
    detail::PutInt(rec, 303 + 2 * i, static_cast<std::uint16_t>(t.origin[i]), 2);
    detail::PutInt(rec, 311 + 2 * i, static_cast<std::uint16_t>(t.from[i]), 2);
  }
  return rec;
}

// The number of a run-time stop message on standard error ("Runtime error N"
// and a line end), or -1 when the text is not such a message.
inline int RuntimeStopNumber(const std::string& err) {
  const std::string lead = "Runtime error ";
  if (err.rfind(lead, 0) != 0 || err.size() < 2 || err.substr(err.size() - 2) != "\r\n") return -1;
  std::size_t end = lead.size();
  while (end < err.size() && std::isdigit(static_cast<unsigned char>(err[end]))) ++end;
  if (end == lead.size()) return -1;
  return std::stoi(err.substr(lead.size(), end - lead.size()));
}

}  // namespace corvane::test

#endif  // CORVANE_TESTS_E2E_TICKETS_H_
