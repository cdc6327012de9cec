#include "report/report_format.h"

#include "base/text_helpers.h"
#include "base/version.h"

namespace corvane {
namespace {

constexpr std::string_view Weekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                         "Thursday", "Friday", "Saturday"};
constexpr std::string_view Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

Text FormatDateStamp(const os::LocalDate& date) {
  Text stamp(Weekdays[date.DayOfWeek % 7]);
  stamp.Append(' ');
  stamp.Append(ZeroPadNumber(date.Day, 2).View());
  stamp.Append('-');
  stamp.Append(Months[(date.Month + 11) % 12]);
  stamp.Append('-');
  stamp.Append(ZeroPadNumber(date.Year % 100, 2).View());
  return stamp;
}

Text ExpandMacro(std::string_view line, std::size_t* position, const os::LocalDate& today) {
  const Text following = LowerText(Text(line.substr(*position)));
  if (following.View().starts_with("date")) {
    *position += 4;
    return FormatDateStamp(today);
  }
  if (following.View().starts_with("pid")) {
    *position += 3;
    return Text(ProductText);
  }
  return Text("@");
}

Text ExpandTemplateLine(std::string_view line, const os::LocalDate& today) {
  Text result;
  const std::size_t length = line.size();
  for (std::size_t position = 1; position <= length; ++position) {
    if (line[position - 1] != '@') {
      result.Append(line[position - 1]);
    } else {
      result.Append(ExpandMacro(line, &position, today).View());
    }
  }
  return result;
}

}  // namespace corvane
