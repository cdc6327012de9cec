// Text formatting of the new-files report: the @date and @pid macros of the
// templates and the date stamp.
#ifndef CORVANE_REPORT_REPORT_FORMAT_H_
#define CORVANE_REPORT_REPORT_FORMAT_H_

#include <cstddef>
#include <string_view>

#include "base/short_text.h"
#include "files/file_system.h"

namespace corvane {

// Weekday, day, month and two-digit year: "Saturday 20-Nov-99".
Text FormatDateStamp(const os::LocalDate& date);

// The text replacing the macro at the "@" at 1-based position *position;
// moves *position to the last character of a recognised keyword.
Text ExpandMacro(std::string_view line, std::size_t* position, const os::LocalDate& today);

// A template line with @date and @pid replaced (keywords in any case), cut
// at 255 characters.
Text ExpandTemplateLine(std::string_view line, const os::LocalDate& today);

}  // namespace corvane

#endif  // CORVANE_REPORT_REPORT_FORMAT_H_
