// Text formatting of the new-files report: byte counts with thousands
// separators, fields that never cut a number, and the @date and @pid macros
// of the templates.
#ifndef CORVANE_REPORT_REPORT_FORMAT_H_
#define CORVANE_REPORT_REPORT_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "frame/short_text.h"
#include "platform/platform.h"

namespace corvane {

// Decimal digits with "," between groups of three: 1234567 gives 1,234,567.
Text ThousandsText(std::int64_t value);

// Plain decimal digits.
Text DecimalText(std::int64_t value);

// At least width characters: blanks after (PadRightAtLeast) or in front
// (PadLeftAtLeast) of a shorter text; a longer one keeps all it holds.
Text PadRightAtLeast(std::string_view text, std::size_t width);
Text PadLeftAtLeast(std::string_view text, std::size_t width);

// Weekday, day, month and two-digit year: "Saturday 20-Nov-99".
Text FormatDateStamp(const os::LocalDate& date);
// Today's stamp, from the local clock.
Text DateStamp();

// The text replacing the macro at the "@" at 1-based position *position;
// moves *position to the last character of a recognised keyword.
Text ExpandMacro(std::string_view line, std::size_t* position);

// A template line with @date and @pid replaced (keywords in any case), cut
// at 255 characters.
Text ExpandTemplateLine(std::string_view line);

}  // namespace corvane

#endif  // CORVANE_REPORT_REPORT_FORMAT_H_
