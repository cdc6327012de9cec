// The collection pass of the report: every unreported ticket whose area
// matches the mask gets its entry written into the temporary file of its
// area, and is marked as reported in the database.
#ifndef CORVANE_REPORT_AREA_SECTION_WRITER_H_
#define CORVANE_REPORT_AREA_SECTION_WRITER_H_

#include <cstdint>
#include <string_view>

#include "base/short_text.h"
#include "platform/file_system.h"
#include "report/area_table.h"

namespace corvane {

// The separator under an area heading and above its subtotal.
inline constexpr std::string_view SeparatorLine =
    " -----------------------------------------------------------------------------";

// The temporary file of an area: its key in 8 hexadecimal digits and ".nef",
// in the current directory.
Text AreaFileName(std::uint32_t key);

// Fills table and the area files. First it takes up the area files a
// stopped run left behind, whatever their area, so that their entries reach
// this report; then every matching unreported ticket of the database gets
// its entry. A record is marked reported only once its entry stands whole
// in its area file, and an area file never lacks its heading. *left_for_later
// counts the matching tickets left unreported because all 255 slots were
// taken; they keep their FileSize for a later run.
os::ErrorCode CollectNewFiles(os::FileSystem& fs, std::string_view mask, AreaTable* table,
                              std::uint32_t* left_for_later);

}  // namespace corvane

#endif  // CORVANE_REPORT_AREA_SECTION_WRITER_H_
