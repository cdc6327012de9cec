// The collection pass of the report: every unreported ticket whose area
// matches the mask gets its entry written into the scratch file of its area,
// and its record, marked as reported, into the rewritten database that the
// report commits once it is whole.
#ifndef CORVANE_REPORT_AREA_SECTION_WRITER_H_
#define CORVANE_REPORT_AREA_SECTION_WRITER_H_

#include <cstdint>
#include <string_view>

#include "base/short_text.h"
#include "files/file_system.h"
#include "report/area_table.h"
#include "store/ticket_database.h"

namespace corvane {

// The separator under an area heading and above its subtotal.
inline constexpr std::string_view SeparatorLine =
    " -----------------------------------------------------------------------------";

// The scratch file of an area's new entries: its key in 8 hexadecimal
// digits and ".tmp", in the current directory. Nothing in it counts until
// the report that copies it is committed, so one a stopped run left is
// simply made again.
Text ScratchFileName(std::uint32_t key);
// The file of an area that an interrupted report of an earlier version left:
// its key and ".nef". Its entries are already marked reported, so it reaches
// the next report whole.
Text LeftOverFileName(std::uint32_t key);

// Fills table, the scratch files and *rewrite (started here) with every
// record of the database, those reported now marked. First it takes up the
// left-over area files, whatever their area. *left_for_later counts the
// matching tickets left unreported because all 255 slots were taken; they
// keep their FileSize for a later run.
os::ErrorCode CollectNewFiles(os::FileSystem& fs, std::string_view mask, AreaTable* table,
                              DatabaseRewrite* rewrite, std::uint32_t* left_for_later);

}  // namespace corvane

#endif  // CORVANE_REPORT_AREA_SECTION_WRITER_H_
