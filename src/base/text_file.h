// Text files as the program reads and writes them.
//
// Reading: a line ends at CR, and an LF right after the CR goes with it (an
// LF alone is an ordinary character); a Ctrl-Z ends the text; a line keeps
// its first 255 characters and the rest is skipped. Writing: every line ends
// CR LF and holds no other control byte (see CopyPrintable); lines gather in
// a buffer that Flush writes in one piece, so the caller decides what goes to
// disk together and learns the outcome before it goes on.
#ifndef CORVANE_BASE_TEXT_FILE_H_
#define CORVANE_BASE_TEXT_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/short_text.h"
#include "files/file_system.h"

namespace corvane {

// Ends a line in text files, and separates the lines of a description.
inline constexpr char CarriageReturn = 13;

class TextReader {
 public:
  TextReader() = default;
  // Reads the given bytes instead of a file, so what parses text can be
  // tested and fuzzed without one.
  explicit TextReader(std::string_view bytes) : data_(bytes.data()), filled_(bytes.size()) {}
  ~TextReader();
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  // Opens an existing file; returns the error for the caller to handle.
  os::ErrorCode Open(os::FileSystem& fs, std::string_view path);
  // Reads the next line into *line. False at the end of the text (the end
  // of the data or a Ctrl-Z), and on a failed read, which Error() then
  // tells.
  bool ReadLine(Text* line);
  os::ErrorCode Error() const { return error_; }
  os::ErrorCode Close();

 private:
  // The next byte without taking it, or -1 at the end of the data.
  int Peek();

  os::Env* env_ = nullptr;
  os::FileHandle file_;
  std::uint64_t offset_ = 0;  // where the next read starts
  std::uint64_t unread_ = 0;  // bytes of the file not yet in the buffer
  const char* data_ = buffer_;
  std::size_t position_ = 0;
  std::size_t filled_ = 0;
  os::ErrorCode error_ = os::Ok;
  char buffer_[4096] = {};
};

class TextWriter {
 public:
  TextWriter() = default;
  ~TextWriter();
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  // Creates (truncating) or opens for appending; returns the error for the
  // caller to handle.
  os::ErrorCode Create(os::FileSystem& fs, std::string_view path);
  os::ErrorCode OpenForAppend(os::FileSystem& fs, std::string_view path);
  // Writes to standard output instead, each line at once.
  void UseStandardOutput(os::Env& env) {
    env_ = &env;
    to_console_ = true;
  }
  bool IsStandardOutput() const { return to_console_; }

  // Adds a line; a full buffer is written before it.
  os::ErrorCode WriteLine(std::string_view text);
  // Writes the buffered lines in one piece.
  os::ErrorCode Flush();
  os::ErrorCode Close();

 private:
  os::Env* env_ = nullptr;
  os::FileHandle file_;
  bool to_console_ = false;
  std::uint64_t length_ = 0;
  std::size_t used_ = 0;
  char buffer_[8192] = {};
};

}  // namespace corvane

#endif  // CORVANE_BASE_TEXT_FILE_H_
