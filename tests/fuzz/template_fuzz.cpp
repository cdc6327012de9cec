// A report template, as the operator wrote it: the first four bytes pick the
// date, the rest is the template's text, read line by line as the report
// reads it (the last line may have no line end) and each line expanded.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/text_file.h"
#include "base/version.h"
#include "fuzz_check.h"
#include "report/report_format.h"

namespace corvane::fuzz {
namespace {

bool StartsFolded(std::string_view text, std::string_view keyword) {
  return text.size() >= keyword.size() && Folded(text.substr(0, keyword.size())) == keyword;
}

// The line with each @date and @pid (any case) replaced, then cut at 255.
// The keywords hold no "@", so occurrences never overlap.
std::string Expected(std::string_view line, std::string_view stamp) {
  std::string expanded;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const std::string_view rest = line.substr(i + 1);
    if (line[i] == '@' && StartsFolded(rest, "DATE")) {
      expanded += stamp;
      i += 4;
    } else if (line[i] == '@' && StartsFolded(rest, "PID")) {
      expanded += ProductText;
      i += 3;
    } else {
      expanded += line[i];
    }
  }
  return expanded.substr(0, Text::Capacity);
}

void CheckLine(std::string_view line, const os::LocalDate& date, std::string_view stamp) {
  const Text expanded = ExpandTemplateLine(ExactCopy(line).View(), date);
  CORVANE_REQUIRE(expanded.View() == Expected(line, stamp));
}

}  // namespace
}  // namespace corvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvane;
  using namespace corvane::fuzz;
  std::uint8_t pick[4] = {};
  std::copy(data, data + std::min<std::size_t>(size, 4), pick);
  const os::LocalDate date{1900 + pick[0] % 200, 1 + pick[1] % 12, 1 + pick[2] % 31, pick[3] % 7};
  const Text stamp = FormatDateStamp(date);
  CORVANE_REQUIRE(stamp.Size() >= 16 && stamp.Size() <= 19);

  const std::string_view text =
      size > 4 ? std::string_view(reinterpret_cast<const char*>(data) + 4, size - 4) : "";
  // The whole text as one line too: a caller may pass more than 255
  // characters, and the scan must end at the line's end.
  CheckLine(text, date, stamp);
  TextReader reader(text);
  Text line;
  while (reader.ReadLine(&line)) {
    CORVANE_REQUIRE(line.View().find_first_of("\r\x1a") == std::string_view::npos);
    CheckLine(line, date, stamp);
  }
  CORVANE_REQUIRE(reader.Error() == os::Ok);
  return 0;
}
