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

// Length bytes past a field's capacity read as the capacity; marking changes
// the four FileSize bytes and nothing else, meaningless bytes included.
TEST(TicketRecord, DecodeClampsAndMarkingKeepsEveryOtherByte) {
  RecordImage image;
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 1);
  image[TicketKeyOffset] = 200;
  image[FileNameOffset] = 5;
  image[AreaOffset] = 21;
  const TicketRecord record = DecodeTicketRecord(image);
  EXPECT_EQ(record.TicketKey.Size(), 8u);
  EXPECT_EQ(record.FileName.View(), std::string(image.begin() + 10, image.begin() + 15));
  EXPECT_EQ(record.Area.Size(), 20u);
  EXPECT_EQ(EncodeTicketRecord(record)[DescriptionOffset], image[DescriptionOffset]);
  RecordImage marked = image;
  SetImageFileSize(&marked, 0);
  for (std::size_t i = 0; i < image.size(); ++i) {
    const bool size_byte = i >= FileSizeOffset && i < FileSizeOffset + 4;
    EXPECT_EQ(marked[i], size_byte ? 0 : image[i]) << i;
  }
}

}  // namespace
}  // namespace corvane
