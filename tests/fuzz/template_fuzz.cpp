// A report template line, as the operator wrote it: the first four bytes pick
// the date, the rest is the line (longer than 255 characters too, as a caller
// may pass it, so the scan must end at the line's end). Whatever the line,
// the expansion stays within 255 characters, and a line without "@" comes
// back as it was, cut at 255.
#include "fuzz_check.h"
#include "report/report_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const os::LocalDate day{1900 + data[0] % 200, 1 + data[1] % 12, 1 + data[2] % 31, data[3] % 7};
  const std::string_view line(reinterpret_cast<const char*>(data) + 4, size - 4);
  const Text expanded = ExpandTemplateLine(line, day);
  CORVANE_REQUIRE(expanded.Size() <= Text::Capacity);
  if (line.find('@') == std::string_view::npos) CORVANE_REQUIRE(expanded == Text(line));
  return 0;
}
