// Start-up, usage text, mode numbers and the run-time stop, seen from outside.
#include <gtest/gtest.h>

#include <filesystem>

#include "harness.h"

namespace corvane::test {
namespace {

std::string UsageFor(const std::string& name) {
  return CrLf({"Corvane/W32 1.4  FidoNet ticket base and new-files report",
               "Usage: " + name + " 0 <Inbound> <BadTics>", "    or " + name + " 1 <BadTics> .",
               "    or " + name + " 2 <Mask> <Report.Txt>"});
}

TEST(Frame, WrongParameterCountShowsUsageAndExitsOne) {
  const std::string name = std::filesystem::path(ProgramPath()).filename().string();
  const std::vector<std::vector<std::string>> cases = {{}, {"0", "in"}, {"0", "in", "bad", "x"}};
  for (const auto& args : cases) {
    Sandbox box;
    const RunResult run = box.Run(args);
    EXPECT_EQ(run.out, UsageFor(name)) << args.size() << " parameters";
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_TRUE(box.List().empty()) << "no file may be created";
  }
}

TEST(Frame, UsageShowsOnlyTheExecutableFileName) {
  Sandbox box;
  const std::string name = std::filesystem::path(ProgramPath()).filename().string();
  box.MakeDir("some dir/deeper");
  const std::filesystem::path copy = box.Path("some dir/deeper/" + name);
  std::filesystem::copy_file(ProgramPath(), copy);
  const RunResult run = box.RunCopy(copy.string(), {"x"});
  EXPECT_EQ(run.out, UsageFor(name));
  EXPECT_EQ(run.exit_code, 1);
}

TEST(Frame, ModeNumbersAreReducedToEightBits) {
  struct Case {
    std::string parameter;
    int shown;
  };
  // Modes other than 0, 1 and 2 must touch nothing; the mode line shows the
  // number after reduction.
  const Case cases[] = {
      {"3", 3},    {"abc", 255}, {"1 ", 255},         {" ", 255},  {"", 255},
      {"259", 3},  {"-1", 255},  {"$FF", 255},        {"$103", 3}, {"2147483648", 255},
      {"-253", 3}, {"+7", 7},    {"4294967299", 255},
  };
  for (const Case& c : cases) {
    Sandbox box;
    const RunResult run = box.Run({c.parameter, "a", "b"});
    EXPECT_EQ(run.out, Preamble(c.shown) + CrLf({"? Erroneous mode"})) << "'" << c.parameter << "'";
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_TRUE(box.List().empty()) << "'" << c.parameter << "' created a file";
  }
}

TEST(Frame, ModeAliasesReachTheirHandlers) {
  struct Case {
    std::string parameter;
    int mode;
  };
  const Case cases[] = {{"256", 0}, {"258", 2}, {"-254", 2}, {"$2", 2}, {"+1", 1}, {" 1", 1}};
  for (const Case& c : cases) {
    Sandbox box;
    const RunResult run = box.Run({c.parameter, "nothere", "nothere"});
    EXPECT_EQ(run.out.substr(0, Preamble(c.mode).size()), Preamble(c.mode)) << c.parameter;
  }
}

TEST(Frame, ConsoleWriteFailureIsRunTimeStop101) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  Sandbox box;
  const RunResult run = box.RunWithStdout({"3", "a", "b"}, "/dev/full");
  EXPECT_EQ(run.err.rfind("Runtime error 101", 0), 0u) << run.err;
  EXPECT_EQ(run.err.substr(run.err.size() - 2), "\r\n");
  EXPECT_EQ(run.exit_code, 101);
}

}  // namespace
}  // namespace corvane::test
