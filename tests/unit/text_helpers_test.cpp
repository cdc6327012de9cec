#include "frame/text_helpers.h"

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
    EXPECT_EQ(HexText(c.value, c.digits).view(), c.text) << c.value << "/" << int(c.digits);
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

TEST(TextHelpers, ZeroPadNumber) {
  EXPECT_EQ(ZeroPadNumber(7, 2).view(), "07");
  EXPECT_EQ(ZeroPadNumber(123, 2).view(), "123");
  EXPECT_EQ(ZeroPadNumber(0, 1).view(), "0");
  EXPECT_EQ(ZeroPadNumber(0, 0).view(), "0");
  EXPECT_EQ(ZeroPadNumber(2147483647, 1).view(), "2147483647");
  EXPECT_EQ(ZeroPadNumber(-45, 1).view(), "-45");
  EXPECT_EQ(ZeroPadNumber(INT32_MIN, 1).view(), "-2147483648");
}

TEST(TextHelpers, PadRightAndPadLeft) {
  EXPECT_EQ(PadRight("abc", 5).view(), "abc  ");
  EXPECT_EQ(PadRight("VERYLONGNAME.ZIP", 12).view(), "VERYLONGNAME");
  EXPECT_EQ(PadRight("anything", 0).view(), "");
  EXPECT_EQ(PadLeft("1,234", 11).view(), "      1,234");
  EXPECT_EQ(PadLeft("1,000,000,000", 11).view(), "1,000,000,0");
  EXPECT_EQ(PadLeft("", 3).view(), "   ");
}

TEST(TextHelpers, LetterCaseTouchesAsciiLettersOnly) {
  const Text mixed("AbZz09 @[`{\x80\xC4\xE4");
  EXPECT_EQ(LowerText(mixed).view(), "abzz09 @[`{\x80\xC4\xE4");
  EXPECT_EQ(UpperText(mixed).view(), "ABZZ09 @[`{\x80\xC4\xE4");
  EXPECT_EQ(LowerChar('@'), '@');
  EXPECT_EQ(LowerChar('['), '[');
}

TEST(ShortTextType, CutsAtCapacityAndReportsIt) {
  ShortText<12> name;
  EXPECT_TRUE(name.Append("VERYLONG"));
  EXPECT_FALSE(name.Append("NAME.ZIP"));
  EXPECT_EQ(name.view(), "VERYLONGNAME");
  Text full(std::string(300, 'x'));
  EXPECT_EQ(full.size(), 255u);
  EXPECT_FALSE(full.Append('y'));
  full.DropFront(250);
  EXPECT_EQ(full.view(), "xxxxx");
}

}  // namespace
}  // namespace corvane
