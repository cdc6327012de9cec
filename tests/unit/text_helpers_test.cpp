#include "base/text_helpers.h"

#include "program/program.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

TEST(TextHelpers, HexText) {
  struct Case {
    std::uint32_t value;
    std::uint8_t digits;
    const char* text;
  };
  const Case cases[] = {
      {0, 8, "00000000"}, {4294967295u, 8, "FFFFFFFF"}, {255, 1, "FF"},      {10, 2, "0A"},
      {0, 0, "0"},        {0x5C7CFCB7u, 8, "5C7CFCB7"}, {0x1234, 2, "1234"}, {1, 10, "0000000001"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HexText(c.value, c.digits).View(), c.text) << c.value << "/" << int(c.digits);
  }
}

TEST(TextHelpers, TextToNumber) {
  struct Case {
    std::string text;
    std::int32_t value;
  };
  const Case cases[] = {
      {"2", 2},
      {"+7", 7},
      {" 12", 12},
      {"12 ", -1},
      {"", -1},
      {"-", -1},
      {"+", -1},
      {"$", -1},
      {"   ", -1},
      {"x", -1},
      {"\t1", -1},
      {"$ff", 255},
      {"$FF", 255},
      {"$100000000", -1},
      {"$000000001", 1},
      {"$FFFFFFFF", -1},
      {"2147483647", 2147483647},
      {"2147483648", -1},
      {"4294967296", -1},
      {"-2147483648", -1},
      {"-2147483647", -2147483647},
      {"$80000000", INT32_MIN},
      {"-$10", -16},
      {"007", 7},
      {"1a", -1},
      {"$1g", -1},
      {"--1", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(TextToNumber(c.text), c.value) << "'" << c.text << "'";
}

TEST(TextHelpers, NumbersAndColumns) {
  EXPECT_EQ(ZeroPadNumber(7, 2).View(), "07");
  EXPECT_EQ(ZeroPadNumber(123, 2).View(), "123");
  EXPECT_EQ(ZeroPadNumber(0, 1).View(), "0");
  EXPECT_EQ(ZeroPadNumber(12345678901LL, 1).View(), "12345678901");
  const std::pair<std::int64_t, const char*> grouped[] = {
      {0, "0"},
      {7, "7"},
      {999, "999"},
      {1000, "1,000"},
      {999999, "999,999"},
      {1000000, "1,000,000"},
      {2147483647, "2,147,483,647"},
      {15000000000LL, "15,000,000,000"},
  };
  for (const auto& [value, text] : grouped) EXPECT_EQ(ThousandsText(value).View(), text) << value;
  // Columns widen for what does not fit rather than cut a number.
  EXPECT_EQ(PadRight("abc", 5).View(), "abc  ");
  EXPECT_EQ(PadRight("12345", 4).View(), "12345");
  EXPECT_EQ(PadLeft("1,234", 11).View(), "      1,234");
  EXPECT_EQ(PadLeft("1,000,000,000", 11).View(), "1,000,000,000");
  EXPECT_EQ(LowerText(Text("AbZ@[\xC4")).View(), "abz@[\xC4");
  EXPECT_EQ(UpperText(Text("aZz`{\xE4")).View(), "AZZ`{\xE4");
}

// The run-time stop line and the usage name, both shown to the sysop.
TEST(TextHelpers, StopLineAndProgramName) {
  EXPECT_EQ(RunTimeStopLine(5).View(), "Runtime error 5: access denied");
  EXPECT_EQ(RunTimeStopLine(100).View(), "Runtime error 100: read error");
  EXPECT_EQ(RunTimeStopLine(999).View(), "Runtime error 999");
  EXPECT_EQ(ProgramFileName("C:\\FIDO\\BIN\\corvane.exe").View(), "corvane.exe");
  EXPECT_EQ(ProgramFileName("D:corvane/x.exe").View(), "corvane/x.exe");
}

}  // namespace
}  // namespace corvane
