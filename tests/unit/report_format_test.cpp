#include "report/report_format.h"

#include <gtest/gtest.h>

#include <string>

#include "report/area_table.h"
#include "report/crc_key.h"
#include "report/mask_match.h"

namespace corvane {
namespace {

TEST(ReportFormat, ThousandsText) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "0"},
      {7, "7"},
      {999, "999"},
      {1000, "1,000"},
      {999999, "999,999"},
      {1000000, "1,000,000"},
      {2147483647, "2,147,483,647"},
      {4000000000LL, "4,000,000,000"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(ThousandsText(value).view(), text) << value;
}

TEST(ReportFormat, FieldsPadButNeverCutNumbers) {
  EXPECT_EQ(PadRightAtLeast("12", 4).view(), "12  ");
  EXPECT_EQ(PadRightAtLeast("12345", 4).view(), "12345");
  EXPECT_EQ(PadLeftAtLeast("1,234", 11).view(), "      1,234");
  EXPECT_EQ(PadLeftAtLeast("1,000,000,000", 11).view(), "1,000,000,000");
}

TEST(ReportFormat, DateStampForFixedDates) {
  EXPECT_EQ(FormatDateStamp({1999, 11, 20, 6}).view(), "Saturday 20-Nov-99");
  EXPECT_EQ(FormatDateStamp({2000, 1, 1, 6}).view(), "Saturday 01-Jan-00");
  EXPECT_EQ(FormatDateStamp({1999, 9, 1, 3}).view(), "Wednesday 01-Sep-99");
  EXPECT_EQ(FormatDateStamp({2026, 12, 6, 0}).view(), "Sunday 06-Dec-26");
}

TEST(ReportFormat, TemplateMacros) {
  const std::string date(DateStamp().view());
  const std::string pid = "Corvane/W32 1.4";
  const std::pair<std::string, std::string> cases[] = {
      {"Files received until @date", "Files received until " + date},
      {"@DATE @Date", date + " " + date},
      {"@dates", date + "s"},
      {"@pid@date", pid + date},
      {"@@date", "@" + date},
      {"@pidgin", pid + "gin"},
      {"5 @ 10", "5 @ 10"},
      {"@5", "@5"},
      {"ends with @", "ends with @"},
      {"@da", "@da"},
      {"", ""},
  };
  for (const auto& [line, expanded] : cases) {
    EXPECT_EQ(ExpandTemplateLine(line).view(), expanded) << line;
  }
  const std::string long_line(250, 'x');
  EXPECT_EQ(ExpandTemplateLine(long_line + "@pid").view(), long_line + "Corva");
}

TEST(AreaKeys, CrcValues) {
  EXPECT_EQ(TextCrc(""), 0xFFFFFFFFu);
  EXPECT_EQ(TextCrc("abc"), 0xCADBBE3Du);
  EXPECT_EQ(TextCrc("ABC"), 0x5C7CFCB7u);
  EXPECT_NE(TextCrc(std::string(255, 'a')), TextCrc(std::string(254, 'a')));
}

TEST(AreaKeys, SlotsInOrderOfFirstUse) {
  AreaTable table;
  EXPECT_EQ(AreaKey("ABC", &table), 1u);
  EXPECT_EQ(AreaKey("XYZ", &table), 2u);
  EXPECT_EQ(AreaKey("ABC", &table), 1u);
  EXPECT_EQ(table[1].Key, 0x5C7CFCB7u);
  EXPECT_EQ(table[1].Bytes, 0);
  EXPECT_EQ(table[1].Files, 0);
}

TEST(AreaKeys, FullTableRefusesNewNames) {
  AreaTable table;
  for (int i = 0; i < 255; ++i) ASSERT_EQ(AreaKey("AREA" + std::to_string(i), &table), i + 1u);
  EXPECT_EQ(AreaKey("ONE MORE", &table), 0u);
  EXPECT_EQ(AreaKey("AREA7", &table), 8u) << "known names still find their slot";
}

// Four bytes that bring the CRC register from its start to target. After
// four steps the start has been shifted out, so the table indices alone
// decide the result: solve them from the top byte down, then pick each byte
// to hit its index.
std::string NameWithKey(std::uint32_t target) {
  std::uint8_t index[4];
  std::uint32_t rest = target;
  for (int k = 3; k >= 0; --k) {
    std::uint32_t i = 0;
    while ((crc_detail::kTable[i] >> 24) != (rest >> 24)) ++i;
    index[k] = static_cast<std::uint8_t>(i);
    rest = (rest ^ crc_detail::kTable[i]) << 8;
  }
  std::string name;
  std::uint32_t crc = CrcStart();
  for (std::uint8_t i : index) {
    const char byte = static_cast<char>((crc ^ i) & 0xFF);
    name.push_back(byte);
    crc = CrcStep(byte, crc);
  }
  return name;
}

TEST(AreaKeys, ZeroKeyGetsASlotOfItsOwn) {
  const std::string zero_key = NameWithKey(0);
  ASSERT_EQ(TextCrc(zero_key), 0u);
  AreaTable table;
  EXPECT_EQ(AreaKey(zero_key, &table), 1u);
  EXPECT_EQ(AreaKey("ABC", &table), 2u) << "the zero key must not look like a free slot";
  EXPECT_EQ(AreaKey(zero_key, &table), 1u);
}

TEST(MaskMatch, Table) {
  struct Case {
    const char* mask;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"*", "X", true},
      {"", "", true},
      {"", "ANY", true},
      {"NEWS", "NEWS", true},
      {"NEWS", "NEWSLETTER", true},
      {"NEWS", "news", true},
      {"news", "NEWS", true},
      {"NEWS", "NEST", false},
      {"N?WS", "NEWS", true},
      {"N?WS", "NOWS", true},
      {"N*S", "NEWS", true},
      {"N*S", "NETS", true},
      {"N*S", "NEWSX", true},
      {"N*S", "NEWT", false},
      {"*B", "XB", true},
      {"NEWS*", "NEWS", true},
      {"NEWS", "NEW", false},
      {"*", "", true},
      {"\xE4", "\xC4", false},
      {"**", "A", true},
      {"A*C", "ABCBC", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MaskMatch(c.mask, c.name), c.match) << c.mask << " / " << c.name;
  }
}

}  // namespace
}  // namespace corvane
