#include "base/console.h"

#include "base/short_text.h"

namespace corvane {

std::size_t CopyPrintable(std::string_view text, char* out) {
  for (const char c : text) *out++ = static_cast<unsigned char>(c) < 32 || c == 127 ? ' ' : c;
  return text.size();
}

os::ErrorCode WriteText(os::Env& env, std::string_view text) {
  char line[Text::Capacity];
  const std::size_t size = CopyPrintable(text.substr(0, sizeof line), line);
  return size == 0 ? os::Ok : env.ConsoleWrite(os::Stream::Output, line, size);
}

os::ErrorCode WriteLine(os::Env& env, std::string_view text) {
  char line[Text::Capacity + 2];
  std::size_t size = CopyPrintable(text.substr(0, Text::Capacity), line);
  line[size++] = '\r';
  line[size++] = '\n';
  return env.ConsoleWrite(os::Stream::Output, line, size);
}

}  // namespace corvane
