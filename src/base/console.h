// Standard output. Every line ends CR LF on every platform and is written,
// and its outcome known, at once; text without a line end shows at once.
#ifndef CORVANE_BASE_CONSOLE_H_
#define CORVANE_BASE_CONSOLE_H_

#include <cstddef>
#include <string_view>

#include "platform/env.h"

namespace corvane {

// Copies text to out with each control byte (below 32, and DEL) made a
// space: what the program
// writes holds no control byte but the line ends it adds itself, whatever a
// ticket or a damaged database holds. Returns the bytes copied.
std::size_t CopyPrintable(std::string_view text, char* out);

os::ErrorCode WriteText(os::Env& env, std::string_view text);
os::ErrorCode WriteLine(os::Env& env, std::string_view text);

}  // namespace corvane

#endif  // CORVANE_BASE_CONSOLE_H_
