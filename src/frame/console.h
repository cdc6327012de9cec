// Standard output. Every line ends CR LF on every platform; text without a
// line end shows at once. A failed write is the run-time stop (101).
#ifndef CORVANE_FRAME_CONSOLE_H_
#define CORVANE_FRAME_CONSOLE_H_

#include <string_view>

namespace corvane {

void WriteText(std::string_view text);
void WriteLine(std::string_view text);

}  // namespace corvane

#endif  // CORVANE_FRAME_CONSOLE_H_
