#include "frame/program.h"

#include "check/stored_ticket_check.h"
#include "frame/console.h"
#include "frame/run_context.h"
#include "frame/text_helpers.h"
#include "inbound/inbound_processing.h"
#include "platform/platform.h"
#include "report/report_driver.h"

namespace corvane {
namespace {

constexpr int kUsageExitCode = 1;

void WriteUsage() {
  const Text name = ProgramFileName();
  constexpr std::string_view kLines[][2] = {
      {"Usage: ", " 0 <Inbound> <BadTics>"},
      {"    or ", " 1 <BadTics> ."},
      {"    or ", " 2 <Mask> <Report.Txt>"},
  };
  for (const auto& [lead, form] : kLines) {
    Text line(lead);
    line.Append(name.view());
    line.Append(form);
    WriteLine(line.view());
  }
}

// Directory parameters end in "\" so handlers can join paths by plain
// concatenation; a parameter of 255 characters stays as it is.
void EndWithBackslash(Text* directory) {
  if (!directory->empty() && (*directory)[directory->size() - 1] != '\\') directory->Append('\\');
}

}  // namespace

Text ProgramFileName() {
  char path[4096];
  const std::string_view full(path, os::ExecutablePath(path, sizeof path));
  const auto cut = full.find_last_of("\\:");
  return Text(cut == std::string_view::npos ? full : full.substr(cut + 1));
}

int RunProgram(int count, const char* const* parameters) {
  Text banner(kProductText);
  banner.Append("  FidoNet ticket base and new-files report");
  WriteLine(banner.view());
  if (count != 3) {
    WriteUsage();
    return kUsageExitCode;
  }

  RunContext& run = Run();
  run.RunMode = static_cast<std::uint8_t>(TextToNumber(Text(parameters[0]).view()) & 0xFF);
  run.SecondParam = Text(parameters[1]);
  run.ThirdParam = Text(parameters[2]);
  run.ThirdParamCut = std::string_view(parameters[2]).size() > Text::kCapacity;
  if (run.RunMode != 2) {
    EndWithBackslash(&run.SecondParam);
    EndWithBackslash(&run.ThirdParam);
  }
  run.DatabaseName = Text("ticbase.dat");

  Text mode_line("Mode: ");
  mode_line.Append(ZeroPadNumber(run.RunMode, 1).view());
  WriteLine(mode_line.view());

  switch (run.RunMode) {
    case 0:
      ProcessInbound();
      break;
    case 1:
      CheckStoredTickets();
      break;
    case 2:
      CreateReport();
      break;
    default:
      WriteLine("? Erroneous mode");
      break;
  }
  return 0;
}

}  // namespace corvane
