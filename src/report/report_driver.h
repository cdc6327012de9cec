// Mode 2: writes the new-files report.
#ifndef CORVANE_REPORT_REPORT_DRIVER_H_
#define CORVANE_REPORT_REPORT_DRIVER_H_

#include "base/short_text.h"
#include "files/file_system.h"

namespace corvane {

struct ReportJob {
  // The area mask, as given.
  Text Mask;
  // The report file; empty for standard output.
  Text ReportPath;
  // Set when the path given was longer than 255 characters: cut, it could
  // name another file, so the report goes to standard output.
  bool ReportPathCut = false;
};

// Collects the new files into scratch files, writes the report from the
// templates, those files and the totals, and only then marks the records
// reported, in one step. A run stopped before that step marked nothing (a
// report cut short is deleted), so the next run reports the same files
// again; after it, nothing is reported twice.
os::ErrorCode CreateReport(os::FileSystem& fs, const ReportJob& job);

}  // namespace corvane

#endif  // CORVANE_REPORT_REPORT_DRIVER_H_
