// Conversions between numbers and texts, fixed-width fields and ASCII letter
// case. All are pure functions of their arguments on short texts.
#ifndef CORVANE_FRAME_TEXT_HELPERS_H_
#define CORVANE_FRAME_TEXT_HELPERS_H_

#include <cstdint>
#include <string_view>

#include "frame/short_text.h"

namespace corvane {

// Upper-case hexadecimal digits of value, "0"-padded to at least digits.
Text HexText(std::uint32_t value, std::uint8_t digits);

// The number a text holds: optional leading spaces, an optional sign, decimal
// digits or "$" and hexadecimal digits, and nothing after them. Empty or
// invalid text gives -1.
std::int32_t TextToNumber(std::string_view text);

// Decimal text of value, "0"-padded on the left to at least width characters.
Text ZeroPadNumber(std::int32_t value, std::uint8_t width);

// Exactly width characters: cut on the right, or blanks appended.
Text PadRight(std::string_view text, std::uint8_t width);

// Exactly width characters: cut on the right, or blanks put in front.
Text PadLeft(std::string_view text, std::uint8_t width);

// 'A'..'Z' to 'a'..'z'; every other byte unchanged.
constexpr char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
// 'a'..'z' to 'A'..'Z'; every other byte unchanged.
constexpr char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

template <std::size_t N>
ShortText<N> LowerText(ShortText<N> text) {
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = LowerChar(text[i]);
  return text;
}

template <std::size_t N>
ShortText<N> UpperText(ShortText<N> text) {
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = UpperChar(text[i]);
  return text;
}

}  // namespace corvane

#endif  // CORVANE_FRAME_TEXT_HELPERS_H_
