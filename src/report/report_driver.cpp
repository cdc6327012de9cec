#include "report/report_driver.h"

namespace corvane {

void CreateReport() {}

}  // namespace corvane
