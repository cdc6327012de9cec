// End-to-end harness: runs the real corvane binary in a fresh temporary
// directory and hands back exactly what it wrote; reads and builds
// ticbase.dat records independently of the program, so a layout fault in the
// program cannot hide behind a shared definition.
//
// The program comes from CORVANE_PROGRAM, optionally run through the command
// in CORVANE_LAUNCHER (for example a Windows build under Wine), so one suite
// serves every build.
#ifndef CORVANE_TESTS_E2E_HARNESS_H_
#define CORVANE_TESTS_E2E_HARNESS_H_

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace corvane::test {

// Joins lines with `eol` after each: CR LF as the program writes them.
std::string CrLf(const std::vector<std::string>& lines, const std::string& eol = "\r\n");
// The parts of a text between `separator`s; none for an empty text.
std::vector<std::string> Split(std::string_view text, char separator = '|');
// A text block written as a raw string: the first line end is dropped and
// every other LF becomes CR LF.
std::string Block(std::string_view text);
// A name with a number in it, by a printf format ("TK%06d.tic").
std::string Numbered(const char* format, int n);
// The banner and mode lines every run with three parameters starts with.
std::string Preamble(int mode);
// The console of a mode 0 run with three parameters: `lines` ("|" between
// them) come between "Processing incoming TICs..." and "Done.".
std::string Mode0Out(const std::string& lines);
// The program under test, as CORVANE_PROGRAM names it.
std::string ProgramPath();
// True when the program runs under a launcher (the Windows build): tests of
// what only POSIX can set up skip there.
bool UnderLauncher();

struct RunResult {
  std::string out, err;
  int exit_code = -1;  // -1 when the program did not exit by itself
};
// The number of a run-time stop message on standard error ("Runtime error N"
// and a line end), or -1 when the text is not such a message.
int RuntimeStopNumber(const std::string& err);

struct RunOptions {
  std::string program = "";      // another copy of the program; empty: ProgramPath()
  std::string stdout_path = "";  // standard output goes there (out stays empty)
  std::string cwd = "";          // the working directory, within the sandbox
  int max_files = 0;             // a limit on open files (RLIMIT_NOFILE) when not 0
  bool as_nobody = false;        // run as user and group 65534 (when the harness is root)
};
// A run started in the background; Finish() waits for it and collects what
// it wrote.
struct Child {
  pid_t pid = -1;
  std::filesystem::path capture;
  bool stdout_captured = true;
};
RunResult Finish(const Child& child);
// Polls `done` until it holds or `seconds` have passed; tells which.
bool WaitFor(const std::function<bool()>& done, double seconds);

// A file tree: path relative to the sandbox (with "/") to content. A name
// ending in "/" is an empty directory; "<special>" is an entry that is
// neither file nor directory.
using Tree = std::map<std::string, std::string>;
// A tree written as "path=content path/ ...": items apart at blanks, a
// content "@name" taken from `texts`.
Tree Files(std::string_view listing, const Tree& texts = {});

// One run from a known tree: the arguments ("|" between them), the tree
// before (as Files() reads it), standard output, the exit code, and the tree
// after ("": as before; ticbase.dat counts). An exit code over 1 is a
// run-time stop, which standard error must name; otherwise it stays empty.
struct Scenario {
  std::string args, before, out;
  int exit;
  std::string after = "";
};
void ExpectScenario(const Scenario& s, const Tree& texts = {});

class Sandbox {
 public:
  // A fresh directory in `base`.
  explicit Sandbox(const std::filesystem::path& base = std::filesystem::temp_directory_path());
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  std::filesystem::path Path(const std::string& relative) const { return root_ / relative; }
  void Write(const std::string& relative, const std::string& bytes) const;
  void Populate(const Tree& tree) const;
  std::string Read(const std::string& relative) const;
  // The whole tree; ticbase.dat in the sandbox itself only when asked for.
  // Comparing two proves that a run moved, deleted or created nothing else.
  Tree Snapshot(bool with_ticbase = false) const;

  // Runs the program with the sandbox as current directory.
  RunResult Run(const std::vector<std::string>& args, const RunOptions& options = {}) const;
  Child Start(const std::vector<std::string>& args, const RunOptions& options = {}) const;

 private:
  std::filesystem::path root_;
};

// ticbase.dat: records of 319 bytes.
inline constexpr std::size_t kRecordSize = 319;
inline constexpr std::size_t kFileSizeOffset = 299;

using Address = std::array<std::int16_t, 4>;  // zone, net, node, point

struct StoredTicket {
  std::string key, file, desc, area;
  std::int32_t size = 0;
  Address origin{}, from{};
};
// A ticket to store; Database() gives it a key when it has none.
StoredTicket Ticket(const std::string& area, const std::string& file, std::int32_t size,
                    const std::string& desc = "", Address origin = {}, Address from = {});
// A stored record as key, file, size, area, description, origin and from,
// the addresses as "zone:net/node.point" or "" for zone 0 ("not given": the
// rest means nothing).
using Fields =
    std::tuple<std::string, std::string, int, std::string, std::string, std::string, std::string>;
// Decodes a whole ticbase.dat; a length that is not a multiple of 319 throws.
std::vector<Fields> DecodeTicbase(const std::string& bytes);
// Records with a filler of their own each after every text: a reader must
// ignore it and a rewrite in place must keep it, so a rewrite touching more
// than FileSize, or writing another record's bytes, shows. Ticket i without
// a key gets TK00000i (counting from 1).
std::string Database(std::vector<StoredTicket> tickets);
// The database with FileSize 0 in the given records: marked bad, or reported.
std::string SizesCleared(std::string db, const std::vector<std::size_t>& records);

}  // namespace corvane::test

#endif  // CORVANE_TESTS_E2E_HARNESS_H_
