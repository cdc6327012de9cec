// The 319 bytes of a stored record, as any program may have left them:
// decoding never reads past a field, and what is written back keeps every
// byte that has a meaning.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_check.h"
#include "store/ticket_record.h"

namespace corvane::fuzz {
namespace {

struct TextField {
  std::size_t Offset;
  std::size_t Capacity;
};
constexpr TextField TextFields[] = {
    {TicketKeyOffset, 8}, {FileNameOffset, 12}, {DescriptionOffset, 255}, {AreaOffset, 20}};

std::int32_t LittleEndian32(const RecordImage& image, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;) value = (value << 8) | image[offset + i];
  return static_cast<std::int32_t>(value);
}

NetAddress AddressAt(const RecordImage& image, std::size_t offset) {
  std::int16_t parts[4];
  for (std::size_t i = 0; i < 4; ++i) {
    parts[i] = static_cast<std::int16_t>(image[offset + 2 * i] | image[offset + 2 * i + 1] << 8);
  }
  return {parts[0], parts[1], parts[2], parts[3]};
}

bool SameRecord(const TicketRecord& a, const TicketRecord& b) {
  return a.TicketKey == b.TicketKey && a.FileName == b.FileName && a.Description == b.Description &&
         a.Area == b.Area && a.FileSize == b.FileSize && SameAddress(a.Origin, b.Origin) &&
         SameAddress(a.From, b.From);
}

}  // namespace
}  // namespace corvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvane;
  using namespace corvane::fuzz;
  // The image lies on the heap alone, so a read past its end is caught.
  const auto image = std::make_unique<RecordImage>();
  std::memcpy(image->data(), data, std::min(size, TicketRecordSize));
  const TicketRecord record = DecodeTicketRecord(*image);
  const RecordImage written = EncodeTicketRecord(record);

  CORVANE_REQUIRE(record.FileSize == LittleEndian32(*image, FileSizeOffset));
  CORVANE_REQUIRE(SameAddress(record.Origin, AddressAt(*image, OriginOffset)));
  CORVANE_REQUIRE(SameAddress(record.From, AddressAt(*image, FromOffset)));
  CORVANE_REQUIRE(
      std::equal(written.begin() + FileSizeOffset, written.end(), image->begin() + FileSizeOffset));
  // A length over capacity is read as the capacity; the characters up to
  // the length are kept, and the unused bytes after them are written as 0.
  for (const TextField& field : TextFields) {
    const std::size_t length = std::min<std::size_t>((*image)[field.Offset], field.Capacity);
    CORVANE_REQUIRE(written[field.Offset] == length);
    for (std::size_t i = 1; i <= field.Capacity; ++i) {
      const std::size_t at = field.Offset + i;
      CORVANE_REQUIRE(written[at] == (i <= length ? (*image)[at] : 0));
    }
  }
  CORVANE_REQUIRE(SameRecord(DecodeTicketRecord(written), record));

  // Marking changes bytes 299..302 and nothing else, meaningless ones included.
  std::int32_t size_mark = ~record.FileSize;
  if (size >= TicketRecordSize + 4) std::memcpy(&size_mark, data + TicketRecordSize, 4);
  RecordImage marked = *image;
  SetImageFileSize(&marked, size_mark);
  CORVANE_REQUIRE(LittleEndian32(marked, FileSizeOffset) == size_mark);
  for (std::size_t i = 0; i < TicketRecordSize; ++i) {
    if (i < FileSizeOffset || i >= OriginOffset) CORVANE_REQUIRE(marked[i] == (*image)[i]);
  }
  return 0;
}
