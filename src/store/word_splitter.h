// Splits ticket lines and address texts into words at delimiter characters.
// Scan positions count from 1 and never pass one past the end of the text.
#ifndef CORVANE_STORE_WORD_SPLITTER_H_
#define CORVANE_STORE_WORD_SPLITTER_H_

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string_view>

#include "base/short_text.h"

namespace corvane {

// A set of delimiter characters.
class CharSet {
 public:
  constexpr CharSet(std::initializer_list<char> members) {
    for (char c : members) members_[static_cast<unsigned char>(c)] = true;
  }
  constexpr bool Contains(char c) const { return members_[static_cast<unsigned char>(c)]; }

 private:
  std::array<bool, 256> members_{};
};

// The blanks between the words of a ticket line: TAB and space.
inline constexpr CharSet Blanks{'\t', ' '};

// Advances *position over characters of set.
void SkipDelimiters(std::string_view text, std::size_t* position, const CharSet& set);

// The word at *position up to the next character of set (blanks in front are
// skipped when set holds a blank); *position ends past that one delimiter.
Text NextWord(std::string_view text, std::size_t* position, const CharSet& set);

}  // namespace corvane

#endif  // CORVANE_STORE_WORD_SPLITTER_H_
