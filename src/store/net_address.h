// FidoNet addresses, written zone:net/node.point, with wildcards.
#ifndef CORVANE_STORE_NET_ADDRESS_H_
#define CORVANE_STORE_NET_ADDRESS_H_

#include <cstdint>
#include <string_view>

#include "base/short_text.h"

namespace corvane {

// Four signed 16-bit parts. Negative values are wildcards or unreadable
// parts; a Zone of 0 in a stored record means the ticket gave no address.
struct NetAddress {
  std::int16_t Zone = 0;
  std::int16_t Net = 0;
  std::int16_t Node = 0;
  std::int16_t Point = 0;
};

// The code of a wildcard part: -9, -99, -999, -9999 for one to four "?",
// -32767 for "*"; -1 when the text is no wildcard.
std::int32_t WildcardValue(std::string_view part);

// Fills all four parts from text; an unreadable part becomes -1.
void ParseNetAddress(std::string_view text, NetAddress* address);

// One part as text: its number, or the wildcard of its range.
Text AddressPartText(std::int32_t part);

// zone:net/node, and .point when the point is not 0.
Text NetAddressText(const NetAddress& address);

}  // namespace corvane

#endif  // CORVANE_STORE_NET_ADDRESS_H_
