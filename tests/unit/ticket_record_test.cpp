#include "store/ticket_record.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(TicketRecord, EncodesEveryFieldAtItsOffsetLittleEndian) {
  TicketRecord record;
  record.TicketKey = ShortText<8>("TK000001");
  record.FileName = ShortText<12>("NEWS.ZIP");
  record.Description = ShortText<255>("First\rSecond");
  record.Area = ShortText<20>("FILEECHO");
  record.FileSize = 0x01020304;
  record.Origin = NetAddress{2, -1, 0x1234, 6};
  record.From = NetAddress{0, 5, 6, 7};
  const RecordImage image = EncodeTicketRecord(record);

  EXPECT_EQ(image[0], 8);
  EXPECT_EQ(image[1], 'T');
  EXPECT_EQ(image[9], 8);
  EXPECT_EQ(image[10], 'N');
  EXPECT_EQ(image[22], 12);
  EXPECT_EQ(image[22 + 6], 13) << "description lines joined by CR";
  EXPECT_EQ(image[278], 8);
  EXPECT_EQ(image[279], 'F');
  const std::uint8_t size[] = {0x04, 0x03, 0x02, 0x01};
  EXPECT_TRUE(std::equal(size, size + 4, image.begin() + 299));
  const std::uint8_t origin[] = {2, 0, 0xFF, 0xFF, 0x34, 0x12, 6, 0};
  EXPECT_TRUE(std::equal(origin, origin + 8, image.begin() + 303));
  EXPECT_EQ(image[311], 0);
  EXPECT_EQ(image[313], 5);
  EXPECT_EQ(image[317], 7);

  const TicketRecord back = DecodeTicketRecord(image);
  EXPECT_EQ(back.TicketKey, record.TicketKey);
  EXPECT_EQ(back.Description, record.Description);
  EXPECT_EQ(back.Area, record.Area);
  EXPECT_EQ(back.FileSize, record.FileSize);
  EXPECT_EQ(back.Origin.Net, -1);
  EXPECT_EQ(back.From.Point, 7);
}

TEST(TicketRecord, OverlongLengthBytesAreTakenAsCapacity) {
  RecordImage image{};
  image.fill('x');
  const TicketRecord record = DecodeTicketRecord(image);  // every length byte is 120
  EXPECT_EQ(record.TicketKey.size(), 8u);
  EXPECT_EQ(record.FileName.size(), 12u);
  EXPECT_EQ(record.Description.size(), 120u);
  EXPECT_EQ(record.Area.size(), 20u);
}

TEST(TicketRecord, MarkingChangesOnlyTheFileSizeBytes) {
  RecordImage image;
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7);
  RecordImage marked = image;
  SetImageFileSize(&marked, 0);
  for (std::size_t i = 0; i < image.size(); ++i) {
    if (i >= 299 && i <= 302) {
      EXPECT_EQ(marked[i], 0) << i;
    } else {
      EXPECT_EQ(marked[i], image[i]) << i;
    }
  }
  EXPECT_EQ(DecodeTicketRecord(marked).FileSize, 0);
}

}  // namespace
}  // namespace corvane
