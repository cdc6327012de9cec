// What the program keeps of one ticket, and its 319-byte form on disk.
#ifndef CORVANE_STORE_TICKET_RECORD_H_
#define CORVANE_STORE_TICKET_RECORD_H_

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/short_text.h"
#include "store/net_address.h"

namespace corvane {

struct TicketRecord {
  // The first 8 characters of the ticket file's name as the directory lists it.
  ShortText<8> TicketKey;
  // The announced file, upper case.
  ShortText<12> FileName;
  // The description lines, joined by one CR each.
  ShortText<255> Description;
  // The file area, upper case.
  ShortText<20> Area;
  // The file's size (low 32 bits); 0 once reported or marked bad.
  std::int32_t FileSize = 0;
  NetAddress Origin;
  NetAddress From;
};

// Offsets of the fields in the record; integers are little-endian and the
// record has no gaps. The layout is shared with every ticbase.dat in use.
inline constexpr std::size_t TicketKeyOffset = 0;
inline constexpr std::size_t FileNameOffset = 9;
inline constexpr std::size_t DescriptionOffset = 22;
inline constexpr std::size_t AreaOffset = 278;
inline constexpr std::size_t FileSizeOffset = 299;
inline constexpr std::size_t OriginOffset = 303;
inline constexpr std::size_t FromOffset = 311;
inline constexpr std::size_t TicketRecordSize = 319;

// The record's bytes exactly as they lie in the file.
using RecordImage = std::array<std::uint8_t, TicketRecordSize>;

// Unused bytes after a text are written as zeros.
RecordImage EncodeTicketRecord(const TicketRecord& record);

// A length byte larger than its field is taken as the field's capacity;
// nothing is ever read past a field.
TicketRecord DecodeTicketRecord(const RecordImage& image);

// Marks a record in place: only bytes 299 to 302 change, so every other
// byte, meaningless ones included, is written back exactly as it was read.
void SetImageFileSize(RecordImage* image, std::int32_t file_size);

}  // namespace corvane

#endif  // CORVANE_STORE_TICKET_RECORD_H_
