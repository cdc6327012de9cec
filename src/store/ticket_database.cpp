#include "store/ticket_database.h"

#include "frame/run_stop.h"

namespace corvane {

os::ErrorCode CreateEmptyDatabase(std::string_view name) {
  os::FileHandle file;
  const os::ErrorCode error = os::CreateTruncated(name, &file);
  if (error != os::kOk) return error;
  return os::Close(&file);
}

void OpenDatabase(std::string_view name, TicketDatabase* database) {
  CheckIo(os::OpenExisting(name, os::FileAccess::kReadWrite, &database->file));
  CheckIo(os::Length(database->file, &database->length));
  database->position = 0;
}

std::uint32_t RecordCount(const TicketDatabase& database) {
  return static_cast<std::uint32_t>(database.length / kTicketRecordSize);
}

std::uint32_t CurrentRecordNumber(const TicketDatabase& database) {
  return static_cast<std::uint32_t>(database.position / kTicketRecordSize);
}

bool AtEnd(const TicketDatabase& database) { return database.position == database.length; }

void ReadRecord(TicketDatabase* database, RecordImage* image) {
  std::size_t got = 0;
  CheckIo(os::Read(database->file, image->data(), image->size(), &got));
  if (got != image->size()) RunTimeStop(os::kReadFault);
  database->position += got;
}

void SeekRecord(TicketDatabase* database, std::uint32_t record_number) {
  const std::uint64_t position = std::uint64_t{record_number} * kTicketRecordSize;
  CheckIo(os::Seek(database->file, position));
  database->position = position;
}

void WriteRecord(TicketDatabase* database, const RecordImage& image) {
  CheckIo(os::Write(database->file, image.data(), image.size()));
  database->position += image.size();
  if (database->position > database->length) database->length = database->position;
}

void CloseDatabase(TicketDatabase* database) { CheckIo(os::Close(&database->file)); }

}  // namespace corvane
