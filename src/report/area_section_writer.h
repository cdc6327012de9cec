// The collection pass of the report: every unreported ticket whose area
// matches the mask gets its entry written into the temporary file of its
// area, and is marked as reported in the database.
#ifndef CORVANE_REPORT_AREA_SECTION_WRITER_H_
#define CORVANE_REPORT_AREA_SECTION_WRITER_H_

#include <cstdint>

#include "frame/short_text.h"
#include "report/area_table.h"

namespace corvane {

// The separator under an area heading and above its subtotal.
inline constexpr std::string_view kSeparatorLine =
    " -----------------------------------------------------------------------------";

// The temporary file of an area: its key in 8 hexadecimal digits and ".nef",
// in the current directory.
Text AreaFileName(std::uint32_t key);

// Fills table and the area files from the database. Returns how many
// matching tickets were left unreported because all 255 slots were taken;
// they keep their FileSize for a later run.
std::uint32_t CollectNewFiles(AreaTable* table);

}  // namespace corvane

#endif  // CORVANE_REPORT_AREA_SECTION_WRITER_H_
