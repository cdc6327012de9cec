// End-to-end harness: runs the real corvane binary in a fresh temporary
// directory and hands back exactly what it wrote.
//
// The program comes from CORVANE_PROGRAM, optionally run through the command
// in CORVANE_LAUNCHER (for example a Windows build under Wine), so one suite
// serves every build.
#ifndef CORVANE_TESTS_E2E_HARNESS_H_
#define CORVANE_TESTS_E2E_HARNESS_H_

#include <filesystem>
#include <string>
#include <vector>

namespace corvane::test {

struct RunResult {
  std::string out;
  std::string err;
  int exit_code = -1;
};

// Joins lines with CR LF after each, as the program writes them.
std::string CrLf(const std::vector<std::string>& lines);

// The banner and mode lines every run with three parameters starts with.
std::string Preamble(int mode);

// The program under test, as CORVANE_PROGRAM names it.
std::string ProgramPath();

// True when the program runs under a launcher (the Windows build): tests of
// what only POSIX can set up skip there.
bool UnderLauncher();

class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path Path(const std::string& relative) const { return root_ / relative; }

  void MakeDir(const std::string& relative) const;
  void Write(const std::string& relative, const std::string& bytes) const;
  std::string Read(const std::string& relative) const;
  bool Exists(const std::string& relative) const;
  // Names of the entries of a directory, sorted; "" is the sandbox itself.
  std::vector<std::string> List(const std::string& relative = "") const;

  // Runs the program with the sandbox as current directory.
  RunResult Run(const std::vector<std::string>& args) const;
  // The same with standard output sent to stdout_path (out stays empty).
  RunResult RunWithStdout(const std::vector<std::string>& args,
                          const std::string& stdout_path) const;
  // The same running another copy of the program, at program_path.
  RunResult RunCopy(const std::string& program_path, const std::vector<std::string>& args) const;

 private:
  RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                       const std::string& stdout_path) const;

  std::filesystem::path root_;
};

}  // namespace corvane::test

#endif  // CORVANE_TESTS_E2E_HARNESS_H_
