// What the fuzz targets share. A broken property aborts at once, so
// libFuzzer keeps the input that broke it; inputs are handed to the code in
// heap copies of their exact size, so AddressSanitizer catches a read one
// byte past the end of a text.
#ifndef CORVANE_TESTS_FUZZ_FUZZ_CHECK_H_
#define CORVANE_TESTS_FUZZ_FUZZ_CHECK_H_

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/name_rules.h"
#include "store/net_address.h"

namespace corvane::fuzz {

[[noreturn]] inline void Violated(const char* property, int line) {
  std::fprintf(stderr, "property violated (line %d): %s\n", line, property);
  std::abort();
}

#define CORVANE_REQUIRE(property) \
  ((property) ? static_cast<void>(0) : ::corvane::fuzz::Violated(#property, __LINE__))

class ExactCopy {
 public:
  explicit ExactCopy(std::string_view text) : bytes_(new char[text.size()]), size_(text.size()) {
    if (size_ != 0) std::memcpy(bytes_.get(), text.data(), size_);
  }
  std::string_view View() const { return {bytes_.get(), size_}; }

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_;
};

inline std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = os::FoldCase(c);
  return folded;
}

inline bool SameAddress(const NetAddress& a, const NetAddress& b) {
  return a.Zone == b.Zone && a.Net == b.Net && a.Node == b.Node && a.Point == b.Point;
}

}  // namespace corvane::fuzz

#endif  // CORVANE_TESTS_FUZZ_FUZZ_CHECK_H_
