// Mode 2: writes the new-files report.
#ifndef CORVANE_REPORT_REPORT_DRIVER_H_
#define CORVANE_REPORT_REPORT_DRIVER_H_

namespace corvane {

void CreateReport();

}  // namespace corvane

#endif  // CORVANE_REPORT_REPORT_DRIVER_H_
