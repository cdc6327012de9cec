#include "report/report_format.h"

#include "frame/program.h"
#include "frame/text_helpers.h"

namespace corvane {
namespace {

constexpr std::string_view kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

Text Digits(std::int64_t value, bool grouped) {
  const bool negative = value < 0;
  std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char scratch[32];
  std::size_t count = 0;
  int digits = 0;
  do {
    if (grouped && digits > 0 && digits % 3 == 0) scratch[count++] = ',';
    scratch[count++] = static_cast<char>('0' + magnitude % 10);
    ++digits;
    magnitude /= 10;
  } while (magnitude != 0);
  Text text;
  if (negative) text.Append('-');
  while (count > 0) text.Append(scratch[--count]);
  return text;
}

}  // namespace

Text ThousandsText(std::int64_t value) { return Digits(value, true); }

Text DecimalText(std::int64_t value) { return Digits(value, false); }

Text PadRightAtLeast(std::string_view text, std::size_t width) {
  Text padded(text);
  while (padded.size() < width) padded.Append(' ');
  return padded;
}

Text PadLeftAtLeast(std::string_view text, std::size_t width) {
  Text padded;
  for (std::size_t i = text.size(); i < width; ++i) padded.Append(' ');
  padded.Append(text);
  return padded;
}

Text FormatDateStamp(const os::LocalDate& date) {
  Text stamp(kWeekdays[date.day_of_week % 7]);
  stamp.Append(' ');
  stamp.Append(ZeroPadNumber(date.day, 2).view());
  stamp.Append('-');
  stamp.Append(kMonths[(date.month + 11) % 12]);
  stamp.Append('-');
  stamp.Append(ZeroPadNumber(date.year % 100, 2).view());
  return stamp;
}

Text DateStamp() { return FormatDateStamp(os::Today()); }

Text ExpandMacro(std::string_view line, std::size_t* position) {
  const Text following = LowerText(Text(line.substr(*position)));
  if (following.view().starts_with("date")) {
    *position += 4;
    return DateStamp();
  }
  if (following.view().starts_with("pid")) {
    *position += 3;
    return Text(kProductText);
  }
  return Text("@");
}

Text ExpandTemplateLine(std::string_view line) {
  Text result;
  const std::size_t length = line.size();
  for (std::size_t position = 1; position <= length; ++position) {
    if (line[position - 1] != '@') {
      result.Append(line[position - 1]);
    } else {
      result.Append(ExpandMacro(line, &position).view());
    }
  }
  return result;
}

}  // namespace corvane
