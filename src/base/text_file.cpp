#include "base/text_file.h"

#include <algorithm>

#include "base/console.h"

namespace corvane {
namespace {

constexpr char LineFeed = 10;
constexpr char EndOfText = 26;  // Ctrl-Z

}  // namespace

os::ErrorCode TextReader::Open(os::FileSystem& fs, std::string_view path) {
  env_ = &fs.OsEnv();
  data_ = buffer_;
  position_ = filled_ = 0;
  offset_ = 0;
  error_ = os::Ok;
  return fs.OpenExisting(path, os::FileAccess::Read, &file_, &unread_);
}

int TextReader::Peek() {
  if (position_ == filled_) {
    // The length known from the open ends the reading: no read just to
    // learn that nothing is left.
    if (unread_ == 0 || error_ != os::Ok) return -1;
    std::size_t got = 0;
    error_ = env_->ReadAt(file_, offset_, buffer_, std::min<std::uint64_t>(sizeof buffer_, unread_),
                          &got);
    if (error_ == os::Ok && got == 0) error_ = os::ReadFault;  // shorter than it was
    if (error_ != os::Ok) return -1;
    offset_ += got;
    unread_ -= got;
    position_ = 0;
    filled_ = got;
  }
  return static_cast<unsigned char>(data_[position_]);
}

bool TextReader::ReadLine(Text* line) {
  line->Clear();
  int next = Peek();
  if (next < 0 || next == EndOfText) return false;
  for (; next >= 0 && next != EndOfText; next = Peek()) {
    ++position_;
    if (next == CarriageReturn) {
      if (Peek() == LineFeed) ++position_;
      break;
    }
    line->Append(static_cast<char>(next));  // past 255 the rest is skipped
  }
  return error_ == os::Ok;
}

os::ErrorCode TextReader::Close() {
  if (!file_.IsOpen()) return os::Ok;
  return env_->Close(&file_);
}

TextReader::~TextReader() {
  if (file_.IsOpen()) (void)env_->Close(&file_);
}

os::ErrorCode TextWriter::Create(os::FileSystem& fs, std::string_view path) {
  env_ = &fs.OsEnv();
  to_console_ = false;
  used_ = 0;
  length_ = 0;
  return fs.CreateTruncated(path, &file_);
}

os::ErrorCode TextWriter::OpenForAppend(os::FileSystem& fs, std::string_view path) {
  env_ = &fs.OsEnv();
  to_console_ = false;
  used_ = 0;
  return fs.OpenExisting(path, os::FileAccess::ReadWrite, &file_, &length_);
}

os::ErrorCode TextWriter::WriteLine(std::string_view text) {
  if (to_console_) return corvane::WriteLine(*env_, text);
  text = text.substr(0, Text::Capacity);
  if (used_ + text.size() + 2 > sizeof buffer_) {
    if (const os::ErrorCode error = Flush(); error != os::Ok) return error;
  }
  used_ += CopyPrintable(text, buffer_ + used_);
  buffer_[used_++] = '\r';
  buffer_[used_++] = '\n';
  return os::Ok;
}

os::ErrorCode TextWriter::Flush() {
  if (used_ == 0) return os::Ok;
  const os::ErrorCode error = env_->WriteAt(file_, length_, buffer_, used_);
  if (error == os::Ok) length_ += used_;
  used_ = 0;
  return error;
}

os::ErrorCode TextWriter::Close() {
  if (to_console_) return os::Ok;
  if (env_ == nullptr) return os::FileNotOpen;
  const os::ErrorCode flushed = Flush();
  const os::ErrorCode closed = env_->Close(&file_);
  return flushed != os::Ok ? flushed : closed;
}

TextWriter::~TextWriter() {
  if (file_.IsOpen()) (void)env_->Close(&file_);
}

}  // namespace corvane
