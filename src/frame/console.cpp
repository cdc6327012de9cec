#include "frame/console.h"

#include <cstring>

#include "frame/run_stop.h"
#include "platform/platform.h"

namespace corvane {

void WriteText(std::string_view text) {
  if (text.empty()) return;
  if (os::WriteStdout(text.data(), text.size()) != os::kOk) RunTimeStop(os::kWriteFault);
}

void WriteLine(std::string_view text) {
  // One write per line, so lines never interleave half-written.
  char line[512];
  if (text.size() + 2 > sizeof line) {
    WriteText(text);
    WriteText("\r\n");
    return;
  }
  std::memcpy(line, text.data(), text.size());
  line[text.size()] = '\r';
  line[text.size() + 1] = '\n';
  WriteText(std::string_view(line, text.size() + 2));
}

}  // namespace corvane
