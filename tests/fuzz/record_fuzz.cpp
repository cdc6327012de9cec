// The 319 bytes of a stored record, as any program may have left them:
// decoding never reads past a field, and what is written back keeps every
// byte that has a meaning.
#include <memory>

#include "fuzz_check.h"
#include "store/ticket_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The image lies on the heap alone, so a read past its end is caught.
  const auto image = std::make_unique<RecordImage>();
  std::memcpy(image->data(), data, std::min(size, TicketRecordSize));
  const TicketRecord record = DecodeTicketRecord(*image);
  // Written back, a text's length over its capacity is the capacity and the
  // bytes after its characters are 0; every other byte stays as it was.
  RecordImage expected = *image;
  const std::size_t fields[][2] = {
      {TicketKeyOffset, 8}, {FileNameOffset, 12}, {DescriptionOffset, 255}, {AreaOffset, 20}};
  for (const auto& [offset, capacity] : fields) {
    expected[offset] = static_cast<std::uint8_t>(std::min<std::size_t>(expected[offset], capacity));
    std::fill(&expected[offset + 1 + expected[offset]], &expected[offset + 1 + capacity], 0);
  }
  CORVANE_REQUIRE(EncodeTicketRecord(record) == expected);
  return 0;
}
