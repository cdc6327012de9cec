#include "frame/run_stop.h"

#include <string_view>

#include "frame/text_helpers.h"

namespace corvane {
namespace {

// A few words for the numbers a sysop meets most, so the line can be read
// without a table of Win32 codes.
std::string_view Meaning(os::ErrorCode code) {
  switch (code) {
    case os::kFileNotFound:
      return ": file not found";
    case os::kPathNotFound:
      return ": path not found";
    case os::kTooManyOpenFiles:
      return ": too many open files";
    case os::kAccessDenied:
      return ": access denied";
    case os::kWriteProtect:
      return ": write-protected";
    case os::kSharingViolation:
      return ": file in use";
    case os::kDiskFull:
      return ": disk full";
    case os::kAlreadyExists:
      return ": file already exists";
    case os::kNameTooLong:
      return ": path too long";
    case os::kReadFault:
      return ": read error";
    case os::kWriteFault:
      return ": write error";
    case os::kFileNotOpen:
      return ": file not open";
    default:
      return "";
  }
}

}  // namespace

void RunTimeStop(os::ErrorCode code) {
  Text line("Runtime error ");
  line.Append(ZeroPadNumber(static_cast<std::int32_t>(code), 1).view());
  line.Append(Meaning(code));
  line.Append("\r\n");
  // Nothing is left to do if even standard error fails.
  (void)os::WriteStderr(line.data(), line.size());
  os::Exit(static_cast<int>(code & 0xFF));
}

}  // namespace corvane
