// Start-up: banner, command line, the one lock of the run, mode dispatch,
// and the one place a run ends with a run-time stop.
#ifndef CORVANE_PROGRAM_PROGRAM_H_
#define CORVANE_PROGRAM_PROGRAM_H_

#include <string_view>

#include "base/short_text.h"
#include "platform/env.h"

namespace corvane {

// The usage text names the program as it was started: the executable's file
// name with its extension, after the last "\" or ":" of its path.
Text ProgramFileName(std::string_view executable_path);

// The line a run-time stop writes to standard error, without its line end:
// "Runtime error " and the number, then a few words for the numbers a sysop
// meets most, so it can be read without a table of Win32 codes.
Text RunTimeStopLine(os::ErrorCode code);

// Runs the program on its parameters (without the program name), with env
// as its whole view of the OS, and returns the exit code.
int RunProgram(os::Env& env, int count, const char* const* parameters);

}  // namespace corvane

#endif  // CORVANE_PROGRAM_PROGRAM_H_
