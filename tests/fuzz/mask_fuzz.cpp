// The area mask of the report against an area name. Input: the mask and
// the name, each ended by a backslash and one more byte (a doubled
// backslash stands for one); the rest is appended to a name that matches.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_check.h"
#include "report/mask_match.h"

namespace corvane::fuzz {
namespace {

bool Matches(std::string_view mask, std::string_view name) {
  return MaskMatch(ExactCopy(mask).View(), ExactCopy(name).View());
}

}  // namespace
}  // namespace corvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvane;
  using namespace corvane::fuzz;
  FuzzedDataProvider input(data, size);
  const std::string mask = input.ConsumeRandomLengthString(255);
  const std::string name = input.ConsumeRandomLengthString(255);
  const bool matches = Matches(mask, name);

  // Without wildcards a mask selects every name that begins with it.
  if (mask.find_first_of("*?") == std::string::npos) {
    CORVANE_REQUIRE(matches == (name.size() >= mask.size() &&
                                Folded(name.substr(0, mask.size())) == Folded(mask)));
  }
  CORVANE_REQUIRE(Matches(Folded(mask), Folded(name)) == matches);
  CORVANE_REQUIRE(Matches("", name) && Matches("*", name) && Matches(name, name));
  // Once the mask is used up, the rest of the name does not matter.
  if (matches) CORVANE_REQUIRE(Matches(mask, name + input.ConsumeRemainingBytesAsString()));
  return 0;
}
