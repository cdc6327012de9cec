// Mode 1: checks every stored ticket for a bad-ticket marker.
#ifndef CORVANE_CHECK_STORED_TICKET_CHECK_H_
#define CORVANE_CHECK_STORED_TICKET_CHECK_H_

#include <string_view>

#include "files/file_system.h"

namespace corvane {

// Lists every stored ticket as ok or bad and marks the bad ones: those whose
// key and ".bad" name a file in bad_tics (empty, or ending in "\"). A
// missing bad_tics stops the run before anything is read.
os::ErrorCode CheckStoredTickets(os::FileSystem& fs, std::string_view bad_tics);

}  // namespace corvane

#endif  // CORVANE_CHECK_STORED_TICKET_CHECK_H_
