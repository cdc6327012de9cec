#include "store/word_splitter.h"

namespace corvane {

void SkipDelimiters(std::string_view text, std::size_t* position, const CharSet& set) {
  while (*position <= text.size() && set.Contains(text[*position - 1])) ++*position;
}

Text NextWord(std::string_view text, std::size_t* position, const CharSet& set) {
  if (set.Contains(' ') || set.Contains('\t')) SkipDelimiters(text, position, Blanks);
  Text word;
  while (*position <= text.size() && !set.Contains(text[*position - 1])) {
    word.Append(text[*position - 1]);
    ++*position;
  }
  if (*position <= text.size()) ++*position;  // the delimiter that ended the word
  return word;
}

}  // namespace corvane
