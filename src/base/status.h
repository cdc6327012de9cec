// Errors travel as values. Every operation that can fail returns the number
// of what went wrong, a Win32 error number or one of the program's own
// (os::Ok for success), and each caller hands it up unchanged
// (CORVANE_RETURN_IF_ERROR) until it reaches the program's one exit, which
// prints the run-time stop.
#ifndef CORVANE_BASE_STATUS_H_
#define CORVANE_BASE_STATUS_H_

#include "platform/env.h"

namespace corvane {

// A run refused before it changed anything: the mode has said why on the
// console, and the program exits with 1 instead of a run-time stop. Bit 29
// marks an application's own number in Win32's scheme, so no OS error is
// ever taken for it.
inline constexpr os::ErrorCode RunRefused = 0x20000001;

}  // namespace corvane

#endif  // CORVANE_BASE_STATUS_H_
