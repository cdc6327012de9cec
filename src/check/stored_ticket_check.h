// Mode 1: checks every stored ticket for a bad-ticket marker.
#ifndef CORVANE_CHECK_STORED_TICKET_CHECK_H_
#define CORVANE_CHECK_STORED_TICKET_CHECK_H_

namespace corvane {

void CheckStoredTickets();

}  // namespace corvane

#endif  // CORVANE_CHECK_STORED_TICKET_CHECK_H_
