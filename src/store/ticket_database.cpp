#include "store/ticket_database.h"

namespace corvane {

os::ErrorCode TicketDatabase::CreateEmpty(os::FileSystem& fs) {
  os::FileHandle file;
  const os::ErrorCode error = fs.CreateTruncated(DatabaseName, &file);
  if (error != os::Ok) return error;
  return fs.env().Close(&file);
}

os::ErrorCode TicketDatabase::Open() {
  position_ = 0;
  return fs_.OpenExisting(DatabaseName, os::FileAccess::ReadWrite, &file_, &length_);
}

os::ErrorCode TicketDatabase::ReadNext(TicketRecord* record) {
  std::size_t got = 0;
  const os::ErrorCode error = fs_.env().ReadAt(file_, position_, last_.data(), last_.size(), &got);
  if (error != os::Ok) return error;
  if (got != last_.size()) return os::ReadFault;
  position_ += got;
  *record = DecodeTicketRecord(last_);
  return os::Ok;
}

std::uint32_t TicketDatabase::LastNumber() const {
  return static_cast<std::uint32_t>(position_ / TicketRecordSize) - 1;
}

os::ErrorCode TicketDatabase::MarkLast() {
  SetImageFileSize(&last_, 0);
  return fs_.env().WriteAt(file_, position_ - TicketRecordSize, last_.data(), last_.size());
}

os::ErrorCode TicketDatabase::Append(const TicketRecord& record) {
  const std::uint64_t whole = length_ / TicketRecordSize * TicketRecordSize;
  const RecordImage image = EncodeTicketRecord(record);
  const os::ErrorCode error = fs_.env().WriteAt(file_, whole, image.data(), image.size());
  if (error != os::Ok) {
    (void)fs_.env().Truncate(file_, whole);  // the write's own error is the one to report
    return error;
  }
  length_ = position_ = whole + image.size();
  return os::Ok;
}

os::ErrorCode TicketDatabase::Close() { return fs_.env().Close(&file_); }

TicketDatabase::~TicketDatabase() {
  if (file_.IsOpen()) (void)fs_.env().Close(&file_);
}

}  // namespace corvane
