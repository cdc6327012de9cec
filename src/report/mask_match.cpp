#include "report/mask_match.h"

#include "platform/name_rules.h"

namespace corvane {
namespace {

bool SameLetter(char a, char b) { return os::FoldCase(a) == os::FoldCase(b); }

}  // namespace

bool MaskMatch(std::string_view mask, std::string_view name) {
  std::size_t i = 0;  // into name
  std::size_t j = 0;  // into mask
  while (i < name.size() && j < mask.size()) {
    if (SameLetter(name[i], mask[j]) || mask[j] == '?') {
      ++i;
      ++j;
    } else if (mask[j] == '*') {
      ++j;
      while (j < mask.size() && i < name.size() && !SameLetter(name[i], mask[j])) ++i;
    } else {
      return false;
    }
  }
  // The name ran out first: only stars may remain (NEWS* matches NEWS).
  while (j < mask.size() && mask[j] == '*') ++j;
  return j == mask.size();
}

}  // namespace corvane
