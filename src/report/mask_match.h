// The area mask of the report: "?" any one character, "*" a run of
// characters up to the next mask character; ASCII letters match either case.
#ifndef CORVANE_REPORT_MASK_MATCH_H_
#define CORVANE_REPORT_MASK_MATCH_H_

#include <string_view>

namespace corvane {

// True when name matches mask. A mask without wildcards matches every name
// that begins with it; there is no backtracking after a "*".
bool MaskMatch(std::string_view mask, std::string_view name);

}  // namespace corvane

#endif  // CORVANE_REPORT_MASK_MATCH_H_
