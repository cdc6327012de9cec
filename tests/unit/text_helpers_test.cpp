#include "base/text_helpers.h"

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

}  // namespace
}  // namespace corvane
