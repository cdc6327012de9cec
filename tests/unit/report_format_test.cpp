#include "report/report_format.h"

#include "base/text_helpers.h"

#include <gtest/gtest.h>

#include <string>

#include "report/crc_key.h"
#include "report/mask_match.h"

namespace corvane {
namespace {

TEST(ReportFormat, DateStampForFixedDates) {
  EXPECT_EQ(FormatDateStamp({1999, 11, 20, 6}).View(), "Saturday 20-Nov-99");
  EXPECT_EQ(FormatDateStamp({2000, 1, 1, 6}).View(), "Saturday 01-Jan-00");
  EXPECT_EQ(FormatDateStamp({1999, 9, 1, 3}).View(), "Wednesday 01-Sep-99");
  EXPECT_EQ(FormatDateStamp({2026, 12, 6, 0}).View(), "Sunday 06-Dec-26");
}

TEST(ReportFormat, TemplateMacros) {
  const os::LocalDate day{1999, 11, 20, 6};
  const std::string d = "Saturday 20-Nov-99", pid = "Corvane/W32 1.4";
  const std::string long_line(250, 'x');
  const std::pair<std::string, std::string> cases[] = {
      {"Files received until @date", "Files received until " + d},
      {"@DATE|@Date|@dates", d + "|" + d + "|" + d + "s"},
      {"@pid@date @@date @pidgin", pid + d + " @" + d + " " + pid + "gin"},
      {"5 @ 10, @5, end@", "5 @ 10, @5, end@"},
      {"", ""},
      {long_line + "@pid", long_line + "Corva"},
      {long_line + "@x", long_line + "@x"},
  };
  for (const auto& [line, expanded] : cases) {
    EXPECT_EQ(ExpandTemplateLine(line, day).View(), expanded) << line;
  }
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
