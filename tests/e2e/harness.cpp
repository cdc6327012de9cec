#include "harness.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace corvane::test {
namespace fs = std::filesystem;

namespace {

std::string Setting(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

fs::path MakeTempDir(const char* stem) {
  std::string pattern = (fs::temp_directory_path() / stem).string() + "XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

std::string CrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

std::string Preamble(int mode) {
  return CrLf({"Corvane/W32 1.4  FidoNet ticket base and new-files report",
               "Mode: " + std::to_string(mode)});
}

bool UnderLauncher() { return !Setting("CORVANE_LAUNCHER").empty(); }

Sandbox::Sandbox() : root_(MakeTempDir("corvane-e2e-")) {}

Sandbox::~Sandbox() {
  std::error_code ignored;
  fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(root_, ignored);
}

void Sandbox::MakeDir(const std::string& relative) const { fs::create_directories(Path(relative)); }

void Sandbox::Write(const std::string& relative, const std::string& bytes) const {
  fs::create_directories(Path(relative).parent_path());
  std::ofstream out(Path(relative), std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + relative);
}

std::string Sandbox::Read(const std::string& relative) const {
  if (!fs::exists(Path(relative))) throw std::runtime_error("missing file " + relative);
  return Slurp(Path(relative));
}

bool Sandbox::Exists(const std::string& relative) const {
  return fs::exists(fs::symlink_status(Path(relative)));
}

std::vector<std::string> Sandbox::List(const std::string& relative) const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(relative.empty() ? root_ : Path(relative))) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ProgramPath() {
  const std::string program = Setting("CORVANE_PROGRAM");
  if (program.empty()) throw std::runtime_error("CORVANE_PROGRAM is not set");
  return fs::absolute(program).string();  // runs happen in another directory
}

RunResult Sandbox::Run(const std::vector<std::string>& args) const {
  return RunProgram(ProgramPath(), args, "");
}

RunResult Sandbox::RunWithStdout(const std::vector<std::string>& args,
                                 const std::string& stdout_path) const {
  return RunProgram(ProgramPath(), args, stdout_path);
}

RunResult Sandbox::RunCopy(const std::string& program_path,
                           const std::vector<std::string>& args) const {
  return RunProgram(program_path, args, "");
}

RunResult Sandbox::RunProgram(const std::string& program, const std::vector<std::string>& args,
                              const std::string& stdout_path) const {
  std::vector<std::string> argv;
  std::istringstream launcher(Setting("CORVANE_LAUNCHER"));
  for (std::string word; launcher >> word;) argv.push_back(word);
  argv.push_back(program);
  argv.insert(argv.end(), args.begin(), args.end());

  // Output goes beside the sandbox, not into it, so it never shows up as a
  // file the program could see.
  const fs::path capture = MakeTempDir("corvane-out-");
  const fs::path out_path = capture / "stdout";
  const fs::path err_path = capture / "stderr";

  const pid_t child = fork();
  if (child == 0) {
    const std::string out_file = stdout_path.empty() ? out_path.string() : stdout_path;
    const int out = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int none = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || none < 0 || chdir(root_.c_str()) != 0) _exit(127);
    dup2(none, 0);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> raw;
    for (auto& word : argv) raw.push_back(word.data());
    raw.push_back(nullptr);
    execvp(raw[0], raw.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  RunResult result;
  if (stdout_path.empty()) result.out = Slurp(out_path);
  result.err = Slurp(err_path);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  fs::remove_all(capture);
  return result;
}

}  // namespace corvane::test
