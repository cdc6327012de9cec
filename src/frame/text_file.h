// Text files as the program reads and writes them.
//
// Reading: a line ends at CR, and an LF right after the CR goes with it (an
// LF alone is an ordinary character); a Ctrl-Z ends the text; a line keeps
// its first 255 characters and the rest is skipped. Writing: every line ends
// CR LF and is written, and its outcome tested, at once. Failures after a
// successful open are the run-time stop.
#ifndef CORVANE_FRAME_TEXT_FILE_H_
#define CORVANE_FRAME_TEXT_FILE_H_

#include <cstddef>
#include <string_view>

#include "frame/short_text.h"
#include "platform/platform.h"

namespace corvane {

// Ends a line in text files, and separates the lines of a description.
inline constexpr char kCarriageReturn = 13;

class TextReader {
 public:
  TextReader() = default;
  ~TextReader();
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  // Opens an existing file; returns the error for the caller to handle.
  os::ErrorCode Open(std::string_view path);
  // True when no further line can be read: the end of the file or a Ctrl-Z.
  bool AtEnd();
  Text ReadLine();
  void Close();

 private:
  // The next byte without taking it, or -1 at the end of the data.
  int Peek();

  os::FileHandle file_;
  char buffer_[4096] = {};
  std::size_t position_ = 0;
  std::size_t filled_ = 0;
};

class TextWriter {
 public:
  TextWriter() = default;
  ~TextWriter();
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  // Creates (truncating) or opens for appending; returns the error for the
  // caller to handle.
  os::ErrorCode Create(std::string_view path);
  os::ErrorCode OpenForAppend(std::string_view path);
  // Writes to standard output instead of a file.
  void UseStandardOutput();
  bool IsStandardOutput() const { return to_console_; }

  void WriteLine(std::string_view text);
  void Close();

 private:
  os::FileHandle file_;
  bool to_console_ = false;
};

}  // namespace corvane

#endif  // CORVANE_FRAME_TEXT_FILE_H_
