#include "store/net_address.h"

#include "base/text_helpers.h"
#include "store/word_splitter.h"

namespace corvane {

std::int32_t WildcardValue(std::string_view part) {
  std::int32_t counter = 1;
  for (char c : part) {
    if (c == '?' && counter < 10000) {
      counter *= 10;
    } else if (c == '*') {
      counter = 10001;
    } else {
      counter = 1;
      break;
    }
  }
  if (counter > 1) --counter;
  if (counter == 10000) counter = 32767;
  return -counter;
}

void ParseNetAddress(std::string_view text, NetAddress* address) {
  Text source(text);
  if (source.View().find('.') == std::string_view::npos) source.Append(".0");

  static constexpr CharSet Ends[] = {{':'}, {'/'}, {'.'}, {'\0', '@'}};
  std::int16_t* const parts[] = {&address->Zone, &address->Net, &address->Node, &address->Point};
  std::size_t position = 1;
  for (int i = 0; i < 4; ++i) {
    const Text word = NextWord(source.View(), &position, Ends[i]);
    std::int32_t value = WildcardValue(word.View());
    if (value == -1) value = TextToNumber(word.View());
    *parts[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF));
  }
}

Text AddressPartText(std::int32_t part) {
  if (part <= -10000) return Text("*");
  if (part <= -1000) return Text("????");
  if (part <= -100) return Text("???");
  if (part <= -10) return Text("??");
  if (part <= -1) return Text("?");
  return ZeroPadNumber(part, 1);
}

Text NetAddressText(const NetAddress& address) {
  Text text = AddressPartText(address.Zone);
  text.Append(':');
  text.Append(AddressPartText(address.Net).View());
  text.Append('/');
  text.Append(AddressPartText(address.Node).View());
  if (address.Point != 0) {
    text.Append('.');
    text.Append(AddressPartText(address.Point).View());
  }
  return text;
}

}  // namespace corvane
