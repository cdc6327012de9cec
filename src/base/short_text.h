// A length-prefixed text of fixed capacity, as the data files hold them.
//
// The capacity is part of the type, so a field cuts to its size in one place:
// appending past the capacity keeps the first N characters and reports the
// cut. No heap, no terminator; characters are plain bytes.
#ifndef CORVANE_BASE_SHORT_TEXT_H_
#define CORVANE_BASE_SHORT_TEXT_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvane {

template <std::size_t N>
class ShortText {
  static_assert(N >= 1 && N <= 255, "a length byte holds at most 255");

 public:
  static constexpr std::size_t Capacity = N;

  constexpr ShortText() = default;
  // Takes the first N characters of text.
  constexpr ShortText(std::string_view text) { Append(text); }  // NOLINT: implicit by design

  constexpr std::size_t Size() const { return length_; }
  constexpr bool Empty() const { return length_ == 0; }
  constexpr const char* Data() const { return chars_.data(); }
  constexpr std::string_view View() const { return {chars_.data(), length_}; }
  constexpr operator std::string_view() const { return View(); }  // NOLINT: implicit by design

  // Zero-based access; the caller keeps the index below Size().
  constexpr char operator[](std::size_t index) const { return chars_[index]; }
  constexpr char& operator[](std::size_t index) { return chars_[index]; }

  constexpr void Clear() { length_ = 0; }

  // Appends and returns true, or returns false when the text had to be cut.
  constexpr bool Append(char c) {
    if (length_ == N) return false;
    chars_[length_++] = c;
    return true;
  }
  constexpr bool Append(std::string_view text) {
    const std::size_t room = N - length_;
    const std::size_t count = text.size() < room ? text.size() : room;
    for (std::size_t i = 0; i < count; ++i) chars_[length_ + i] = text[i];
    length_ = static_cast<std::uint8_t>(length_ + count);
    return count == text.size();
  }

  // Keeps the first count characters (nothing changes when count >= Size()).
  constexpr void Truncate(std::size_t count) {
    if (count < length_) length_ = static_cast<std::uint8_t>(count);
  }
  // Drops the first count characters.
  constexpr void DropFront(std::size_t count) {
    if (count >= length_) {
      length_ = 0;
      return;
    }
    for (std::size_t i = count; i < length_; ++i) chars_[i - count] = chars_[i];
    length_ = static_cast<std::uint8_t>(length_ - count);
  }

  friend constexpr bool operator==(const ShortText& a, const ShortText& b) {
    return a.View() == b.View();
  }

 private:
  std::uint8_t length_ = 0;
  std::array<char, N> chars_{};
};

// The general text of the program: at most 255 characters.
using Text = ShortText<255>;

}  // namespace corvane

#endif  // CORVANE_BASE_SHORT_TEXT_H_
