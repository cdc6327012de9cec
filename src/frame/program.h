// Start-up: banner, command line, run context and mode dispatch.
#ifndef CORVANE_FRAME_PROGRAM_H_
#define CORVANE_FRAME_PROGRAM_H_

#include <string_view>

#include "frame/short_text.h"

namespace corvane {

// The product and version, as the banner and the @pid macro show it.
inline constexpr std::string_view kProductText = "Corvane/W32 1.4";

// The running executable's name and extension, without its directory.
Text ProgramFileName();

// Runs the program on its parameters (without the program name) and
// returns the exit code; a run-time stop exits from within.
int RunProgram(int count, const char* const* parameters);

}  // namespace corvane

#endif  // CORVANE_FRAME_PROGRAM_H_
