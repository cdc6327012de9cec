#include "report/report_format.h"

#include "base/text_helpers.h"

#include <gtest/gtest.h>

#include <string>

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
  for (const auto& [value, text] : cases) EXPECT_EQ(ThousandsText(value).View(), text) << value;
}

TEST(ReportFormat, DateStampForFixedDates) {
  EXPECT_EQ(FormatDateStamp({1999, 11, 20, 6}).View(), "Saturday 20-Nov-99");
  EXPECT_EQ(FormatDateStamp({2000, 1, 1, 6}).View(), "Saturday 01-Jan-00");
  EXPECT_EQ(FormatDateStamp({1999, 9, 1, 3}).View(), "Wednesday 01-Sep-99");
  EXPECT_EQ(FormatDateStamp({2026, 12, 6, 0}).View(), "Sunday 06-Dec-26");
}

// The macro cases themselves run end to end against real templates; here
// only the cut of an expansion that outgrows a line.
TEST(ReportFormat, ExpandedLineIsCutAt255) {
  const std::string long_line(250, 'x');
  EXPECT_EQ(ExpandTemplateLine(long_line + "@pid", {}).View(), long_line + "Corva");
  EXPECT_EQ(ExpandTemplateLine(long_line + "@x", {}).View(), long_line + "@x");
}

TEST(AreaKeys, CrcValues) {
  EXPECT_EQ(TextCrc(""), 0xFFFFFFFFu);
  EXPECT_EQ(TextCrc("abc"), 0xCADBBE3Du);
  EXPECT_EQ(TextCrc("ABC"), 0x5C7CFCB7u);
  EXPECT_NE(TextCrc(std::string(255, 'a')), TextCrc(std::string(254, 'a')));
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
