// The run-time stop: the one way a run ends on a failure that no handler
// deals with. Nothing more goes to standard output; one line goes to
// standard error and the error number becomes the exit status.
#ifndef CORVANE_FRAME_RUN_STOP_H_
#define CORVANE_FRAME_RUN_STOP_H_

#include "platform/platform.h"

namespace corvane {

[[noreturn]] void RunTimeStop(os::ErrorCode code);

// Stops the run when an operation failed.
inline void CheckIo(os::ErrorCode code) {
  if (code != os::kOk) RunTimeStop(code);
}

}  // namespace corvane

#endif  // CORVANE_FRAME_RUN_STOP_H_
