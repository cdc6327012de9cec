// Conversions between numbers and texts, fixed-width fields and ASCII letter
// case. All are pure functions of their arguments on short texts.
#ifndef CORVANE_BASE_TEXT_HELPERS_H_
#define CORVANE_BASE_TEXT_HELPERS_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/short_text.h"
#include "platform/name_rules.h"

namespace corvane {

// Upper-case hexadecimal digits of value, "0"-padded to at least digits.
Text HexText(std::uint32_t value, std::uint8_t digits);

// The number a text holds: optional leading spaces, an optional sign, decimal
// digits or "$" and hexadecimal digits, and nothing after them. Empty or
// invalid text gives -1.
std::int32_t TextToNumber(std::string_view text);

// Decimal text of value, "0"-padded on the left to at least width
// characters; width 1 gives the plain number.
Text ZeroPadNumber(std::int64_t value, std::uint8_t width);

// Decimal digits with "," between groups of three: 1234567 gives 1,234,567.
Text ThousandsText(std::int64_t value);

// At least width characters: blanks after (PadRight) or in front (PadLeft)
// of a shorter text. A longer one keeps every character: the report's
// columns hold names of at most 12 characters and numbers, and a number cut
// to its column would be a wrong number.
Text PadRight(std::string_view text, std::size_t width);
Text PadLeft(std::string_view text, std::size_t width);

// 'A'..'Z' to 'a'..'z'; every other byte unchanged.
constexpr char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

template <std::size_t N>
ShortText<N> LowerText(ShortText<N> text) {
  for (std::size_t i = 0; i < text.Size(); ++i) text[i] = LowerChar(text[i]);
  return text;
}

template <std::size_t N>
ShortText<N> UpperText(ShortText<N> text) {
  for (std::size_t i = 0; i < text.Size(); ++i) text[i] = os::FoldCase(text[i]);
  return text;
}

}  // namespace corvane

#endif  // CORVANE_BASE_TEXT_HELPERS_H_
