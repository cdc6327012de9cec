// The Win32 name rules that both builds apply to every name a directory
// lists, every name a ticket gives and every search pattern. Input: three
// texts, each but the last ended by a backslash and one more byte (a doubled
// backslash stands for one).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "base/paths.h"
#include "fuzz_check.h"
#include "platform/name_rules.h"

namespace corvane::fuzz {
namespace {

// What a wildcard match means, by dynamic programming over the prefixes:
// slow, but plainly right, and with backtracking after every "*".
bool MatchesByDefinition(std::string_view pattern, std::string_view name) {
  std::vector<bool> row(name.size() + 1, false);  // pattern so far matches name[0, k)
  row[0] = true;
  for (char p : pattern) {
    std::vector<bool> next(name.size() + 1, false);
    next[0] = p == '*' && row[0];
    for (std::size_t k = 1; k <= name.size(); ++k) {
      next[k] = p == '*' ? row[k] || next[k - 1]
                         : row[k - 1] && (p == '?' || os::FoldCase(p) == os::FoldCase(name[k - 1]));
    }
    row = std::move(next);
  }
  return row[name.size()];
}

int Sign(int value) { return (value > 0) - (value < 0); }

void CheckNameClasses(std::string_view name) {
  if (os::IsDeliverableName(name)) {
    CORVANE_REQUIRE(os::IsWin32Name(name) && !name.empty() && name.size() <= 255 && name[0] != '.');
  }
  bool control = false;
  for (char c : name) control = control || static_cast<unsigned char>(c) < 32;
  if (os::IsWin32Name(name)) {
    CORVANE_REQUIRE(!control && name.find_first_of("\\*?:\"<>|") == std::string_view::npos);
  }
  if (IsSafeFileName(name)) {
    CORVANE_REQUIRE(!control && name.find_first_of("\\/:*?") == std::string_view::npos);
    CORVANE_REQUIRE(!name.empty() && name != "." && name != "..");
  }
  // A path is its directory part followed by its name part, which holds no
  // separator; a directory part ends in one.
  const std::string_view directory = os::DirectoryPart(name);
  CORVANE_REQUIRE(std::string(directory) + std::string(os::NamePart(name)) == name);
  CORVANE_REQUIRE(os::NamePart(name).find_first_of(os::PathSeparators) == std::string_view::npos);
  CORVANE_REQUIRE(directory.empty() ||
                  os::PathSeparators.find(directory.back()) != std::string_view::npos);
}

void CheckMatch(std::string_view pattern, std::string_view name) {
  const bool matches = os::WildcardMatch(ExactCopy(pattern).View(), ExactCopy(name).View());
  CORVANE_REQUIRE(matches == MatchesByDefinition(pattern, name));
  if (!os::HasWildcards(pattern)) CORVANE_REQUIRE(matches == os::EqualIgnoringCase(pattern, name));
  CORVANE_REQUIRE(os::WildcardMatch("*", name));
  if (!os::HasWildcards(name)) CORVANE_REQUIRE(os::WildcardMatch(name, name));
}

// The listing order: a total order that ignores case first, then takes
// the bytes as they are.
void CheckOrder(std::string_view a, std::string_view b, std::string_view c) {
  const int ab = os::CompareNames(a, b);
  CORVANE_REQUIRE(Sign(ab) == -Sign(os::CompareNames(b, a)));
  CORVANE_REQUIRE((ab == 0) == (a == b));
  const std::string fa = Folded(a);
  const std::string fb = Folded(b);
  CORVANE_REQUIRE(os::EqualIgnoringCase(a, b) == (fa == fb));
  CORVANE_REQUIRE(os::EqualIgnoringCase(a, b) == (os::CompareNames(fa, fb) == 0));
  if (fa != fb) CORVANE_REQUIRE(Sign(ab) == Sign(fa.compare(fb)));
  if (ab <= 0 && os::CompareNames(b, c) <= 0) CORVANE_REQUIRE(os::CompareNames(a, c) <= 0);
}

}  // namespace
}  // namespace corvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvane::fuzz;
  FuzzedDataProvider input(data, size);
  const std::string a = input.ConsumeRandomLengthString(300);
  const std::string b = input.ConsumeRandomLengthString(300);
  const std::string c = input.ConsumeRemainingBytesAsString();
  for (const std::string* name : {&a, &b, &c}) CheckNameClasses(*name);
  CheckMatch(a, b);
  CheckOrder(a, b, c);
  return 0;
}
