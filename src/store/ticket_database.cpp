#include "store/ticket_database.h"

#include <algorithm>
#include <cstdint>

namespace corvane {
std::int32_t StoredSize(std::uint64_t size) {
  return static_cast<std::int32_t>(std::min<std::uint64_t>(size, INT32_MAX));
}

os::ErrorCode TicketDatabase::CreateEmpty(os::FileSystem& fs) {
  os::FileHandle file;
  const os::ErrorCode error = fs.CreateTruncated(DatabaseName, &file);
  if (error != os::Ok) return error;
  return fs.OsEnv().Close(&file);
}

os::ErrorCode TicketDatabase::Open() {
  position_ = 0;
  block_size_ = 0;
  return fs_.OpenExisting(DatabaseName, os::FileAccess::ReadWrite, &file_, &length_);
}

os::ErrorCode TicketDatabase::ReadNext(TicketRecord* record) {
  if (position_ < block_at_ || position_ + last_.size() > block_at_ + block_size_) {
    block_at_ = position_;
    block_size_ = 0;
    const std::uint64_t left = length_ - std::min(length_, position_);
    CORVANE_RETURN_IF_ERROR(fs_.OsEnv().ReadAt(file_, position_, block_.data(),
                                               std::min<std::uint64_t>(left, block_.size()),
                                               &block_size_));
    if (block_size_ < last_.size()) return os::ReadFault;
  }
  const auto from = block_.begin() + static_cast<std::ptrdiff_t>(position_ - block_at_);
  std::copy(from, from + static_cast<std::ptrdiff_t>(last_.size()), last_.begin());
  position_ += last_.size();
  *record = DecodeTicketRecord(last_);
  return os::Ok;
}

std::uint32_t TicketDatabase::LastNumber() const {
  return static_cast<std::uint32_t>(position_ / TicketRecordSize) - 1;
}

os::ErrorCode TicketDatabase::SetFileSize(std::uint32_t number, std::int32_t size) {
  RecordImage image{};
  SetImageFileSize(&image, size);
  return fs_.OsEnv().WriteAt(file_, std::uint64_t{number} * TicketRecordSize + FileSizeOffset,
                             image.data() + FileSizeOffset, 4);
}

os::ErrorCode TicketDatabase::Append(const TicketRecord& record, std::uint32_t* number) {
  const std::uint64_t whole = length_ / TicketRecordSize * TicketRecordSize;
  const RecordImage image = EncodeTicketRecord(record);
  const os::ErrorCode error = fs_.OsEnv().WriteAt(file_, whole, image.data(), image.size());
  if (error != os::Ok) {
    (void)fs_.OsEnv().Truncate(file_, whole);  // the write's own error is the one to report
    return error;
  }
  *number = static_cast<std::uint32_t>(whole / TicketRecordSize);
  length_ = position_ = whole + image.size();
  return os::Ok;
}

os::ErrorCode TicketDatabase::KeepFirst(std::uint32_t count) {
  CORVANE_RETURN_IF_ERROR(fs_.OsEnv().Truncate(file_, std::uint64_t{count} * TicketRecordSize));
  length_ = position_ = std::uint64_t{count} * TicketRecordSize;
  return os::Ok;
}

os::ErrorCode TicketDatabase::Close() { return fs_.OsEnv().Close(&file_); }

TicketDatabase::~TicketDatabase() {
  if (file_.IsOpen()) (void)fs_.OsEnv().Close(&file_);
}

os::ErrorCode DatabaseRewrite::Start() {
  written_ = 0;
  filled_ = 0;
  return fs_.CreateTruncated(RewriteName, &file_);
}

os::ErrorCode DatabaseRewrite::Append(const RecordImage& image) {
  if (filled_ + image.size() > block_.size()) CORVANE_RETURN_IF_ERROR(Flush());
  std::copy(image.begin(), image.end(), block_.begin() + static_cast<std::ptrdiff_t>(filled_));
  filled_ += image.size();
  return os::Ok;
}

os::ErrorCode DatabaseRewrite::Flush() {
  if (filled_ == 0) return os::Ok;
  CORVANE_RETURN_IF_ERROR(fs_.OsEnv().WriteAt(file_, written_, block_.data(), filled_));
  written_ += filled_;
  filled_ = 0;
  return os::Ok;
}

os::ErrorCode DatabaseRewrite::Commit() {
  CORVANE_RETURN_IF_ERROR(Flush());
  CORVANE_RETURN_IF_ERROR(fs_.OsEnv().Close(&file_));
  return fs_.ReplaceFile(RewriteName, DatabaseName);
}

DatabaseRewrite::~DatabaseRewrite() {
  if (!file_.IsOpen()) return;
  (void)fs_.OsEnv().Close(&file_);
  (void)fs_.RemoveFile(RewriteName);
}

}  // namespace corvane
