#include "store/net_address.h"

#include <gtest/gtest.h>

#include "store/word_splitter.h"

namespace corvane {
namespace {

TEST(NetAddress, ParsesAndPrintsBack) {
  struct Case {
    const char* text;
    std::int16_t zone, net, node, point;
    const char* printed;
  };
  const Case cases[] = {
      {"2:123/45", 2, 123, 45, 0, "2:123/45"},
      {"2:123/45.6", 2, 123, 45, 6, "2:123/45.6"},
      {"2:123/45.0", 2, 123, 45, 0, "2:123/45"},
      {"2:123/45.6@othernet", 2, 123, 45, 6, "2:123/45.6"},
      {"2:123/45@othernet", 2, 123, -1, 0, "2:123/?"},
      {"2:123/45@fido.net", 2, 123, -1, -1, "2:123/?.?"},
      {"2:123/*", 2, 123, -32767, 0, "2:123/*"},
      {"2:?/*.5", 2, -9, -32767, 5, "2:?/*.5"},
      {"2:???"
       "?/1",
       2, -9999, 1, 0,
       "2:???"
       "?/1"},
      {"2:????"
       "?/1",
       2, -1, 1, 0, "2:?/1"},
      {"2:??*/1", 2, -32767, 1, 0, "2:*/1"},
      {"2:*?/1", 2, -1, 1, 0, "2:?/1"},
      {"2:123", 2, -1, -1, -1, "2:?/?.?"},
      {"123/45", -1, -1, -1, -1, "?:?/?.?"},
      {"", -1, -1, -1, -1, "?:?/?.?"},
      {"2:40000/1", 2, -25536, 1, 0, "2:*/1"},
      {"2:$1F/1", 2, 31, 1, 0, "2:31/1"},
      {"0:0/0", 0, 0, 0, 0, "0:0/0"},
      {"2:-150/1", 2, -150, 1, 0,
       "2:??"
       "?"
       "/1"},
  };
  for (const Case& c : cases) {
    NetAddress address{7, 7, 7, 7};
    ParseNetAddress(c.text, &address);
    EXPECT_EQ(address.Zone, c.zone) << c.text;
    EXPECT_EQ(address.Net, c.net) << c.text;
    EXPECT_EQ(address.Node, c.node) << c.text;
    EXPECT_EQ(address.Point, c.point) << c.text;
    EXPECT_EQ(NetAddressText(address).view(), c.printed) << c.text;
  }
}

TEST(NetAddress, WildcardValue) {
  EXPECT_EQ(WildcardValue("?"), -9);
  EXPECT_EQ(WildcardValue("???"), -999);
  EXPECT_EQ(WildcardValue("*"), -32767);
  EXPECT_EQ(WildcardValue("????*"), -32767);
  EXPECT_EQ(WildcardValue("*?"), -1);
  EXPECT_EQ(WildcardValue(""), -1);
  EXPECT_EQ(WildcardValue("12"), -1);
  EXPECT_EQ(AddressPartText(-10000).view(), "*");
  EXPECT_EQ(AddressPartText(-1000).view(), "????");
  EXPECT_EQ(AddressPartText(-10).view(), "??");
  EXPECT_EQ(AddressPartText(32767).view(), "32767");
}

TEST(WordSplitter, SplitsAtDelimitersAndKeepsPositionInBounds) {
  const std::string_view line = "  area  x";
  std::size_t position = 1;
  EXPECT_EQ(NextWord(line, &position, Blanks).view(), "area");
  EXPECT_EQ(position, 8u) << "on the second blank after the word";
  EXPECT_EQ(NextWord(line, &position, Blanks).view(), "x");
  EXPECT_EQ(position, line.size() + 1);
  EXPECT_EQ(NextWord(line, &position, Blanks).view(), "");
  EXPECT_EQ(position, line.size() + 1);

  position = 1;
  EXPECT_EQ(NextWord("   ", &position, Blanks).view(), "");
  EXPECT_EQ(position, 4u);

  position = 1;
  EXPECT_EQ(NextWord(":2", &position, CharSet{':'}).view(), "");
  EXPECT_EQ(position, 2u);

  const std::string long_word(255, 'w');
  position = 1;
  EXPECT_EQ(NextWord(long_word, &position, Blanks).size(), 255u);
  EXPECT_EQ(position, 256u);
}

}  // namespace
}  // namespace corvane
