#include "store/net_address.h"

#include <gtest/gtest.h>

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
      {"2:-10000/-1000", 2, -10000, -1000, 0, "2:*/????"},
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
    EXPECT_EQ(NetAddressText(address).View(), c.printed) << c.text;
  }
}

}  // namespace
}  // namespace corvane
