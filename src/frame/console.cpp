#include "frame/console.h"

#include "frame/run_stop.h"
#include "platform/platform.h"

namespace corvane {

void WriteText(std::string_view text) {
  if (text.empty()) return;
  if (os::WriteStdout(text.data(), text.size()) != os::kOk) RunTimeStop(os::kWriteFault);
}

void WriteLine(std::string_view text) {
  const auto to_stdout = [](const char* data, std::size_t size) {
    return os::WriteStdout(data, size);
  };
  if (WriteWithLineEnd(text, to_stdout) != os::kOk) RunTimeStop(os::kWriteFault);
}

}  // namespace corvane
