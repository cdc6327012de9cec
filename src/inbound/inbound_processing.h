// Mode 0: stores the inbound tickets and moves them with their files aside.
#ifndef CORVANE_INBOUND_INBOUND_PROCESSING_H_
#define CORVANE_INBOUND_INBOUND_PROCESSING_H_

namespace corvane {

void ProcessInbound();

}  // namespace corvane

#endif  // CORVANE_INBOUND_INBOUND_PROCESSING_H_
