// Address text, as a ticket's Origin and From lines give it, and the four
// parts a stored record holds: parsing never reads past the text, and what is
// printed reads back.
#include <cstring>

#include "fuzz_check.h"
#include "store/net_address.h"

// Printed and parsed again, a part comes back as it was, or a negative one
// as the wildcard code of its range.
static void CheckPrinted(const NetAddress& address) {
  NetAddress again{};
  ParseNetAddress(ExactCopy(NetAddressText(address)).View(), &again);
  for (auto part : {&NetAddress::Zone, &NetAddress::Net, &NetAddress::Node, &NetAddress::Point}) {
    const int value = address.*part;
    int expected = value < 0 ? -32767 : value;
    for (const int code : {-9999, -999, -99, -9})
      expected = value < 0 && value >= code ? code : expected;
    CORVANE_REQUIRE(again.*part == expected);
  }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  NetAddress parsed{};
  ParseNetAddress(ExactCopy({reinterpret_cast<const char*>(data), size}).View(), &parsed);
  CheckPrinted(parsed);
  if (size >= 8) {
    NetAddress stored;
    std::memcpy(&stored, data, sizeof stored);
    CheckPrinted(stored);
  }
  return 0;
}
