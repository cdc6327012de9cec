// End-to-end harness: runs the real corvane binary (CORVANE_PROGRAM, through
// the command in CORVANE_LAUNCHER when set: Wine for the Windows build, qemu
// for a Linux build for another CPU; CORVANE_EMULATOR says which, "wine" or
// "qemu") in a fresh temporary directory and hands back exactly what it
// wrote. It reads and builds ticbase.dat records on its own, so a layout
// fault in the program cannot hide behind a shared definition.
#ifndef CORVANE_TESTS_E2E_HARNESS_H_
#define CORVANE_TESTS_E2E_HARNESS_H_

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
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
// `files` counts the entries unless given: a left-over entry is not counted.
inline std::string Section(const std::string& area, const std::vector<std::string>& entries,
                           const std::string& bytes, std::size_t files = SIZE_MAX) {
  return "\r\n" + AreaFile(area, entries) + Lines(kSep) +
         Numbered(" %-13sbytes in %-4zufile(s)\r\n", bytes.c_str(),
                  files == SIZE_MAX ? entries.size() : files);
}
// A mode 0 console: `lines` ("|" between them) between its first and last.
inline std::string Mode0Out(const std::string& lines) {
  return Preamble(0) + Lines("Processing incoming TICs...") + Lines(lines) + Lines("Done.");
}
inline std::string ProgramPath() { return fs::absolute(std::getenv("CORVANE_PROGRAM")).string(); }
// A program run through a launcher is slower to start and to run: the
// longest tests take fewer tickets there.
inline bool UnderLauncher() {
  const char* launcher = std::getenv("CORVANE_LAUNCHER");
  return launcher && *launcher;
}
// The emulator CORVANE_LAUNCHER starts: "wine", "qemu", or "" for none.
inline std::string Emulator() {
  const char* emulator = std::getenv("CORVANE_EMULATOR");
  return emulator ? emulator : "";
}
// The Windows build, under Wine: what only POSIX can set up is skipped
// there. A Linux build under qemu is held to everything a native one is.
inline bool WindowsProgram() { return Emulator() == "wine"; }
// Whether standard error names run-time stop n: "Runtime error n", maybe a
// few words, a line end.
inline bool Stopped(const std::string& err, int n) {
  const std::string lead = Numbered("Runtime error %d", n);
  return err.starts_with(lead) && err.ends_with("\r\n") &&
         !std::isdigit(static_cast<unsigned char>(err[lead.size()]));
}
inline std::string Slurp(const fs::path& path) {
  std::ostringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return std::move(bytes).str();
}
inline fs::path MakeTempDir(const fs::path& base, const char* stem) {
  std::string pattern = (base / stem).string() + "XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

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
  std::string stdout_path = "";  // standard output goes there (out stays empty)
  std::string cwd = "";          // the working directory, within the sandbox
  std::string program = "";      // another program, run without the launcher
};
struct Child {
  pid_t pid;
  fs::path capture;
};
inline RunResult Finish(const Child& child) {
  int status = 0;
  waitpid(child.pid, &status, 0);
  RunResult result{Slurp(child.capture / "stdout"), Slurp(child.capture / "stderr"),
                   WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  fs::remove_all(child.capture);
  return result;
}

class Sandbox {
 public:
  fs::path Path(const std::string& relative) const { return root_ / relative; }
  explicit Sandbox(const Tree& tree = {}, const fs::path& base = fs::temp_directory_path())
      : root_(MakeTempDir(base, "corvane-e2e-")) {
    for (const auto& [name, bytes] : tree)
      name.ends_with('/') ? (void)fs::create_directories(Path(name)) : Write(name, bytes);
  }
  ~Sandbox() {
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
  }
  void Write(const std::string& relative, const std::string& bytes) const {
    fs::create_directories(Path(relative).parent_path());
    std::ofstream out(Path(relative), std::ios::binary | std::ios::trunc);
    if (!(out << bytes)) throw std::runtime_error("cannot write " + relative);
  }
  // ticbase.dat and its companions only when asked for.
  Tree Snapshot(bool with_ticbase = false) const {
    Tree tree;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
      const std::string name = entry.path().lexically_relative(root_).generic_string();
      const bool special = entry.is_symlink() || !(entry.is_regular_file() || entry.is_directory());
      if (special || (entry.is_regular_file() && (!name.starts_with("ticbase.") || with_ticbase)))
        tree[name] = special ? "<special>" : Slurp(entry.path());
      if (!special && entry.is_directory() && fs::is_empty(entry.path())) tree[name + "/"] = "";
    }
    return tree;
  }
  Child Start(const std::vector<std::string>& args, const RunOptions& options = {}) const {
    std::vector<std::string> argv;
    const bool own = options.program.empty();
    for (const std::string& word :
         Split(own && UnderLauncher() ? std::getenv("CORVANE_LAUNCHER") : "", ' '))
      if (!word.empty()) argv.push_back(word);
    argv.push_back(own ? ProgramPath() : options.program);
    argv.insert(argv.end(), args.begin(), args.end());
    // Output goes beside the sandbox, never into it where the program sees it.
    Child child{-1, MakeTempDir(fs::temp_directory_path(), "corvane-out-")};
    if ((child.pid = fork()) == 0) {
      const std::string out =
          options.stdout_path.empty() ? (child.capture / "stdout").string() : options.stdout_path;
      const int none = open("/dev/null", O_RDONLY), fd = O_WRONLY | O_CREAT | O_TRUNC;
      if (dup2(none, 0) < 0 || dup2(open(out.c_str(), fd, 0644), 1) < 0 ||
          dup2(open((child.capture / "stderr").c_str(), fd, 0644), 2) < 0 ||
          chdir(Path(options.cwd).c_str()) != 0) {
        _exit(127);
      }
      close_range(3, ~0U, 0);  // the program gets the three standard streams only
      std::vector<char*> raw;
      for (auto& word : argv) raw.push_back(word.data());
      raw.push_back(nullptr);
      execvp(raw[0], raw.data());
      _exit(127);
    }
    return child;
  }
  RunResult Run(const std::vector<std::string>& args, const RunOptions& options = {}) const {
    return Finish(Start(args, options));
  }

 private:
  fs::path root_;
};

// ticbase.dat: records of 319 bytes.
inline constexpr std::size_t kRecordSize = 319;
// Where each text (a length byte, then up to its capacity) lies in a record:
// key, file, area, description. The little-endian numbers follow at kSize:
// the size (4 bytes), then origin and from, each four 2-byte numbers.
inline constexpr std::size_t kText[][2] = {{0, 8}, {9, 12}, {278, 20}, {22, 255}}, kSize = 299;
static_assert(std::endian::native == std::endian::little, "records are copied as they lie");
struct Ticket {
  std::string area = "", file = "";
  std::int32_t size = 0;
  std::string desc = "";
  std::array<std::int16_t, 4> origin{}, from{};  // zone, net, node, point
  std::string key = "";                          // empty: TK00000i for the i-th ticket, from 1
};
// Records with a filler of their own after every text: a reader must ignore
// it and a rewrite in place keep it.
inline std::string Database(const std::vector<Ticket>& tickets) {
  std::string db;
  for (std::size_t i = 0; i < tickets.size(); ++i) {
    const Ticket& t = tickets[i];
    std::string rec(kRecordSize, static_cast<char>(0xA1 + i % 50));
    const std::string texts[] = {t.key.empty() ? Numbered("TK%06zu", i + 1) : t.key, t.file, t.area,
                                 t.desc};
    for (int f = 0; f < 4; ++f)
      rec.replace(kText[f][0], texts[f].size() + 1, static_cast<char>(texts[f].size()) + texts[f]);
    std::memcpy(&rec[kSize], &t.size, 4);
    std::memcpy(&rec[kSize + 4], t.origin.data(), 8);
    std::memcpy(&rec[kSize + 12], t.from.data(), 8);
    db += rec;
  }
  return db;
}
// The records (all when none are named) with FileSize 0: marked or reported.
inline std::string SizesCleared(std::string db, const std::vector<std::size_t>& records = {}) {
  for (std::size_t r = 0; r < db.size() / kRecordSize; ++r)
    if (records.empty() || std::ranges::count(records, r))
      db.replace(r * kRecordSize + kSize, 4, 4, 0);
  return db;
}
// Every record as "key,file,size,area,desc,origin,from", "|" between them;
// an address as "zone:net/node.point", or empty for zone 0. A length that is
// not a multiple of 319 throws.
inline std::string Stored(const std::string& db) {
  if (db.size() % kRecordSize != 0) throw std::runtime_error("partial record in ticbase.dat");
  std::string all;
  for (std::size_t at = 0; at < db.size(); at += kRecordSize) {
    const auto text = [&](int f) {
      const auto length = static_cast<std::uint8_t>(db[at + kText[f][0]]);
      return db.substr(at + kText[f][0] + 1, std::min<std::size_t>(length, kText[f][1])) + ",";
    };
    std::int32_t size;
    std::int16_t a[8];  // origin, from
    std::memcpy(&size, &db[at + kSize], 4);
    std::memcpy(a, &db[at + kSize + 4], 16);
    const auto address = [&](int o) {
      return a[o] ? Numbered("%d:%d/%d.%d", a[o], a[o + 1], a[o + 2], a[o + 3]) : "";
    };
    // By append: GCC 12's Release build takes a literal put in front of a
    // string for an overlapping copy (-Wrestrict) where this is inlined.
    all.append(at ? "|" : "").append(text(0)).append(text(1)).append(Numbered("%d,", size));
    all.append(text(2)).append(text(3)).append(address(0)).append(",").append(address(4));
  }
  return all;
}

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
inline void ExpectScenario(const Scenario& s, const Tree& texts = {}) {
  SCOPED_TRACE(s.args + " in " + s.before);
  Sandbox box(Files(s.before, texts));
  const RunResult run = box.Run(Split(s.args));
  EXPECT_EQ(run.out, s.out);
  EXPECT_EQ(run.exit_code, s.exit);
  EXPECT_TRUE(s.exit > 1 ? Stopped(run.err, s.exit) : run.err.empty()) << run.err;
  EXPECT_EQ(box.Snapshot(s.stored == "-"), Files(s.after.empty() ? s.before : s.after, texts));
  EXPECT_EQ(s.stored == "-" ? "-" : Stored(Slurp(box.Path("ticbase.dat"))), s.stored);
}

}  // namespace corvane::test

#endif  // CORVANE_TESTS_E2E_HARNESS_H_
