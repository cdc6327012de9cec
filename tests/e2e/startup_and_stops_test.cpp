// Start-up, usage text, mode numbers and the run-time stops every mode
// shares, seen from outside.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "harness.h"

namespace corvane::test {
namespace {

std::string Usage(const std::string& name) {
  return CrLf({"Corvane/W32 1.4  FidoNet ticket base and new-files report",
               "Usage: " + name + " 0 <Inbound> <BadTics>", "    or " + name + " 1 <BadTics> .",
               "    or " + name + " 2 <Mask> <Report.Txt>"});
}

// The usage names the program by its file name only, wherever it lies.
TEST(Startup, UsageShowsOnlyTheProgramsFileName) {
  const std::string name = std::filesystem::path(ProgramPath()).filename().string();
  Sandbox box, elsewhere;
  std::filesystem::create_directories(elsewhere.Path("some dir/deeper"));
  std::filesystem::copy_file(ProgramPath(), elsewhere.Path("some dir/deeper/" + name));
  const RunResult run = box.Run({"x"}, {.program = elsewhere.Path("some dir/deeper/" + name)});
  EXPECT_EQ(run.out, Usage(name));
  EXPECT_EQ(run.exit_code, 1);
}

TEST(Startup, ConsoleWriteFailureIsRunTimeStop101) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  Sandbox box;
  const RunResult run = box.Run({"3", "a", "b"}, {.stdout_path = "/dev/full"});
  EXPECT_EQ(RuntimeStopNumber(run.err), 101) << run.err;
  EXPECT_EQ(run.exit_code, 101);
}

// Refused runs exit with 1; a run-time stop exits with its number, named on
// standard error. Either way the files are left as the table says.
// - A wrong number of parameters shows the usage.
// - The mode number is reduced to 8 bits; modes other than 0, 1 and 2 touch
//   nothing, and the mode line shows the number after reduction.
// - Mode 0 refuses the same directory for inbound and BadTics, however
//   written, and stops at once when it cannot create the database.
// - Modes 1 and 2 read the database: a missing one is stop 2, a partial
//   record at its end stop 100 after the whole records are handled. What was
//   done before the stop stays: a mark set, or entries collected into an area
//   file (5C7CFCB7.nef, area ABC) that wait there for a later run.
TEST(Startup, RefusalsAndRunTimeStops) {
  const std::string cut =
      Database({Ticket("ABC", "F.ZIP", 10, "Stamp @date stays"), Ticket("ABC", "B.ZIP", 20)}) +
      std::string(100, '\x11');
  const Tree texts = {{"cut", cut},
                      {"marked", SizesCleared(cut, {1})},
                      {"reported", SizesCleared(cut, {0, 1})},
                      {"tic", CrLf({"File a.zip"})},
                      {"junk", std::string(kRecordSize, 'r')},
                      {"area", Block(R"(
 Area : ABC
 -----------------------------------------------------------------------------
 F.ZIP                10 Stamp @date stays

 B.ZIP                20

)")}};
  const std::string inbound = "in/TK000001.tic=@tic in/a.zip=data bad/ ticbase.dat=@junk";
  const std::string marker = "bad/TK000002.bad= ";
  const std::string same =
      Preamble(0) + CrLf({"Inbound and BadTics are the same directory; nothing done."});
  const std::string checking = Preamble(1) + CrLf({"Checking stored info..."});
  const std::string creating = Preamble(2) + "Creating report...";
  const std::string erroneous = CrLf({"? Erroneous mode"});
  const std::string usage = Usage(std::filesystem::path(ProgramPath()).filename().string());
  const Scenario cases[] = {
      {"", "", usage, 1},
      {"0|in", "", usage, 1},
      {"0|in|bad|x", "", usage, 1},
      {"3|a|b", "", Preamble(3) + erroneous, 0},
      {"259|a|b", "", Preamble(3) + erroneous, 0},
      {"-253|a|b", "", Preamble(3) + erroneous, 0},
      {"-1|a|b", "", Preamble(255) + erroneous, 0},
      {"abc|a|b", "", Preamble(255) + erroneous, 0},
      {"256|in|in", inbound, same, 1},
      {"257|bad|.", marker, checking, 2},
      {"-254|abc|report.txt", marker, creating, 2},
      {"0|in|IN/", inbound, same, 1},
      {"0|in|./in", inbound, same, 1},
      {"0|in/|in\\", inbound, same, 1},
      {"0|./IN|in", inbound, same, 1},
      {"0|in|bad", "in/TK000001.tic=@tic in/a.zip=data bad/ ticbase.dat/", Preamble(0), 5},
      {"1|bad|.", marker + "ticbase.dat=", checking + CrLf({"Done."}), 0},
      {"1|bad|.", marker, checking, 2},
      {"2|abc|report.txt", marker, creating, 2},
      {"1|bad|.", marker + "ticbase.dat=@cut",
       checking + CrLf({"0. F.ZIP is ok", "1. B.ZIP is bad"}), 100, marker + "ticbase.dat=@marked"},
      {"2|abc|report.txt", marker + "ticbase.dat=@cut", creating, 100,
       marker + "ticbase.dat=@reported 5C7CFCB7.nef=@area"}};
  for (const Scenario& c : cases) ExpectScenario(c, texts);
}

}  // namespace
}  // namespace corvane::test
