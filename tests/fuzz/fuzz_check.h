// What the fuzz targets share. A broken property aborts at once, so
// libFuzzer keeps the input that broke it and prints where it broke; texts
// reach the code as heap copies of their exact size, so AddressSanitizer
// catches a read one byte past the end.
#ifndef CORVANE_TESTS_FUZZ_FUZZ_CHECK_H_
#define CORVANE_TESTS_FUZZ_FUZZ_CHECK_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/name_rules.h"

#define CORVANE_REQUIRE(property) \
  ((property) ? void() : (std::fprintf(stderr, "property violated: %s\n", #property), std::abort()))

namespace corvane::fuzz {

struct ExactCopy {
  explicit ExactCopy(std::string_view text) : bytes(text.begin(), text.end()) {}
  std::string_view View() const { return {bytes.data(), bytes.size()}; }
  std::vector<char> bytes;
};

inline std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = os::FoldCase(c);
  return folded;
}

}  // namespace corvane::fuzz

// Each target is one file of test code over the program's own names.
using namespace corvane;
using namespace corvane::fuzz;

#endif  // CORVANE_TESTS_FUZZ_FUZZ_CHECK_H_
