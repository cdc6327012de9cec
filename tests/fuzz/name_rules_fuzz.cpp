// Names and patterns: the Win32 name rules that both builds apply to every
// name a directory lists, a ticket gives or a search pattern holds, and the
// report's area mask, as the command line and the stored records give it.
// Input: three texts, split as FuzzedDataProvider splits random-length
// strings (each but the last ended by a backslash and one more byte).
#include <fuzzer/FuzzedDataProvider.h>

#include "base/paths.h"
#include "fuzz_check.h"
#include "report/mask_match.h"

// What a wildcard match means, by dynamic programming over the prefixes:
// slow, but plainly right, and with backtracking after every "*".
static bool MatchesByDefinition(std::string_view pattern, std::string_view name) {
  std::vector<bool> row(name.size() + 1, false);  // the pattern so far matches name[0, k)
  row[0] = true;
  for (char p : pattern) {
    for (std::size_t k = 1; p == '*' && k <= name.size(); ++k) row[k] = row[k] || row[k - 1];
    for (std::size_t k = name.size(); p != '*' && k > 0; --k)
      row[k] = row[k - 1] && (p == '?' || os::FoldCase(p) == os::FoldCase(name[k - 1]));
    row[0] = row[0] && p == '*';
  }
  return row[name.size()];
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string a = input.ConsumeRandomLengthString(300);
  const std::string b = input.ConsumeRandomLengthString(300);
  const std::string c = input.ConsumeRemainingBytesAsString();
  for (const std::string_view name : {a, b, c}) {
    // A safe name holds no separator, wildcard or control character and names no directory.
    if (IsSafeFileName(name)) {
      CORVANE_REQUIRE(name.find_first_of("\\/:*?") == name.npos && name != "." && name != "..");
      CORVANE_REQUIRE(!name.empty() &&
                      std::ranges::all_of(name, [](unsigned char c) { return c >= 32; }));
    }
    // A path is its directory part, ending in a separator, then its name part, which holds none.
    const std::string_view directory = os::DirectoryPart(name), file = os::NamePart(name);
    CORVANE_REQUIRE(std::string(directory) + std::string(file) == name);
    CORVANE_REQUIRE(file.find_first_of(os::PathSeparators) == name.npos);
    CORVANE_REQUIRE(directory.empty() || os::PathSeparators.find(directory.back()) != name.npos);
  }
  const ExactCopy pattern(a), name(b);
  CORVANE_REQUIRE(os::WildcardMatch(pattern.View(), name.View()) == MatchesByDefinition(a, b));
  // The listing order ignores case first, then takes the bytes as they are.
  const std::string fa = Folded(a), fb = Folded(b);
  CORVANE_REQUIRE(os::EqualIgnoringCase(a, b) == (fa == fb));
  CORVANE_REQUIRE(os::NameBefore(a, b) == (fa != fb ? fa < fb : a < b));
  // An area mask ignores case, selects by the name's start when it has no
  // wildcards, and once used up ignores the rest of a name.
  const bool selects = MaskMatch(pattern.View(), name.View());
  CORVANE_REQUIRE(MaskMatch(fa, fb) == selects);
  if (!os::HasWildcards(a)) CORVANE_REQUIRE(selects == fb.starts_with(fa));
  if (selects) CORVANE_REQUIRE(MaskMatch(a, b + c));
  return 0;
}
