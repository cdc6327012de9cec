// Reads one ticket's text into the record: a pure parser, so it can be
// tested and fuzzed without a directory. Looking up the announced file is
// the caller's work.
#ifndef CORVANE_INBOUND_TICKET_READER_H_
#define CORVANE_INBOUND_TICKET_READER_H_

#include "base/text_file.h"
#include "files/file_system.h"
#include "store/ticket_record.h"

namespace corvane {

// Reads the ticket's lines into record: Area, Description, From, Origin and
// FileName, by the keywords "area ", "desc ", "from ", "origin " and "file"
// at the start of a line in any letter case; other lines are ignored. Before
// that it clears what a ticket describes (FileSize 0, no addresses, no
// description, area or file name). FileName is the last "file" line's name,
// upper-cased and cut to 12 characters, and it is left empty when that name
// is no plain file name (a path, a wildcard, a control character) or is
// itself a ticket (*.tic): such a ticket names no file to take. Returns the
// error of a failed read.
os::ErrorCode ReadTicket(TextReader* ticket, TicketRecord* record);

}  // namespace corvane

#endif  // CORVANE_INBOUND_TICKET_READER_H_
