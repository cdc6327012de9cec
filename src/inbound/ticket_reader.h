// Reads one ticket file into the working record.
#ifndef CORVANE_INBOUND_TICKET_READER_H_
#define CORVANE_INBOUND_TICKET_READER_H_

#include <string_view>

#include "store/ticket_record.h"

namespace corvane {

// Reads the ticket at path into record: Area, Description, From, Origin,
// FileName and, when the named file is in the inbound directory, FileSize.
// A ticket that cannot be opened leaves FileSize 0.
void ReadTicketFile(std::string_view path, std::string_view inbound, TicketRecord* record);

}  // namespace corvane

#endif  // CORVANE_INBOUND_TICKET_READER_H_
