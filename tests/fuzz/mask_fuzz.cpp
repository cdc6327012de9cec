// The report's area mask against an area name, as the command line and the
// stored records give them. Input: the mask, the name and a tail, split as
// FuzzedDataProvider splits random-length strings.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_check.h"
#include "report/mask_match.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string mask = input.ConsumeRandomLengthString(300);
  const std::string name = input.ConsumeRandomLengthString(300);
  const std::string tail = input.ConsumeRemainingBytesAsString();
  // Case never matters, a mask without wildcards selects the names that
  // begin with it, and once a mask is used up the rest of a name does not.
  const bool selects = MaskMatch(ExactCopy(mask).View(), ExactCopy(name).View());
  CORVANE_REQUIRE(MaskMatch(Folded(mask), Folded(name)) == selects);
  if (!os::HasWildcards(mask)) CORVANE_REQUIRE(selects == Folded(name).starts_with(Folded(mask)));
  if (selects) CORVANE_REQUIRE(MaskMatch(mask, name + tail));
  return 0;
}
