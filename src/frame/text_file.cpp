#include "frame/text_file.h"

#include <cstring>

#include "frame/console.h"
#include "frame/run_stop.h"

namespace corvane {
namespace {

constexpr char kCarriageReturn = 13;
constexpr char kLineFeed = 10;
constexpr char kEndOfText = 26;  // Ctrl-Z

}  // namespace

os::ErrorCode TextReader::Open(std::string_view path) {
  position_ = filled_ = 0;
  return os::OpenExisting(path, os::FileAccess::kRead, &file_);
}

int TextReader::Peek() {
  if (position_ == filled_) {
    std::size_t got = 0;
    CheckIo(os::Read(file_, buffer_, sizeof buffer_, &got));
    position_ = 0;
    filled_ = got;
    if (got == 0) return -1;
  }
  return static_cast<unsigned char>(buffer_[position_]);
}

bool TextReader::AtEnd() {
  const int next = Peek();
  return next < 0 || next == kEndOfText;
}

Text TextReader::ReadLine() {
  Text line;
  for (int next = Peek(); next >= 0 && next != kEndOfText; next = Peek()) {
    ++position_;
    if (next == kCarriageReturn) {
      if (Peek() == kLineFeed) ++position_;
      break;
    }
    line.Append(static_cast<char>(next));  // past 255 the rest is skipped
  }
  return line;
}

void TextReader::Close() { CheckIo(os::Close(&file_)); }

os::ErrorCode TextWriter::Create(std::string_view path) {
  to_console_ = false;
  filled_ = 0;
  return os::CreateTruncated(path, &file_);
}

os::ErrorCode TextWriter::OpenForAppend(std::string_view path) {
  to_console_ = false;
  filled_ = 0;
  os::ErrorCode error = os::OpenExisting(path, os::FileAccess::kReadWrite, &file_);
  if (error == os::kOk) {
    error = os::SeekToEnd(file_);
    if (error != os::kOk) (void)os::Close(&file_);
  }
  return error;
}

void TextWriter::UseStandardOutput() {
  to_console_ = true;
  filled_ = 0;
}

void TextWriter::WriteLine(std::string_view text) {
  if (to_console_) {
    corvane::WriteLine(text);
    return;
  }
  Put(text);
  Put("\r\n");
}

void TextWriter::Put(std::string_view bytes) {
  while (!bytes.empty()) {
    if (filled_ == sizeof buffer_) Flush();
    const std::size_t room = sizeof buffer_ - filled_;
    const std::size_t count = bytes.size() < room ? bytes.size() : room;
    std::memcpy(buffer_ + filled_, bytes.data(), count);
    filled_ += count;
    bytes.remove_prefix(count);
  }
}

void TextWriter::Flush() {
  if (filled_ == 0) return;
  CheckIo(os::Write(file_, buffer_, filled_));
  filled_ = 0;
}

void TextWriter::Close() {
  if (to_console_) return;
  Flush();
  CheckIo(os::Close(&file_));
}

}  // namespace corvane
