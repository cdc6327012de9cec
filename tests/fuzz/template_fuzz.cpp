// A report template line, as the operator wrote it: the first four bytes pick
// the date, the rest is the line (longer than 255 characters too, as a caller
// may pass it, so the scan must end at the line's end).
#include "base/version.h"
#include "fuzz_check.h"
#include "report/report_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const os::LocalDate day{1900 + data[0] % 200, 1 + data[1] % 12, 1 + data[2] % 31, data[3] % 7};
  const std::string_view line(reinterpret_cast<const char*>(data) + 4, size - 4);
  // Each @date and @pid (any case) replaced, then cut at 255. The keywords
  // hold no "@", so occurrences never overlap.
  const std::string folded = Folded(line);
  std::string expected;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const bool date = folded.compare(i, 5, "@DATE") == 0, pid = folded.compare(i, 4, "@PID") == 0;
    expected += date ? FormatDateStamp(day).View() : pid ? ProductText : line.substr(i, 1);
    i += date ? 4 : pid ? 3 : 0;
  }
  CORVANE_REQUIRE(ExpandTemplateLine(line, day) == Text(expected));
  return 0;
}
