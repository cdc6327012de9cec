// What a second run beside a working one, and a run killed at any moment,
// may leave behind: one run at a time per working directory, and mode 0
// losing no file and no ticket to SIGKILL.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "harness.h"

namespace corvane::test {
namespace {

namespace fs = std::filesystem;

// The announced file n: its number, then a filler, `size` bytes in all.
std::string FileBytes(int n, std::size_t size) {
  std::string bytes = Numbered("file %06d ", n);
  bytes.resize(size, static_cast<char>('a' + n % 26));
  return bytes;
}

// Tickets TK<n>.tic in "in", each announcing f<n>.zip.
void WriteNode(const Sandbox& box, int count, const std::function<std::size_t(int)>& size) {
  for (int n = 0; n < count; ++n) {
    box.Write(Numbered("in/TK%06d.tic", n), CrLf({"Area NODE", Numbered("File f%06d.zip", n)}));
    box.Write(Numbered("in/f%06d.zip", n), FileBytes(n, size(n)));
  }
}

// Whether `path` holds exactly the announced file n.
bool Whole(const fs::path& path, int n, std::size_t size) {
  std::error_code error;
  if (fs::file_size(path, error) != size || error) return false;
  std::string bytes(size, '\0');
  std::ifstream(path, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(size));
  const std::string head = FileBytes(n, std::min<std::size_t>(size, 64));
  return bytes.starts_with(head) &&
         bytes.find_first_not_of(static_cast<char>('a' + n % 26), head.size()) == std::string::npos;
}

// Checks a node after a run that may have been killed, with BadTics at `bad`:
// every ticket is in the inbound or in BadTics, never in BadTics ahead of its
// file; no file under its name in BadTics is anything but whole. A ticket is
// in both places only `across` file systems, where a move is a copy and a
// delete that a kill can part. With `once`, every file is in exactly one of
// the two places, whole. Returns the number of tickets parted from their
// files (the ticket still in the inbound, the file already in BadTics): the
// one window a kill may leave.
int CheckNode(const Sandbox& box, const fs::path& bad, int count,
              const std::function<std::size_t(int)>& size, bool once, bool across = false) {
  int parted = 0;
  for (int n = 0; n < count; ++n) {
    SCOPED_TRACE(n);
    const fs::path file_in = box.Path(Numbered("in/f%06d.zip", n));
    const fs::path file_bad = bad / Numbered("F%06d.ZIP", n);
    const bool ticket_in = fs::exists(box.Path(Numbered("in/TK%06d.tic", n)));
    const bool ticket_bad = fs::exists(bad / Numbered("TK%06d.tic", n));
    EXPECT_TRUE(ticket_in || ticket_bad) << "the ticket is gone";
    EXPECT_TRUE(across || ticket_in != ticket_bad) << "the ticket is in two places";
    const bool in = fs::exists(file_in), moved = fs::exists(file_bad);
    EXPECT_TRUE(in || moved) << "the file is gone";
    EXPECT_TRUE(!in || Whole(file_in, n, size(n))) << "the file in the inbound is damaged";
    EXPECT_TRUE(!moved || Whole(file_bad, n, size(n))) << "a file in BadTics is not whole";
    EXPECT_TRUE(!once || in != moved) << "the file is not in exactly one place";
    EXPECT_FALSE(ticket_bad && !moved) << "the ticket went ahead of its file";
    if (ticket_in && moved && (!in || ticket_bad)) ++parted;
  }
  return parted;
}

// While one run holds the working directory, a second run of mode 0, 1 or 2
// there is refused and changes nothing; other modes and the usage take no
// lock. The lock goes with the process, even one killed with SIGKILL, and
// leaves no file behind. The first run is stopped (SIGSTOP) once it has
// moved a file, so that it surely holds the directory all along.
TEST(LockAndKill, OneRunAtATimePerWorkingDirectory) {
  Sandbox box;
  WriteNode(box, UnderLauncher() ? 300 : 3000, [](int) { return 100; });
  box.Populate(Files("bad/"));
  const Child first = box.Start({"0", "in", "bad"});
  ASSERT_TRUE(WaitFor([&] { return fs::exists(box.Path("bad/F000000.ZIP")); }, 60));
  ASSERT_EQ(kill(first.pid, SIGSTOP), 0);
  const Tree before = box.Snapshot(true);
  for (const char* args : {"0|in|bad", "1|bad|.", "2|*|report.txt"}) {
    SCOPED_TRACE(args);
    const RunResult run = box.Run(Split(args));
    EXPECT_TRUE(run.out == CrLf({"Corvane/W32 1.4  FidoNet ticket base and new-files report",
                                 "Another run is working in this directory; nothing done."}))
        << run.out.substr(0, 200);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_code, 1);
  }
  EXPECT_EQ(box.Run({"3", "in", "bad"}).out, Preamble(3) + CrLf({"? Erroneous mode"}));
  const RunResult usage = box.Run({"0"});
  EXPECT_NE(usage.out.find("Usage: "), std::string::npos) << usage.out;
  EXPECT_EQ(box.Snapshot(true), before);
  kill(first.pid, SIGKILL);
  Finish(first);
  const RunResult next = box.Run({"0", "in", "bad"});
  EXPECT_TRUE(next.out.starts_with(Preamble(0) + CrLf({"Processing incoming TICs..."})))
      << next.out;
  EXPECT_EQ(next.exit_code, 0);
  for (const auto& [name, bytes] : box.Snapshot(true)) {
    EXPECT_TRUE(name.starts_with("in/") || name.starts_with("bad/") || name == "ticbase.dat")
        << name;
  }
}

// Mode 0 on a node of some thousand tickets with files of varied sizes,
// killed with SIGKILL again and again, each time once a file a seeded random
// step further on has reached BadTics, after a further random pause.
// After each kill no file and no ticket is lost or damaged, and at most one
// more ticket is parted from its file; a last run, not killed, takes in every
// other ticket.
TEST(LockAndKill, ModeZeroKilledAtAnyMomentLosesNothing) {
  const int count = UnderLauncher() ? 600 : 2500;
  const auto size = [](int n) { return static_cast<std::size_t>(1 + n * 7919 % 8192); };
  Sandbox box;
  WriteNode(box, count, size);
  box.Populate(Files("bad/"));
  std::mt19937 random(20240607);
  int kills = 0;
  for (; kills < 20; ++kills) {
    std::vector<int> waiting;
    for (int n = 0; n < count; ++n) {
      if (fs::exists(box.Path(Numbered("in/f%06d.zip", n)))) waiting.push_back(n);
    }
    const std::size_t step = random() % (count / 8);
    if (step >= waiting.size()) break;
    const int target = waiting[step];
    SCOPED_TRACE(testing::Message() << "kill " << kills << " after file " << target);
    const Child run = box.Start({"0", "in", "bad"});
    WaitFor([&] { return fs::exists(box.Path(Numbered("bad/F%06d.ZIP", target))); }, 60);
    usleep(random() % 3000);
    kill(run.pid, SIGKILL);
    Finish(run);
    EXPECT_LE(CheckNode(box, box.Path("bad"), count, size, true), kills + 1);
  }
  const RunResult last = box.Run({"0", "in", "bad"});
  EXPECT_EQ(last.exit_code, 0);
  const int parted = CheckNode(box, box.Path("bad"), count, size, true);
  EXPECT_LE(parted, kills);
  EXPECT_EQ(std::distance(fs::directory_iterator(box.Path("in")), {}), parted)
      << "the inbound holds more than the parted tickets";
}

// BadTics on another file system: a move copies the file, and a kill in the
// middle of the copy of a large file must never leave a part of it in
// BadTics under its real name, where it would pass for the whole file.
TEST(LockAndKill, KilledDuringACopyToAnotherFileSystemLeavesNoHalfFile) {
  const auto device = [](const fs::path& path) {
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 ? st.st_dev : 0;
  };
  if (device("/dev/shm") == 0 || device("/dev/shm") == device(fs::temp_directory_path())) {
    GTEST_SKIP() << "needs /dev/shm on a file system of its own";
  }
  const auto size = [](int n) { return n == 1 ? std::size_t{64} << 20 : 10; };
  Sandbox box, other(fs::path("/dev/shm"));
  WriteNode(box, 3, size);
  std::mt19937 random(7);
  int kills = 0;
  for (; kills < 6 && fs::exists(box.Path("in/f000001.zip")); ++kills) {
    SCOPED_TRACE(kills);
    // Once the run has changed BadTics (a new entry, one grown or gone), a
    // random pause more.
    const auto listing = [&] {
      std::map<std::string, std::uintmax_t> sizes;
      for (const auto& entry : fs::directory_iterator(other.Path(""))) {
        std::error_code gone;
        sizes[entry.path().filename().string()] = entry.file_size(gone);
      }
      return sizes;
    };
    const auto before = listing();
    const Child run = box.Start({"0", "in", other.Path("").string()});
    WaitFor([&] { return listing() != before; }, 60);
    usleep(random() % 20000);
    kill(run.pid, SIGKILL);
    Finish(run);
    CheckNode(box, other.Path(""), 3, size, false, true);
  }
  EXPECT_EQ(box.Run({"0", "in", other.Path("").string()}).exit_code, 0);
  EXPECT_LE(CheckNode(box, other.Path(""), 3, size, true, true), kills);
}

}  // namespace
}  // namespace corvane::test
