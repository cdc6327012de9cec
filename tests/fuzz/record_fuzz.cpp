// The 319 bytes of a stored record, as any program may have left them:
// decoding never reads past a field, what is written back keeps every byte
// that has a meaning, and the addresses print as text that reads back.
#include <memory>

#include "fuzz_check.h"
#include "store/ticket_record.h"

// Printed and parsed again, a part comes back as it was, or a negative one
// as the wildcard code of its range.
static void CheckPrinted(const NetAddress& address) {
  NetAddress again{};
  ParseNetAddress(ExactCopy(NetAddressText(address)).View(), &again);
  for (auto part : {&NetAddress::Zone, &NetAddress::Net, &NetAddress::Node, &NetAddress::Point}) {
    const int value = address.*part;
    int expected = value < 0 ? -32767 : value;
    for (const int code : {-9999, -999, -99, -9})
      expected = value < 0 && value >= code ? code : expected;
    CORVANE_REQUIRE(again.*part == expected);
  }
}

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
  CheckPrinted(record.Origin);
  CheckPrinted(record.From);
  return 0;
}
