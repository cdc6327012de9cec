// Standard output. Every line ends CR LF on every platform; text without a
// line end shows at once. A failed write is the run-time stop (101).
#ifndef CORVANE_FRAME_CONSOLE_H_
#define CORVANE_FRAME_CONSOLE_H_

#include <cstring>
#include <string_view>

#include "platform/platform.h"

namespace corvane {

// Hands text with its CR LF to write in one piece (two for a very long
// text), so a line is written, and its outcome known, at once.
template <typename Write>
os::ErrorCode WriteWithLineEnd(std::string_view text, Write write) {
  char line[512];
  if (text.size() + 2 > sizeof line) {
    const os::ErrorCode error = write(text.data(), text.size());
    return error != os::kOk ? error : write("\r\n", 2);
  }
  std::memcpy(line, text.data(), text.size());
  line[text.size()] = '\r';
  line[text.size() + 1] = '\n';
  return write(line, text.size() + 2);
}

void WriteText(std::string_view text);
void WriteLine(std::string_view text);

}  // namespace corvane

#endif  // CORVANE_FRAME_CONSOLE_H_
