#include "inbound/inbound_processing.h"

namespace corvane {

void ProcessInbound() {}

}  // namespace corvane
