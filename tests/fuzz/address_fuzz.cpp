// Address text to parts and back: what is printed must parse to the same
// address, for text from a ticket and for any four parts a record holds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "fuzz_check.h"
#include "store/net_address.h"

namespace corvane::fuzz {
namespace {

// A part as its printed text reads back: numbers stay, and every negative
// value becomes the wildcard code of its range.
std::int16_t Canonical(std::int16_t part) {
  if (part >= 0) return part;
  for (const std::int16_t code : {-9, -99, -999, -9999}) {
    if (part >= code) return code;
  }
  return -32767;
}

NetAddress Parsed(std::string_view text, std::int16_t fill) {
  NetAddress address{fill, fill, fill, fill};
  ParseNetAddress(ExactCopy(text).View(), &address);
  return address;
}

// Printing, parsing and printing again gives the first text, and the parts
// read back are the canonical ones.
void CheckPrintedForm(const NetAddress& address) {
  const Text printed = NetAddressText(address);
  const NetAddress again = Parsed(printed, 0);
  CORVANE_REQUIRE(NetAddressText(again) == printed);
  CORVANE_REQUIRE(SameAddress(again, {Canonical(address.Zone), Canonical(address.Net),
                                      Canonical(address.Node), Canonical(address.Point)}));
}

}  // namespace
}  // namespace corvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvane;
  using namespace corvane::fuzz;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const NetAddress address = Parsed(text, 0x5a5a);
  // Every part is set, whatever the text: nothing of an earlier address stays.
  CORVANE_REQUIRE(SameAddress(address, Parsed(text, 0)));
  CheckPrintedForm(address);

  // The same input as the eight bytes of a stored address.
  if (size >= 8) {
    std::int16_t parts[4];
    std::memcpy(parts, data, sizeof parts);
    CheckPrintedForm({parts[0], parts[1], parts[2], parts[3]});
  }
  return 0;
}
