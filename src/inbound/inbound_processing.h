// Mode 0: stores the inbound tickets and moves them with their files aside.
#ifndef CORVANE_INBOUND_INBOUND_PROCESSING_H_
#define CORVANE_INBOUND_INBOUND_PROCESSING_H_

#include "base/short_text.h"
#include "files/file_system.h"

namespace corvane {

struct InboundJob {
  // Both empty (the current directory) or ending in "\".
  Text Inbound;
  Text BadTics;
};

// Settles what a stopped run left and keeps the records a report may still
// owe, then takes in every ticket of the inbound directory whose file is
// there: stores it and moves file and ticket into BadTics, all or nothing.
// Refuses the run (RunRefused) when both directories are one, or another run
// holds one of them; a missing directory stops it before anything changes.
os::ErrorCode ProcessInbound(os::FileSystem& fs, const InboundJob& job);

}  // namespace corvane

#endif  // CORVANE_INBOUND_INBOUND_PROCESSING_H_
