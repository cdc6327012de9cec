// ticbase.dat: a headerless file of 319-byte ticket records.
//
// Every operation but the creation is checked at once; a failure is the
// run-time stop (2 for a missing file, 100 for a short read, 101 for a short
// write). Nothing else is expected to change the file during a run, so the
// position and length are tracked here instead of asked of the OS for every
// record.
#ifndef CORVANE_STORE_TICKET_DATABASE_H_
#define CORVANE_STORE_TICKET_DATABASE_H_

#include <cstdint>
#include <string_view>

#include "platform/platform.h"
#include "store/ticket_record.h"

namespace corvane {

struct TicketDatabase {
  os::FileHandle file;
  std::uint64_t position = 0;  // bytes
  std::uint64_t length = 0;    // bytes
};

// Creates the file anew with length 0 and closes it; returns the error.
os::ErrorCode CreateEmptyDatabase(std::string_view name);

// Opens the existing file for reading and writing at record 0.
void OpenDatabase(std::string_view name, TicketDatabase* database);
std::uint32_t RecordCount(const TicketDatabase& database);
std::uint32_t CurrentRecordNumber(const TicketDatabase& database);
bool AtEnd(const TicketDatabase& database);
// Reads the record at the current position and advances by one record.
void ReadRecord(TicketDatabase* database, RecordImage* image);
void SeekRecord(TicketDatabase* database, std::uint32_t record_number);
// Writes at the current position (extending the file at its end) and
// advances by one record.
void WriteRecord(TicketDatabase* database, const RecordImage& image);
void CloseDatabase(TicketDatabase* database);

}  // namespace corvane

#endif  // CORVANE_STORE_TICKET_DATABASE_H_
