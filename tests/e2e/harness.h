// End-to-end harness: runs the real corvane binary (CORVANE_PROGRAM, through
// the command in CORVANE_LAUNCHER when set, e.g. Wine for the Windows build)
// in a fresh temporary directory and hands back exactly what it wrote. It
// reads and builds ticbase.dat records on its own, so a layout fault in the
// program cannot hide behind a shared definition.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace corvane::test {
namespace fs = std::filesystem;

// Joins lines with `eol` after each: CR LF as the program writes them.
inline std::string CrLf(const std::vector<std::string>& lines, const std::string& eol = "\r\n") {
  std::string text;
  for (const auto& line : lines) text += line + eol;
  return text;
}
// The parts of a text between `separator`s; none for an empty text.
inline std::vector<std::string> Split(std::string_view text, char separator = '|') {
  std::vector<std::string> parts;
  for (std::size_t at = 0; !text.empty() && at <= text.size(); at += parts.back().size() + 1) {
    parts.emplace_back(text.substr(at, std::min(text.find(separator, at), text.size()) - at));
  }
  return parts;
}
inline std::string Lines(std::string_view text) { return CrLf(Split(text)); }  // "a|b": a, b
template <typename... T>
std::string Numbered(const char* format, T... values) {  // printf to a string
  char text[256];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}
// The banner and mode lines every run with three parameters starts with.
inline std::string Preamble(int mode) {
  return Lines(
      Numbered("Corvane/W32 1.4  FidoNet ticket base and new-files report|Mode: %d", mode));
}
// The console of a mode 2 run that got as far as writing, `middle` between
// "Writing..." and "Done.".
inline std::string Console(const std::string& middle) {
  return Preamble(2) + Lines("Creating report... done.|Writing...") + middle + Lines("Done.");
}
// An area file: the heading, then the entries ("|" between an entry's lines)
// each with an empty line after it. A report section has an empty line
// before that, and after it a subtotal of `bytes` in as many files as entries.
inline const std::string kSep = std::string(" ").append(77, '-');
inline std::string AreaFile(const std::string& area, const std::vector<std::string>& entries) {
  std::string text = Lines(" Area : " + area + "|" + kSep);
  for (const auto& entry : entries) text += Lines(entry + "|");
  return text;
}
inline std::string Section(const std::string& area, const std::vector<std::string>& entries,
                           const std::string& bytes) {
  return "\r\n" + AreaFile(area, entries) + Lines(kSep) +
         Numbered(" %-13sbytes in %-4zufile(s)\r\n", bytes.c_str(), entries.size());
}
// A mode 0 console: `lines` ("|" between them) between its first and last.
inline std::string Mode0Out(const std::string& lines) {
  return Preamble(0) + Lines("Processing incoming TICs...") + Lines(lines) + Lines("Done.");
}
inline std::string ProgramPath() { return fs::absolute(std::getenv("CORVANE_PROGRAM")).string(); }
// The Windows build: what only POSIX can set up is skipped there.
inline bool UnderLauncher() {
  const char* launcher = std::getenv("CORVANE_LAUNCHER");
  return launcher && *launcher;
}
// Whether standard error names run-time stop n: "Runtime error n", maybe a
// few words, a line end.
inline bool Stopped(const std::string& err, int n) {
  const std::string lead = Numbered("Runtime error %d", n);
  return err.starts_with(lead) && err.ends_with("\r\n") &&
         !std::isdigit(static_cast<unsigned char>(err[lead.size()]));
}
std::string Slurp(const fs::path& path);

// Relative path (with "/") to content; a name ending in "/" is an empty
// directory, "<special>" neither file nor directory.
using Tree = std::map<std::string, std::string>;
// "path=content path/ ...", items apart at blanks; content "@name" comes
// from `texts`; a later item replaces an earlier one of the same path.
inline Tree Files(std::string_view listing, const Tree& texts = {}) {
  Tree tree;
  for (const std::string& item : Split(listing, ' ')) {
    const std::size_t cut = item.find('=');
    const std::string content = cut == std::string::npos ? "" : item.substr(cut + 1);
    if (!item.empty())
      tree[item.substr(0, cut)] = content[0] == '@' ? texts.at(content.substr(1)) : content;
  }
  return tree;
}

struct RunResult {
  std::string out, err;
  int exit_code = -1;  // -1 when the program did not exit by itself
};
struct RunOptions {
  std::string program = "";      // empty: ProgramPath()
  std::string stdout_path = "";  // standard output goes there (out stays empty)
  std::string cwd = "";          // the working directory, within the sandbox
  int max_files = 0;             // RLIMIT_NOFILE when not 0
  bool as_nobody = false;        // run as user and group 65534
};
struct Child {
  pid_t pid;
  fs::path capture;
};
RunResult Finish(const Child& child);

class Sandbox {
 public:
  explicit Sandbox(const Tree& tree = {}, const fs::path& base = fs::temp_directory_path());
  ~Sandbox();
  fs::path Path(const std::string& relative) const { return root_ / relative; }
  void Write(const std::string& relative, const std::string& bytes) const;
  // The whole tree, ticbase.dat in the sandbox itself only when asked for:
  // comparing two proves a run moved, deleted or created nothing else.
  Tree Snapshot(bool with_ticbase = false) const;
  Child Start(const std::vector<std::string>& args, const RunOptions& options = {}) const;
  RunResult Run(const std::vector<std::string>& args, const RunOptions& options = {}) const {
    return Finish(Start(args, options));
  }

 private:
  fs::path root_;
};

// One run in a fresh sandbox: arguments ("|" between them), the tree before
// (as Files() reads it), standard output, exit code, the tree after ("": as
// before). An exit code over 1 is a run-time stop that standard error names;
// otherwise it stays empty. With `stored` set, ticbase.dat is left out of the
// trees and its records (as Stored() gives them) compared instead.
struct Scenario {
  std::string args, before, out;
  int exit = 0;
  std::string after = "", stored = "-";
};
void ExpectScenario(const Scenario& s, const Tree& texts = {});

// ticbase.dat: records of 319 bytes.
inline constexpr std::size_t kRecordSize = 319;
struct Ticket {
  std::string area = "", file = "";
  std::int32_t size = 0;
  std::string desc = "";
  std::array<std::int16_t, 4> origin{}, from{};  // zone, net, node, point
  std::string key = "";                          // empty: TK00000i for the i-th ticket, from 1
};
// Records with a filler of their own after every text: a reader must ignore
// it and a rewrite in place keep it.
std::string Database(const std::vector<Ticket>& tickets);
// The records (all when none are named) with FileSize 0: marked or reported.
std::string SizesCleared(std::string db, const std::vector<std::size_t>& records = {});
// Every record as "key,file,size,area,desc,origin,from", "|" between them;
// an address as "zone:net/node.point", or empty for zone 0. A length that is
// not a multiple of 319 throws.
std::string Stored(const std::string& db);

}  // namespace corvane::test
