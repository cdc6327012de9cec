// Fault walks: every operation that can change the disk, in each mode and in
// whole cron cycles, is in turn the last one before a kill, the first one on
// a full disk or a read-only one, one on a file another program holds, a
// rename cut half-way and, if it is a write, a short one. The node is real (a temporary directory);
// the faults come from FaultEnv. After the faulted runs, and again after a recovery cycle without
// faults, every ticket, announced file and marker stands exactly once in the inbound or in BadTics
// and is unchanged, ticbase.dat holds whole records, no file is left open, no run that met a
// failure it could not get past exits 0 (one that stops names the failure),
// every ticket taken in is in exactly one report of a run that exited 0, no
// file is moved or deleted while the program holds it open, and at the end no
// scratch file is left.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "fault_env.h"
#include "program/program.h"
#include "report/area_section_writer.h"
#include "report/crc_key.h"

namespace corvane::test {
namespace {
namespace fs = std::filesystem;

constexpr std::uintmax_t kRecordSize = 319;
const std::string kPrefix = "New files of @date\r\n";

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A fresh directory of its own under the temporary directory.
fs::path MakeTempDir() {
#ifdef _WIN32
  for (std::random_device random;;) {
    const fs::path dir = fs::temp_directory_path() / ("corvane-walk-" + std::to_string(random()));
    if (fs::create_directory(dir)) return dir;
  }
#else
  std::string pattern = (fs::temp_directory_path() / "corvane-walk-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
#endif
}

// A small node in a fresh temporary directory, the current directory while
// the object lives. Three tickets whose files are there (one file's name in
// other letter case, one with an old copy in BadTics), one whose file has
// not arrived, a marker that makes the second ticket bad, a header template
// and the file of an area the tickets share, left behind by an interrupted
// report.
class Node {
 public:
  Node() : home_(fs::current_path()), dir_(MakeTempDir()) {
    fs::current_path(dir_);
    fs::create_directory("in");
    fs::create_directory("bad");
    Ticket(1, "NODELIST", "nodediff.a48", "nodediff.a48");
    Ticket(2, "FILES", "tool.zip", "TOOL.ZIP");
    Ticket(3, "FILES", "game.zip", "game.zip", "g");  // a copy's last block can be one byte
    Ticket(4, "FILES", "late.zip", "");
    Add("bad/GAME.ZIP", "the old game", true);
    Add("bad/TK000002.bad", "infected");
    std::ofstream("prefix.nef", std::ios::binary) << kPrefix;
    std::ofstream(std::string(LeftOverFileName(TextCrc("FILES")).View()), std::ios::binary)
        << " Area : FILES\r\n " << std::string(77, '-') << "\r\n OLD.ZIP               5 left"
        << "\r\n\r\n";
  }
  ~Node() {
    std::error_code ignored;
    fs::current_path(home_, ignored);
    fs::remove_all(dir_, ignored);
  }
  // Another program at work: the file of the fourth ticket arrives; someone
  // clears the old copy in BadTics.
  void Arrive() { Add("in/late.zip", "late bytes"); }
  void RemoveOldCopy() { fs::remove("bad/GAME.ZIP"); }

  // Between runs (`hidden`) a move left half done may show, and the next run
  // clears it: a file under its hidden name (the one copy of it, or a spare
  // one beside the file itself), or under two names that are one file.
  void Check(const char* when, bool hidden) const {
    SCOPED_TRACE(when);
    std::vector<int> seen(items_.size()), seen_hidden(items_.size());
    std::vector<fs::path> where(items_.size());
    for (const char* directory : {"in", "bad"}) {
      for (const auto& entry : fs::directory_iterator(directory)) {
        std::string name = entry.path().filename().string();
        const bool is_hidden = name.starts_with('.');
        if (is_hidden) {
          EXPECT_TRUE(hidden) << directory << "/" << name << " left behind";
          name = name.substr(1, name.rfind('.') - 1);
        }
        const std::string bytes = Slurp(entry.path());
        const auto item = std::find_if(items_.begin(), items_.end(), [&](const Item& i) {
          return Lower(fs::path(i.path).filename().string()) == Lower(name) && i.bytes == bytes;
        });
        if (item == items_.end()) {
          ADD_FAILURE() << "stray or damaged " << directory << "/" << entry.path().filename();
        } else {
          const auto i = static_cast<std::size_t>(item - items_.begin());
          if (is_hidden) {
            ++seen_hidden[i];
          } else if (seen[i] == 0 || !hidden || !fs::equivalent(where[i], entry.path())) {
            ++seen[i];
            where[i] = entry.path();
          }
        }
      }
    }
    for (std::size_t i = 0; i < items_.size(); ++i) {
      const int count = seen[i] > 0 ? seen[i] : std::min(seen_hidden[i], 1);
      EXPECT_TRUE(count == 1 || (count == 0 && items_[i].may_go))
          << items_[i].path << " stands " << count << " times";
    }
    if (fs::exists("ticbase.dat")) {
      EXPECT_EQ(fs::file_size("ticbase.dat") % kRecordSize, 0u) << "a part record";
    }
    EXPECT_EQ(Slurp("prefix.nef"), kPrefix);
    // Once runs have put right what a stopped one left, the working
    // directory holds what a sysop expects there and no scratch file.
    for (const auto& entry : fs::directory_iterator(".")) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(hidden || std::ranges::count(kKept, name) == 1) << name << " left behind";
    }
  }

  // Counts the entries of each announced file in a report: its name and its
  // size, as the entry shows them (OLD.ZIP's is the left-over's own).
  void Tally(const std::string& report) {
    for (const char* name : kAnnounced) {
      std::size_t size = 5;
      for (const Item& item : items_) {
        if (!item.may_go && !item.path.ends_with(".tic") &&
            Lower(fs::path(item.path).filename().string()) == Lower(name)) {
          size = item.bytes.size();
        }
      }
      std::string start = "\n " + std::string(name);
      start.resize(14, ' ');
      start += std::string(11 - std::to_string(size).size(), ' ') + std::to_string(size);
      for (auto at = report.find(start); at != std::string::npos; at = report.find(start, at + 1)) {
        ++announced_[name];
      }
    }
  }
  // After a clean cycle every ticket whose file is there has been taken in,
  // and every one taken in is announced once; the second may have been
  // marked bad before any report took it, and the left-over entry of an
  // earlier version's stopped report stands in one at least.
  void CheckAnnounced() const {
    for (int n = 1; n <= 4; ++n) {
      const char* name = kAnnounced[n - 1];
      const int count = announced_.count(name) ? announced_.at(name) : 0;
      const bool taken = fs::exists("bad/TK00000" + std::to_string(n) + ".tic");
      EXPECT_TRUE(taken || (n == 4 && !fs::exists("in/late.zip"))) << name << " not taken in";
      EXPECT_TRUE(count == (taken ? 1 : 0) || (n == 2 && taken && count == 0))
          << name << " announced " << count << " times, taken in: " << taken;
    }
    EXPECT_GE(announced_.count("OLD.ZIP") ? announced_.at("OLD.ZIP") : 0, 1);
  }

 private:
  struct Item {
    std::string path, bytes;
    bool may_go;  // an old copy: its replacement clears it
  };
  void Add(const std::string& path, const std::string& bytes, bool may_go = false) {
    std::ofstream(path, std::ios::binary) << bytes;
    items_.push_back({path, bytes, may_go});
  }
  void Ticket(int n, const std::string& area, const std::string& file, const std::string& disk,
              const std::string& bytes = "") {
    const std::string name = "TK00000" + std::to_string(n);
    Add("in/" + name + ".tic", "Area " + area + "\rFile " + file + "\rDesc " + file + "\r");
    if (!disk.empty()) Add("in/" + disk, bytes.empty() ? name + " brought " + file : bytes);
  }

  static constexpr std::string_view kKept[] = {"in",          "in2",         "bad",  "prefix.nef",
                                               "ticbase.dat", "ticbase.rep", "r.txt"};
  static constexpr const char* kAnnounced[] = {"NODEDIFF.A48", "TOOL.ZIP", "GAME.ZIP", "LATE.ZIP",
                                               "OLD.ZIP"};
  fs::path home_, dir_;
  std::vector<Item> items_;
  std::map<std::string, int> announced_;
};

// FaultEnv itself, on four numbered operations: a fault lands on its
// operation and no other, a short write leaves the first half, a killed
// run changes nothing more, and the action runs just before its operation.
TEST(FaultEnv, FaultsLandOnTheNumberedOperation) {
  struct Row {
    void (*arm)(FaultEnv&);
    // Create, the two writes, Rename, then the console, the date and an open
    // of what the rename made; the action's view of f; what stands on disk.
    const char* results;
    const char* before_third;
    const char* left;
  };
  const Row rows[] = {
      {[](FaultEnv&) {}, "0 0 0 0 hi 6 0", "abcdef", "g=XYcdef"},
      {[](FaultEnv& env) { env.FailAt(2, os::AccessDenied); }, "0 101 0 0 hi 6 0", "", "g=XY"},
      {[](FaultEnv& env) { env.FailAt(3, os::DiskFull, true); }, "0 0 101 112 hi 6 2", "abcdef",
       "f=abcdef"},
      {[](FaultEnv& env) { env.FailAt(4, os::SharingViolation); }, "0 0 0 32 hi 6 2", "abcdef",
       "f=XYcdef"},
      {[](FaultEnv& env) { env.ShortWriteAt(2); }, "0 101 0 0 hi 6 0", "abc", "g=XYc"},
      {[](FaultEnv& env) { env.CrashAfter(2); }, "0 0 101 31 - 0 31", "-", "f=abcdef"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.results);
    Node node;
    FaultEnv env(os::RealEnv());
    env.SetToday({2026, 12, 6, 0});
    std::string before_third = "-";
    env.BeforeOp(3, [&] { before_third = Slurp("f"); });
    row.arm(env);
    os::FileHandle file;
    std::uint64_t length = 0;
    std::string results = std::to_string(env.Create("f", &file));
    for (const char* bytes : {"abcdef", "XY"}) {
      results += " " + std::to_string(env.WriteAt(file, 0, bytes, std::strlen(bytes)));
    }
    (void)env.Close(&file);
    results += " " + std::to_string(env.Rename("f", "g"));
    results += " " + (env.ConsoleWrite(os::Stream::Output, "hi", 2) == os::Ok ? env.Out() : "-");
    results += " " + std::to_string(env.Today().Day);
    results += " " + std::to_string(env.Open("g", os::FileAccess::Read, &file, &length));
    EXPECT_EQ(env.StillOpen(), std::vector<std::string>(file.IsOpen(), "g"));
    if (file.IsOpen()) (void)env.Close(&file);
    EXPECT_EQ(results, row.results);
    EXPECT_EQ(before_third, row.before_third);
    EXPECT_EQ(std::string(row.left).substr(2), Slurp(std::string(row.left).substr(0, 1)));
    EXPECT_FALSE(fs::exists(row.left[0] == 'f' ? "g" : "f"));
    EXPECT_EQ(env.StillOpen(), std::vector<std::string>{});
  }
}

struct Scenario {
  const char* name;
  const char* prep;  // modes run first, without faults
  // The modes the faults walk over, each run only after the one before it
  // exited 0, as a cron line's "&&" runs them.
  const char* runs;
  // Just before the first operation whose log line holds this, another
  // program does `other`.
  const char* trigger = "";
  void (Node::*other)() = nullptr;
  bool across = false;  // Inbound and BadTics on two file systems: moves copy
};
void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }
const Scenario kScenarios[] = {
    {"Mode0", "", "0"},
    {"Mode1", "0", "1"},
    {"Mode2", "01", "2"},
    {"TwoCycles", "", "012012", "Rename", &Node::Arrive},
    {"Mode0TwiceBeforeReport", "", "002", "Rename", &Node::Arrive},
    {"OldCopyClearedBehindItsBack", "", "0", "Rename bad\\GAME", &Node::RemoveOldCopy},
    {"Mode0AcrossFileSystems", "", "0", "", nullptr, true},
};

struct FaultKind {
  const char* name;
  const char* only;  // walks the operations whose log line begins so
  void (*arm)(FaultEnv&, std::uint64_t k);
};
const FaultKind kFaults[] = {
    {"killed after", "", [](FaultEnv& env, std::uint64_t k) { env.CrashAfter(k); }},
    {"disk full from", "",
     [](FaultEnv& env, std::uint64_t k) { env.FailAt(k, os::DiskFull, true); }},
    {"read-only from", "",
     [](FaultEnv& env, std::uint64_t k) { env.FailAt(k, os::WriteProtect, true); }},
    {"short write at", "WriteAt", [](FaultEnv& env, std::uint64_t k) { env.ShortWriteAt(k); }},
    {"torn rename at", "Rename", [](FaultEnv& env, std::uint64_t k) { env.TornRenameAt(k); }},
    {"file in use at", "",
     [](FaultEnv& env, std::uint64_t k) { env.FailAt(k, os::SharingViolation); }},
};
// The stop line of each error these faults can end a run with.
const std::map<int, std::string> kStopLines = {{19, "Runtime error 19: write-protected"},
                                               {32, "Runtime error 32: file in use"},
                                               {101, "Runtime error 101: write error"},
                                               {112, "Runtime error 112: disk full"}};

// What one pass over a scenario saw: the operations of its walked runs and
// the mode each belongs to.
struct Pass {
  std::vector<std::string> log;
  std::string modes;
};

// Runs one mode. A report of a run that exited 0 is read right after it,
// as the script that posts it would: r.txt, or the console when it went
// there. A run FaultEnv killed never exited at all; killed after its commit
// (`committed`), its report is whole and its records marked, so it is the
// one that holds them.
int RunMode(FaultEnv& env, char mode, Node* node = nullptr, bool committed = false) {
  static const char* const kArgs[][3] = {
      {"0", "in", "bad"}, {"1", "bad", "."}, {"2", "*", "r.txt"}};
  env.ClearConsole();
  const bool killed = env.Crashed();
  const int code = RunProgram(env, 3, kArgs[mode - '0']);
  EXPECT_EQ(env.StillOpen(), std::vector<std::string>{}) << "left open by mode " << mode;
  env.CloseLeftovers();
  if (node != nullptr && mode == '2' && (committed || (code == 0 && !env.Crashed()))) {
    const bool to_console = env.Out().find("using standard output") != std::string::npos;
    // An earlier report left under the name would be posted as this one.
    EXPECT_FALSE(to_console && fs::exists("r.txt")) << "a stale r.txt";
    node->Tally(to_console ? env.Out() : fs::exists("r.txt") ? Slurp("r.txt") : "");
  }
  return killed || env.Crashed() ? -1 : code;
}

// One pass on a fresh node: the scenario's runs with `arm` applied, then the
// recovery cycle without faults, checking the node after both.
// `tidy`: the fault lands on an operation that only tidies up (a scratch file
// going after the report is committed), which a run may fail silently.
Pass RunPass(const Scenario& s, std::uint64_t other_at, const FaultKind* fault = nullptr,
             std::uint64_t k = 0, bool tidy = false) {
  Node node;
  FaultEnv env(os::RealEnv());
  env.SetToday({2026, 12, 6, 0});
  env.SetAcross(s.across);
  Pass pass;
  for (const char* mode = s.prep; *mode; ++mode) EXPECT_EQ(RunMode(env, *mode, &node), 0);
  env.Reset();
  if (fault != nullptr) fault->arm(env, k);
  if (other_at != 0) env.BeforeOp(other_at, [&] { (node.*s.other)(); });
  for (const char* mode = s.runs; *mode; ++mode) {
    const std::uint64_t injected = env.Injected();
    const int code = RunMode(env, *mode, &node, tidy && *mode == '2');
    pass.modes.append(env.Operations() - pass.modes.size(), *mode);
    const bool hit = env.Injected() > injected || code == -1;
    EXPECT_TRUE(hit || code == 0) << "mode " << *mode << " exited " << code << " untouched";
    // A failure the program gets past, it names: a file it cannot move, a
    // report it cannot create.
    EXPECT_TRUE(code != 0 || !hit || tidy || env.Out().find("Can't") != std::string::npos)
        << "mode " << *mode << " exited 0 after a fault:\n"
        << env.Out();
    // A run a fault stopped says which, by its number and its words.
    if (code > 1) {
      const auto stop = kStopLines.find(code);
      EXPECT_TRUE(stop != kStopLines.end() && env.Err().find(stop->second) != std::string::npos)
          << "mode " << *mode << " exited " << code << ": " << env.Err();
    }
    if (code != 0) break;
  }
  pass.log = env.Log();
  node.Check("after the faulted runs", true);
  env.Reset();
  // A check may come before the next take-in (run by hand, or by a hook of
  // its own): it must leave what a stopped run left for that take-in.
  const std::string recovery = fs::exists("ticbase.dat") ? "1012" : "012";
  for (const char mode : recovery) {
    EXPECT_EQ(RunMode(env, mode, &node), 0) << "recovery mode " << mode << ": " << env.Err();
  }
  node.Check("after the recovery cycle", false);
  node.CheckAnnounced();
  return pass;
}

// Walks every fault over every operation of the scenario.
void WalkOver(const Scenario& s) {
  SCOPED_TRACE(s.name);
  std::uint64_t other_at = 0;
  if (s.other != nullptr) {
    const std::vector<std::string> log = RunPass(s, 0).log;
    const auto at = std::find_if(
        log.begin(), log.end(), [&](const std::string& line) { return line.find(s.trigger) == 0; });
    ASSERT_NE(at, log.end()) << "no " << s.trigger;
    other_at = static_cast<std::uint64_t>(at - log.begin()) + 1;
  }
  const Pass clean = RunPass(s, other_at);
  ASSERT_FALSE(clean.log.empty());
  for (const FaultKind& fault : kFaults) {
    for (std::uint64_t k = 1; k <= clean.log.size(); ++k) {
      const std::string& op = clean.log[k - 1];
      if (op.find(fault.only) != 0) continue;
      const std::string where = std::string(fault.name) + " " + std::to_string(k) + " (mode " +
                                clean.modes[k - 1] + "): " + op;
      SCOPED_TRACE(where);
      // After a report's commit (the Replace of ticbase.dat) only tidying is
      // left; a run killed right after it has committed.
      bool tidy = op.starts_with("Delete ticbase.new");
      for (std::uint64_t j = k; j > 0 && clean.modes[j - 1] == '2' && !tidy; --j) {
        tidy = clean.log[j - 1].starts_with("Replace ticbase.new") && (j < k || &fault == kFaults);
      }
      RunPass(s, other_at, &fault, k, tidy);
    }
  }
}

class Walk : public ::testing::TestWithParam<Scenario> {};

TEST_P(Walk, EveryFaultAtEveryOperationKeepsTheNode) { WalkOver(GetParam()); }

// Runs that cannot do their job whole stop before they change anything,
// ticbase.dat of the last run included: another run holding the working
// directory, the inbound or BadTics (exit 1, as a refusal); a working
// directory that cannot be opened, an inbound that cannot be listed, or a
// directory with no room for the names a run makes there (a run-time stop with its
// number, so the sysop looks for the right cause).
TEST(Refusals, StopBeforeAnythingChanges) {
  // 237 characters and the closing backslash leave no room for ".NAME.EXT.part".
  const std::string long_dir(237, 'd');
  struct Case {
    std::vector<const char*> args;
    os::ErrorCode lock, listing;
    bool hold_inbound;
    int exit;
  } cases[] = {
      {{"1", "bad", "."}, os::SharingViolation, os::Ok, false, 1},
      {{"1", "bad", "."}, os::AccessDenied, os::Ok, false, 5},
      {{"0", "in", "bad"}, os::Ok, os::AccessDenied, false, 5},
      {{"0", "in", "bad"}, os::Ok, os::Ok, true, 1},
      {{"0", long_dir.c_str(), "bad"}, os::Ok, os::Ok, false, 206},
      {{"0", "in", long_dir.c_str()}, os::Ok, os::Ok, false, 206},
      {{"1", long_dir.c_str(), "."}, os::Ok, os::Ok, false, 206},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.args[0] << " " << c.args[1] << " " << c.lock << " "
                                    << c.listing << " " << c.hold_inbound);
    Node node;
    fs::create_directory(long_dir);
    FaultEnv env(os::RealEnv());
    ASSERT_EQ(RunMode(env, '0'), 0);
    const std::string before = Slurp("ticbase.dat");
    node.Arrive();
    env.FailLock(c.lock);
    env.FailListing(c.listing);
    os::FileHandle held;
    if (c.hold_inbound) {
      ASSERT_EQ(os::RealEnv().LockDirectory("in", &held), os::Ok);
    }
    env.ClearConsole();
    EXPECT_EQ(RunProgram(env, 3, c.args.data()), c.exit);
    if (held.IsOpen()) (void)os::RealEnv().Close(&held);
    EXPECT_EQ(env.Out().find("Processing"), std::string::npos) << env.Out();
    EXPECT_EQ(env.Out().find("Checking"), std::string::npos) << env.Out();
    EXPECT_EQ(env.Out().find("Another run") != std::string::npos, c.exit == 1) << env.Out();
    EXPECT_EQ(Slurp("ticbase.dat"), before);
    EXPECT_TRUE(fs::exists("in/late.zip") && fs::exists("in/TK000004.tic"));
  }
}

// Two inbounds may share a working directory and BadTics. A take-in that a
// run on one of them left half done (file in BadTics, ticket still in its
// inbound) waits through a run on the other, then the next run on its own
// inbound ends it, and it is announced once.
TEST(Settle, ATakeInWaitsForTheRunOfItsOwnInbound) {
  std::uint64_t file_moved = 0;
  {
    Node clean;
    FaultEnv env(os::RealEnv());
    ASSERT_EQ(RunMode(env, '0'), 0);
    const auto at = std::find_if(env.Log().begin(), env.Log().end(), [](const std::string& op) {
      return op.starts_with("Rename in\\nodediff");
    });
    ASSERT_NE(at, env.Log().end());
    file_moved = static_cast<std::uint64_t>(at - env.Log().begin()) + 1;
  }
  Node node;
  fs::create_directory("in2");
  FaultEnv env(os::RealEnv());
  env.CrashAfter(file_moved);
  EXPECT_EQ(RunMode(env, '0', &node), -1);
  env.Reset();
  const char* const other[] = {"0", "in2", "bad"};
  EXPECT_EQ(RunProgram(env, 3, other), 0);
  for (const char mode : std::string("012")) EXPECT_EQ(RunMode(env, mode, &node), 0);
  node.Check("after a run on each inbound", false);
  node.CheckAnnounced();
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Walk, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::test
