#include "program/program.h"

#include "base/console.h"
#include "base/paths.h"
#include "base/status.h"
#include "base/text_helpers.h"
#include "base/version.h"
#include "check/stored_ticket_check.h"
#include "files/file_system.h"
#include "inbound/inbound_processing.h"
#include "platform/name_rules.h"
#include "report/report_driver.h"

namespace corvane {
namespace {

constexpr int UsageExitCode = 1;
constexpr int RefusedExitCode = 1;

os::ErrorCode WriteUsage(os::Env& env) {
  char path[4096];
  const Text name = ProgramFileName(std::string_view(path, env.ExecutablePath(path, sizeof path)));
  constexpr std::string_view Lines[][2] = {
      {"Usage: ", " 0 <Inbound> <BadTics>"},
      {"    or ", " 1 <BadTics> ."},
      {"    or ", " 2 <Mask> <Report.Txt>"},
  };
  for (const auto& [lead, form] : Lines) {
    Text line(lead);
    line.Append(name.View());
    line.Append(form);
    CORVANE_RETURN_IF_ERROR(WriteLine(env, line));
  }
  return os::Ok;
}

// The mode's work; every failure comes back here as its number.
os::ErrorCode RunMode(os::FileSystem& fs, std::uint8_t mode, std::string_view second,
                      std::string_view third) {
  Text mode_line("Mode: ");
  mode_line.Append(ZeroPadNumber(mode, 1).View());
  CORVANE_RETURN_IF_ERROR(WriteLine(fs.OsEnv(), mode_line));
  if (mode > 2) return WriteLine(fs.OsEnv(), "? Erroneous mode");
  if (mode == 2) {
    return CreateReport(fs, ReportJob{Text(second), Text(third), third.size() > Text::Capacity});
  }
  // Modes 0 and 1 take directories. One cut to fit, or with no room left for
  // a ticket's name, would reach other files or none: the run stops before
  // it changes anything.
  const Text first = AsDirectory(second);
  const Text other = AsDirectory(third);
  if (!FitsShortNames(second, first) || (mode == 0 && !FitsShortNames(third, other))) {
    return os::NameTooLong;
  }
  return mode == 0 ? ProcessInbound(fs, InboundJob{first, other}) : CheckStoredTickets(fs, first);
}

// Banner, usage or lock, then the mode. Returns the error that stops the
// run; *exit_code is what the run exits with when there is none.
os::ErrorCode Run(os::Env& env, int count, const char* const* parameters, int* exit_code) {
  Text banner(ProductText);
  banner.Append("  FidoNet ticket base and new-files report");
  CORVANE_RETURN_IF_ERROR(WriteLine(env, banner));
  if (count != 3) {
    *exit_code = UsageExitCode;
    return WriteUsage(env);
  }
  const auto mode = static_cast<std::uint8_t>(TextToNumber(Text(parameters[0])) & 0xFF);
  // Two runs in one directory would share ticbase.dat and the area files.
  // Only another run's hold is "another run"; a directory that cannot be
  // opened at all is a run-time stop like any other.
  os::FileHandle lock;
  if (mode <= 2) {
    const os::ErrorCode locked = env.LockDirectory("", &lock);
    if (locked == os::SharingViolation) {
      *exit_code = RefusedExitCode;
      return WriteLine(env, "Another run is working in this directory; nothing done.");
    }
    CORVANE_RETURN_IF_ERROR(locked);
  }
  os::FileSystem fs(&env);
  const os::ErrorCode error = RunMode(fs, mode, parameters[1], parameters[2]);
  if (lock.IsOpen()) (void)env.Close(&lock);
  return error;
}

}  // namespace

Text ProgramFileName(std::string_view executable_path) {
  return Text(executable_path.substr(os::NameStart(executable_path, "\\:")));
}

Text RunTimeStopLine(os::ErrorCode code) {
  Text line("Runtime error ");
  line.Append(ZeroPadNumber(code, 1).View());
  switch (code) {
    case os::FileNotFound:
      line.Append(": file not found");
      break;
    case os::PathNotFound:
      line.Append(": path not found");
      break;
    case os::TooManyOpenFiles:
      line.Append(": too many open files");
      break;
    case os::AccessDenied:
      line.Append(": access denied");
      break;
    case os::WriteProtect:
      line.Append(": write-protected");
      break;
    case os::SharingViolation:
      line.Append(": file in use");
      break;
    case os::DiskFull:
      line.Append(": disk full");
      break;
    case os::AlreadyExists:
      line.Append(": file already exists");
      break;
    case os::NameTooLong:
      line.Append(": path too long");
      break;
    case os::ReadFault:
      line.Append(": read error");
      break;
    case os::WriteFault:
      line.Append(": write error");
      break;
    case os::FileNotOpen:
      line.Append(": file not open");
      break;
    default:
      break;
  }
  return line;
}

int RunProgram(os::Env& env, int count, const char* const* parameters) {
  int exit_code = 0;
  const os::ErrorCode error = Run(env, count, parameters, &exit_code);
  if (error == os::Ok) return exit_code;
  if (error == RunRefused) return RefusedExitCode;
  // The run-time stop: nothing more on standard output, one line on
  // standard error (nothing is left to do if even that fails), and the
  // error number as the exit status.
  Text line = RunTimeStopLine(error);
  line.Append("\r\n");
  (void)env.ConsoleWrite(os::Stream::Error, line.Data(), line.Size());
  return static_cast<int>(error & 0xFF);
}

}  // namespace corvane
