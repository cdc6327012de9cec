#include "base/text_helpers.h"

namespace corvane {
namespace {

int DigitValue(char c, bool hexadecimal) {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hexadecimal) return -1;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Builds digits right to left in a scratch buffer, then copies them out.
template <typename Emit>
Text Reversed(Emit emit) {
  char scratch[255];
  std::size_t count = emit(scratch);
  Text result;
  while (count > 0) result.Append(scratch[--count]);
  return result;
}

}  // namespace

Text HexText(std::uint32_t value, std::uint8_t digits) {
  return Reversed([&](char* out) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::size_t count = 0;
    do {
      out[count++] = Digits[value & 0xF];
      value >>= 4;
    } while ((value != 0 || count < digits) && count < 255);
    return count;
  });
}

std::int32_t TextToNumber(std::string_view text) {
  constexpr std::int32_t Invalid = -1;
  if (text.empty()) return Invalid;
  std::size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  const bool hexadecimal = at < text.size() && text[at] == '$';
  if (hexadecimal) ++at;

  const std::size_t first_digit = at;
  std::uint64_t value = 0;
  for (; at < text.size(); ++at) {
    const int digit = DigitValue(text[at], hexadecimal);
    if (digit < 0) break;
    if (hexadecimal) {
      if ((value & 0xF0000000u) != 0) return Invalid;
      value = (value << 4) | static_cast<std::uint64_t>(digit);
    } else {
      value = value * 10 + static_cast<std::uint64_t>(digit);
      if (value > 2147483647u) return Invalid;
    }
  }
  if (at == first_digit || at != text.size()) return Invalid;
  auto bits = static_cast<std::uint32_t>(value);
  if (negative) bits = 0u - bits;
  return static_cast<std::int32_t>(bits);
}

Text ZeroPadNumber(std::int64_t value, std::uint8_t width) {
  const bool negative = value < 0;
  std::uint64_t magnitude =
      negative ? 0u - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  Text digits = Reversed([&](char* out) {
    std::size_t count = 0;
    do {
      out[count++] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (negative) out[count++] = '-';
    return count;
  });
  Text result;
  for (std::size_t i = digits.Size(); i < width; ++i) result.Append('0');
  result.Append(digits.View());
  return result;
}

Text ThousandsText(std::int64_t value) {
  return Reversed([&](char* out) {
    std::uint64_t magnitude =
        value < 0 ? 0u - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::size_t count = 0;
    int digits = 0;
    do {
      if (digits > 0 && digits % 3 == 0) out[count++] = ',';
      out[count++] = static_cast<char>('0' + magnitude % 10);
      ++digits;
      magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) out[count++] = '-';
    return count;
  });
}

Text PadRight(std::string_view text, std::size_t width) {
  Text padded(text);
  while (padded.Size() < width) padded.Append(' ');
  return padded;
}

Text PadLeft(std::string_view text, std::size_t width) {
  Text padded;
  for (std::size_t i = text.size(); i < width; ++i) padded.Append(' ');
  padded.Append(text);
  return padded;
}

}  // namespace corvane
