// The run context: set once at start-up, read by the mode handlers.
#ifndef CORVANE_FRAME_RUN_CONTEXT_H_
#define CORVANE_FRAME_RUN_CONTEXT_H_

#include <cstdint>

#include "frame/short_text.h"

namespace corvane {

struct RunContext {
  std::uint8_t RunMode = 0;
  // Parameter 2: the inbound directory (mode 0), the bad-tickets directory
  // (mode 1) or the area mask (mode 2).
  Text SecondParam;
  // Parameter 3: the bad-tickets directory (mode 0), an unread "." (mode 1)
  // or the report file (mode 2).
  Text ThirdParam;
  // Set when parameter 3 was longer than 255 characters and had to be cut:
  // a cut path may name another file, so it is never used as one.
  bool ThirdParamCut = false;
  // The database file, bound to a name in the current directory.
  Text DatabaseName;
};

// The one run context of the process.
RunContext& Run();

}  // namespace corvane

#endif  // CORVANE_FRAME_RUN_CONTEXT_H_
