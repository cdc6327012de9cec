#include "frame/text_file.h"


#include "frame/console.h"
#include "frame/run_stop.h"

namespace corvane {
namespace {

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

TextReader::~TextReader() {
  if (file_.IsOpen()) (void)os::Close(&file_);
}

os::ErrorCode TextWriter::Create(std::string_view path) {
  to_console_ = false;
  return os::CreateTruncated(path, &file_);
}

os::ErrorCode TextWriter::OpenForAppend(std::string_view path) {
  to_console_ = false;
  os::ErrorCode error = os::OpenExisting(path, os::FileAccess::kReadWrite, &file_);
  if (error == os::kOk) {
    error = os::SeekToEnd(file_);
    if (error != os::kOk) (void)os::Close(&file_);
  }
  return error;
}

void TextWriter::UseStandardOutput() { to_console_ = true; }

void TextWriter::WriteLine(std::string_view text) {
  if (to_console_) {
    corvane::WriteLine(text);
    return;
  }
  // One write per line, tested at once, so a failure stops the run before
  // anything else reaches the console.
  const os::FileHandle file = file_;
  CheckIo(WriteWithLineEnd(
      text, [file](const char* data, std::size_t size) { return os::Write(file, data, size); }));
}

void TextWriter::Close() {
  if (!to_console_) CheckIo(os::Close(&file_));
}

TextWriter::~TextWriter() {
  if (file_.IsOpen()) (void)os::Close(&file_);
}

}  // namespace corvane
