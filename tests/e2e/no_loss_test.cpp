// Faults that would lose a file, a ticket, a record or an announcement, or
// end a failure with exit 0, made real: a full tmpfs, control bytes reaching
// the output raw, a second run beside a working one, and a run killed in the
// middle of a copy. The fault-injecting walks of the unit tests go through
// every failure point; these prove each kind once on the real OS.
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <random>

#include "harness.h"

namespace corvane::test {

// A small tmpfs at `at` while the object lives; only root may mount one.
struct Tmpfs {
  Tmpfs(const fs::path& at, const char* options)
      : at(at),
        mounted(fs::create_directories(at) && geteuid() == 0 &&
                mount("tmpfs", at.c_str(), "tmpfs", 0, options) == 0) {}
  ~Tmpfs() {
    if (mounted) umount2(at.c_str(), MNT_DETACH);
  }
  fs::path at;
  bool mounted;
};

// Control bytes (below 32, and DEL) never reach the console, a report or an area file, apart
// from the line ends the program writes itself: each is written as a space.
// The database keeps the raw bytes: an LF inside a CR-ended ticket line, and
// in a damaged or forged database a Ctrl-Z (which must not cut the rest of
// the area out of the report), a TAB, an LF in a file name.
TEST(NoLoss, ControlBytesAreWrittenOutAsSpaces) {
  Sandbox box(Files("in/TK000001.tic=@tic in/a.zip=abc bad/ prefix.nef=@prefix",
                    {{"tic", CrLf({"Area so\nft", "Desc first\nsecond", "File a.zip"})},
                     {"prefix", "tab\there\r\nlf\nstays\r\n"}}));
  ASSERT_EQ(box.Run({"0", "in", "bad"}).out, Mode0Out("TK000001.TIC: A.ZIP"));
  std::string db = Slurp(box.Path("ticbase.dat"));
  ASSERT_EQ(Stored(db), "TK000001,A.ZIP,3,SO\nFT,first\nsecond,,");
  db += Database({{"SO\nFT", "LATE.ZIP", 8, "cut\x1Ahere\tand"},
                  {"SO\nFT", "AFTER.ZIP", 9, "still there"},
                  {"OTHER", "C\nD\x7F.ZIP", 5}});
  box.Write("ticbase.dat", db);
  EXPECT_EQ(box.Run({"1", "bad", "."}).out,
            Preamble(1) + Lines("Checking stored info...|0. A.ZIP is ok|1. LATE.ZIP is ok|"
                                "2. AFTER.ZIP is ok|3. C D .ZIP is ok|Done."));
  const RunResult run = box.Run({"2", "so*", ""});
  EXPECT_EQ(run.out, Console(Lines("tab here|lf stays") +
                             Section("SO FT",
                                     {" A.ZIP                 3 first second",
                                      " LATE.ZIP              8 cut here and",
                                      " AFTER.ZIP             9 still there"},
                                     "20") +
                             Lines("| Total of 20 in 3 file(s)||"
                                   "Footer not added due Suffix.Nef missing")));
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(Slurp(box.Path("ticbase.dat")), SizesCleared(db, {0, 1, 2}));
}

// Files of 2 GiB and more are taken in, stored and reported at the largest
// size a record holds, 2,147,483,647 bytes: never a negative or wrapped one,
// never left in the inbound as empty.
TEST(NoLoss, HugeFilesAreStoredAtTheLargestSize) {
  Sandbox box(Files("bad/"));
  for (const auto& [n, size] : {std::pair{1, 1ull << 31}, {2, 1ull << 32}, {3, (5ull << 30) + 1}}) {
    box.Write(Numbered("in/TK%06d.tic", n), Lines(Numbered("Area BIG|File big%d.iso", n)));
    box.Write(Numbered("in/big%d.iso", n), "");
    fs::resize_file(box.Path(Numbered("in/big%d.iso", n)), size);  // sparse: no disk taken
  }
  // Renames take them in. Should a fault make a move copy instead, the
  // program may write no file past 64 MiB (SIGXFSZ), not fill the disk.
  struct FileSizeCap {
    rlimit before{};
    FileSizeCap() {
      getrlimit(RLIMIT_FSIZE, &before);
      const rlimit cap{rlim_t{64} << 20, before.rlim_max};
      setrlimit(RLIMIT_FSIZE, &cap);
    }
    ~FileSizeCap() { setrlimit(RLIMIT_FSIZE, &before); }
  } cap;
  ASSERT_EQ(box.Run({"0", "in", "bad"}).exit_code, 0);
  EXPECT_EQ(Stored(Slurp(box.Path("ticbase.dat"))),
            "TK000001,BIG1.ISO,2147483647,BIG,,,|TK000002,BIG2.ISO,2147483647,BIG,,,|"
            "TK000003,BIG3.ISO,2147483647,BIG,,,");
  ASSERT_EQ(box.Run({"2", "*", "r.txt"}).exit_code, 0);
  EXPECT_EQ(Slurp(box.Path("r.txt")),
            Section("BIG",
                    {" BIG1.ISO    2,147,483,647", " BIG2.ISO    2,147,483,647",
                     " BIG3.ISO    2,147,483,647"},
                    "6,442,450,941") +
                Lines("| Total of 6,442,450,941 in 3 file(s)|"));
}

// Tickets TK<n>.tic in "in", each announcing f<n>.zip: its number, then a
// filler, size(n) bytes in all.
using Sizes = std::function<std::size_t(int)>;
std::string FileBytes(int n, const Sizes& size) {
  std::string bytes = Numbered("file %06d ", n);
  bytes.resize(size(n), static_cast<char>('a' + n % 26));
  return bytes;
}
void WriteNode(const Sandbox& box, int count, const Sizes& size) {
  for (int n = 0; n < count; ++n) {
    box.Write(Numbered("in/TK%06d.tic", n), Lines(Numbered("Area NODE|File f%06d.zip", n)));
    box.Write(Numbered("in/f%06d.zip", n), FileBytes(n, size));
  }
}
// Whether `done` came true while the run went on (for up to a minute); a run
// that ended first is not waited for.
bool WaitFor(const Child& run, const std::function<bool()>& done) {
  for (int polls = 0; polls < 300000; ++polls, usleep(200)) {
    siginfo_t ended{};
    if (done()) return true;
    if (waitid(P_PID, run.pid, &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid != 0)
      return done();
  }
  return false;
}

// The path of name in dir, or, when its source is gone, of the hidden copy
// a move to another file system left there, the one other place a kill may
// leave it (beside its source it is a spare the next move clears); empty
// when it is in neither.
fs::path Found(const fs::path& dir, const std::string& name, bool source_there) {
  for (const fs::path& path : {dir / name, dir / ("." + name + ".part")})
    if (fs::exists(path) && (path == dir / name || !source_there)) return path;
  return {};
}

// After a run that may have been killed, with BadTics at `bad`: every ticket
// and every file is in exactly one place (with `once`; else a file may be in
// both), whole, and a ticket never in BadTics ahead of its file. Returns each
// ticket's place: 'i' the inbound, 'b' BadTics, 'c' in the inbound with its
// file copied, 'p' parted from its file (ticket in the inbound, file in
// BadTics), the one window a kill may leave.
std::string CheckNode(const Sandbox& box, const fs::path& bad, int count, const Sizes& size,
                      bool once) {
  std::string places;
  for (int n = 0; n < count; ++n) {
    SCOPED_TRACE(n);
    const fs::path file_in = box.Path(Numbered("in/f%06d.zip", n));
    const bool in = fs::exists(file_in),
               ticket_in = fs::exists(box.Path(Numbered("in/TK%06d.tic", n))),
               ticket_bad = !Found(bad, Numbered("TK%06d.tic", n), ticket_in).empty();
    const fs::path file_bad = Found(bad, Numbered("F%06d.ZIP", n), in);
    const bool moved = !file_bad.empty();
    EXPECT_TRUE(ticket_in != ticket_bad) << "the ticket is not in one place";
    EXPECT_TRUE((in || moved) && (!once || in != moved)) << "the file is not in one place";
    EXPECT_TRUE((!in || Slurp(file_in) == FileBytes(n, size)) &&
                (!moved || Slurp(file_bad) == FileBytes(n, size)))
        << "a file is damaged";
    EXPECT_FALSE(ticket_bad && !moved) << "the ticket went ahead of its file";
    places += ticket_in && moved && (!in || ticket_bad) ? 'p'
              : !moved                                  ? 'i'
              : ticket_in                               ? 'c'
                                                        : 'b';
  }
  return places;
}

// A real full disk, the one kind the fault-injecting walks only imitate: a
// 64 KiB tmpfs as mode 0's working directory, or as its BadTics (another
// file system: moves copy). The run stops with a run-time error; ticbase.dat
// holds whole records, exactly of the tickets taken in, each moved with its
// file; every other ticket is still in the inbound with its file, unstored;
// and mode 1 reads the database without a stop.
TEST(NoLoss, RealFullDiskLosesNothing) {
  const Sizes size = [](int) { return 20; };
  for (const bool full_bad_tics : {false, true}) {
    SCOPED_TRACE(full_bad_tics ? "BadTics full" : "working directory full");
    Sandbox node(Files("bad/"));
    Tmpfs disk(node.Path("w"), "size=64k");
    if (!disk.mounted) GTEST_SKIP() << "mounting a tmpfs needs root here";
    WriteNode(node, 400, size);
    const std::string work = full_bad_tics ? "" : "w", bad = full_bad_tics ? "w" : "bad",
                      up = full_bad_tics ? "" : "../";
    const RunResult run = node.Run({"0", up + "in", up + bad}, {.cwd = work});
    EXPECT_TRUE(run.exit_code != 0 && Stopped(run.err, run.exit_code)) << run.err;
    const std::string stored = Slurp(node.Path(full_bad_tics ? "ticbase.dat" : "w/ticbase.dat"));
    const std::size_t count = stored.size() / kRecordSize;
    std::string expected;
    for (std::size_t i = 0; i < count; ++i)
      expected +=
          Numbered(i ? "|TK%06zu,F%06zu.ZIP,20,NODE,,," : "TK%06zu,F%06zu.ZIP,20,NODE,,,", i, i);
    EXPECT_GT(count, 0u);
    EXPECT_EQ(Stored(stored), expected);
    EXPECT_EQ(CheckNode(node, node.Path(bad), 400, size, true),
              std::string(count, 'b') + std::string(400 - count, 'i'));
    const RunResult check = node.Run({"1", up + bad, "."}, {.cwd = work});
    EXPECT_EQ(check.exit_code, 0) << check.err;
    EXPECT_TRUE(check.out.ends_with("Done.\r\n")) << check.out;
  }
}
// While one run holds the working directory (stopped with SIGSTOP once it
// has moved a file), a second run of mode 0, 1 or 2 there is refused and
// changes nothing; other modes and the usage take no lock. The lock goes
// with the process (with one killed by SIGKILL too: every kill test below
// runs again after each kill) and leaves no file behind.
TEST(LockAndKill, OneRunAtATimePerWorkingDirectory) {
  Sandbox box(Files("bad/"));
  WriteNode(box, UnderLauncher() ? 300 : 3000, [](int) { return 100; });
  // The first run's console is a pipe nobody reads: once it is full the run
  // waits, holding the lock, however fast it got there.
  const fs::path pipe = MakeTempDir(fs::temp_directory_path(), "corvane-pipe-") / "out";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const int unread = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  const Child first = box.Start({"0", "in", "bad"}, {.stdout_path = pipe.string()});
  ASSERT_TRUE(WaitFor(first, [&] { return fs::exists(box.Path("bad/F000000.ZIP")); }));
  // A stop signal takes effect a moment after kill() returns: the snapshot
  // waits until the run stands still, or it may catch a move in flight.
  siginfo_t stopped{};
  ASSERT_EQ(kill(first.pid, SIGSTOP), 0);
  ASSERT_EQ(waitid(P_PID, first.pid, &stopped, WSTOPPED), 0);
  const Tree before = box.Snapshot(true);
  for (const char* args : {"0|in|bad", "1|bad|.", "2|*|report.txt"}) {
    SCOPED_TRACE(args);
    const RunResult run = box.Run(Split(args));
    EXPECT_TRUE(run.out == Lines("Corvane/W32 1.4  FidoNet ticket base and new-files report|"
                                 "Another run is working in this directory; nothing done."))
        << run.out.substr(0, 200);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_code, 1);
  }
  EXPECT_EQ(box.Run({"3", "in", "bad"}).out, Preamble(3) + Lines("? Erroneous mode"));
  EXPECT_NE(box.Run({"0"}).out.find("Usage: "), std::string::npos);
  EXPECT_EQ(box.Snapshot(true), before);
  // Its console closed, the first run stops with a write error where it
  // stands, not silently killed by SIGPIPE.
  close(unread);
  kill(first.pid, SIGCONT);
  const RunResult cut = Finish(first);
  EXPECT_TRUE(WindowsProgram() || (cut.exit_code == 101 && Stopped(cut.err, 101))) << cut.err;
  fs::remove_all(pipe.parent_path());
  const RunResult next = box.Run({"0", "in", "bad"});
  EXPECT_TRUE(next.out.starts_with(Preamble(0) + Lines("Processing incoming TICs..."))) << next.out;
  EXPECT_EQ(next.exit_code, 0);
  for (const auto& [name, bytes] : box.Snapshot(true))
    EXPECT_TRUE(name.starts_with("in/") || name.starts_with("bad/") || name == "ticbase.dat")
        << name;
}

// Mode 0 from the inbound of `box` to BadTics at `bad` (within `box` unless
// absolute, then on another file system), killed with SIGKILL up to `most`
// times, each once what `due` returns (given the seeded random; nothing: no
// more kills) comes true, after a random pause below `pause` µs: after each
// kill no file or ticket is lost or damaged, and at most one ticket is
// parted from its file; a last run, not killed, takes every ticket in.
using Due = std::function<std::function<bool()>(std::mt19937&)>;
void KillAgainAndAgain(const Sandbox& box, const std::string& bad, int count, const Sizes& size,
                       unsigned seed, int most, int pause, const Due& due) {
  std::mt19937 random(seed);
  int kills = 0;
  for (std::function<bool()> ready; kills < most && (ready = due(random)); ++kills) {
    SCOPED_TRACE(testing::Message() << "kill " << kills);
    const Child run = box.Start({"0", "in", bad});
    WaitFor(run, ready);
    usleep(random() % pause);
    kill(run.pid, SIGKILL);
    Finish(run);
    EXPECT_LE(std::ranges::count(CheckNode(box, box.Path(bad), count, size, false), 'p'), 1);
  }
  EXPECT_EQ(box.Run({"0", "in", bad}).exit_code, 0);
  EXPECT_EQ(CheckNode(box, box.Path(bad), count, size, true), std::string(count, 'b'));
  EXPECT_TRUE(fs::is_empty(box.Path("in"))) << "the inbound still holds a ticket or file";
}

// BadTics on another file system: a move copies, and a kill in the middle of
// the copy of a large file must never leave a part of it in BadTics under its
// real name, where it would pass for the whole file. Each kill comes once a
// part of the large file has reached BadTics.
TEST(LockAndKill, KilledDuringACopyToAnotherFileSystemLeavesNoHalfFile) {
  struct stat shm = {}, tmp = {};
  if (stat("/dev/shm", &shm) != 0 || stat(fs::temp_directory_path().c_str(), &tmp) != 0 ||
      shm.st_dev == tmp.st_dev) {
    GTEST_SKIP() << "needs /dev/shm on a file system of its own";
  }
  const std::size_t large = std::size_t{16} << 20;
  const Sizes size = [&](int n) { return n == 1 ? large : 10; };
  Sandbox box, other({}, "/dev/shm");
  WriteNode(box, 3, size);
  const auto copying = [&] {  // a part of the large file in BadTics, or its move done
    std::error_code gone;
    for (const auto& entry : fs::directory_iterator(other.Path(""), gone)) {
      const std::uintmax_t bytes = entry.file_size(gone);
      if (entry.path().string().find("000001") != std::string::npos && bytes > 0 && bytes < large)
        return true;
    }
    return !fs::exists(box.Path("in/f000001.zip"));
  };
  KillAgainAndAgain(box, other.Path("").string(), 3, size, 7, 6, 1,
                    [&](std::mt19937&) -> std::function<bool()> {
                      if (!fs::exists(box.Path("in/f000001.zip"))) return {};
                      return copying;
                    });
}

}  // namespace corvane::test
