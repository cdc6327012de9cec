#include "check/stored_ticket_check.h"

namespace corvane {

void CheckStoredTickets() {}

}  // namespace corvane
