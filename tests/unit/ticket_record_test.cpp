#include "store/ticket_record.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

// The end-to-end suite checks every field of stored records against its own
// reading of the layout; here what it cannot reach directly.
TEST(TicketRecord, NegativeNumbersAreTwosComplementLittleEndian) {
  TicketRecord record;
  record.FileSize = -2;
  record.Origin = NetAddress{2, -32767, 0x1234, -1};
  const RecordImage image = EncodeTicketRecord(record);
  const std::uint8_t expected[] = {0xFE, 0xFF, 0xFF, 0xFF, 2,    0,
                                   0x01, 0x80, 0x34, 0x12, 0xFF, 0xFF};
  EXPECT_TRUE(std::equal(expected, expected + 12, image.begin() + FileSizeOffset));
  const TicketRecord back = DecodeTicketRecord(image);
  EXPECT_EQ(back.FileSize, -2);
  EXPECT_EQ(back.Origin.Net, -32767);
  EXPECT_EQ(back.Origin.Point, -1);
}

}  // namespace
}  // namespace corvane
