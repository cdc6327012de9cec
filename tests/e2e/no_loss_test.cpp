// Faults that lose a file, a record or an announcement, or end a failure
// with exit 0: a mistyped directory, a failing directory search, tickets
// whose File lines name the wrong thing, full disks in modes 0 and 2, and
// control bytes that would reach the output raw.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "harness.h"

namespace corvane::test {
namespace {

namespace fs = std::filesystem;

// A small file system of its own at `where`, for as long as the object lives.
// Only root may mount one; a test without it skips.
class Tmpfs {
 public:
  Tmpfs(const fs::path& where, const std::string& size) : where_(where) {
    fs::create_directories(where);
    const std::string options = "size=" + size;
    mounted_ = geteuid() == 0 && mount("tmpfs", where.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~Tmpfs() {
    if (mounted_) umount2(where_.c_str(), MNT_DETACH);
  }
  Tmpfs(const Tmpfs&) = delete;
  Tmpfs& operator=(const Tmpfs&) = delete;
  bool mounted() const { return mounted_; }

  // Fills the file system up to `free_bytes` with the file `filler`.
  void Fill(std::size_t free_bytes) const {
    const fs::path filler = where_ / "filler";
    {
      std::ofstream out(filler, std::ios::binary);
      const std::string block(4096, 'f');
      while (out.write(block.data(), block.size())) {
      }
    }
    fs::resize_file(filler, fs::file_size(filler) - free_bytes);
  }

 private:
  fs::path where_;
  bool mounted_ = false;
};

const char* const kNoTmpfs = "mounting a small tmpfs needs root (or the right) here";

// A typo in a directory must not empty the database and say "Done.": a
// missing inbound or BadTics directory is stop 3 (path not found) before
// anything changes. An empty name is the current directory, which exists.
TEST(NoLoss, MissingDirectoryStopsBeforeAnythingChanges) {
  const Tree texts = {{"tic", CrLf({"File a.zip"})}, {"db", Database({Ticket("X", "A.ZIP", 3)})}};
  const std::string node = "in/TK000001.tic=@tic in/a.zip=abc bad/ ticbase.dat=@db";
  const Scenario cases[] = {
      {"0|nothere|bad", node, Preamble(0), 3},
      {"0|in|nothere", node, Preamble(0), 3},
      {"0|in/nothere/|nothere\\bad", node, Preamble(0), 3},
      {"1|nothere|.", node, Preamble(1), 3},
      {"0||bad", "bad/ ticbase.dat=@db", Mode0Out(""), 0, "bad/ ticbase.dat="},
      {"0|in|", "in/ ticbase.dat=@db", Mode0Out(""), 0, "in/ ticbase.dat="},
      {"1||.", "ticbase.dat=@db",
       Preamble(1) + CrLf({"Checking stored info...", "0. A.ZIP is ok", "Done."}), 0}};
  for (const Scenario& c : cases) ExpectScenario(c, texts);
}

// A directory search that fails for another reason than "no such entry" is
// a stop with that error, not "no file here": here no file descriptor left
// for it (error 4), or an inbound directory the program may enter but not
// read (error 5, as a user that is not root). The file's name differs in case
// from the ticket's, so the program must read the directory to find it. The
// ticket and its file stay in the inbound directory.
TEST(NoLoss, FailingDirectorySearchStops) {
  if (UnderLauncher()) GTEST_SKIP() << "open-file limits and users are set up from POSIX";
  for (const int stop : {4, 5}) {
    SCOPED_TRACE(stop);
    if (stop == 5 && geteuid() != 0) GTEST_SKIP() << "running as another user needs root";
    Sandbox box;
    const Tree node =
        Files("in/TK000001.tic=@tic in/NEWS.ZIP=abc bad/", {{"tic", CrLf({"File news.zip"})}});
    box.Populate(node);
    if (stop == 5) {
      for (const char* dir : {"", "bad"}) fs::permissions(box.Path(dir), fs::perms::all);
      fs::permissions(box.Path("in"), fs::perms::owner_write | fs::perms::owner_exec |
                                          fs::perms::group_exec | fs::perms::others_exec);
    }
    const RunResult run =
        box.Run({"0", "in", "bad"}, {.max_files = stop == 4 ? 4 : 0, .as_nobody = stop == 5});
    if (stop == 5 && run.exit_code == 127 && run.out.empty()) {
      GTEST_SKIP() << "the program's directory is closed to other users here";
    }
    EXPECT_EQ(RuntimeStopNumber(run.err), stop) << run.err;
    EXPECT_EQ(run.exit_code, stop);
    EXPECT_EQ(box.Snapshot(), node);
  }
}

// Each File line takes the size of its own file, or none when that file is
// not there, so a ticket whose last File names a missing file (or "ATE", from
// "Filedate", or a directory) is no ticket to take in; a name matching *.tic
// counts as no file. Nothing is stored, moved or deleted: above all not an old
// copy in BadTics that nothing would replace, nor a ticket moved before.
TEST(NoLoss, FileLinesThatNameNoFileTouchNothing) {
  const Tree texts = {{"missing", CrLf({"File a.zip", "File missing.zip"})},
                      {"date", CrLf({"File a.zip", "Filedate 1700000000"})},
                      {"dir", CrLf({"File a.zip", "File subdir"})},
                      {"tic", CrLf({"File TK000001.TIC"})},
                      {"lower", CrLf({"Area x", "File tk000001.tic"})},
                      {"gone", CrLf({"File gone.zip"})},
                      {"db", std::string(kRecordSize, 'r')}};
  const std::string tail =
      " bad/MISSING.ZIP=old bad/ATE=old bad/TK000001.tic=older ticbase.dat=@db";
  for (const std::string node :
       {"in/TK000001.tic=@missing in/a.zip=abc", "in/TK000001.tic=@date in/a.zip=abc",
        "in/TK000001.tic=@dir in/a.zip=abc in/subdir/x=inside",
        "in/TK000002.tic=@tic in/TK000001.TIC=@gone",
        "in/TK000002.tic=@lower in/TK000001.TIC=@gone"}) {
    ExpectScenario({"0|in|bad", node + tail, Mode0Out(""), 0, node + tail + " ticbase.dat="},
                   texts);
  }
}

// 600 new entries in six areas, reported with the working directory on a
// full file system: whatever a run got done before it stopped, once space is
// back the next complete run reports every entry exactly once, under its
// area's heading, with subtotals and total counting what is listed; no area
// file is left behind. The runs stop at several moments: while area files
// are written, and while the report is.
TEST(NoLoss, FullDiskInModeTwoLosesNoAnnouncement) {
  std::vector<StoredTicket> tickets;
  std::map<std::string, std::string> area_of;
  for (int i = 0; i < 600; ++i) {
    tickets.push_back(Ticket(std::string("AREA").append(std::to_string(i % 6)),
                             Numbered("F%04d.ZIP", i), i + 1, "entry " + std::to_string(i)));
    area_of[tickets.back().file] = tickets.back().area;
  }
  int stopped = 0;
  for (std::size_t free_kb : {0, 4, 12, 24, 40}) {
    SCOPED_TRACE(testing::Message() << free_kb << " KiB free");
    Sandbox box;
    Tmpfs disk(box.Path("w"), "1m");
    if (!disk.mounted()) GTEST_SKIP() << kNoTmpfs;
    box.Write("w/ticbase.dat", Database(tickets));
    disk.Fill(free_kb * 1024);
    RunResult run = box.Run({"2", "area*", "report.txt"}, {.cwd = "w"});
    if (run.exit_code != 0) {
      ++stopped;
      EXPECT_EQ(RuntimeStopNumber(run.err), run.exit_code) << run.err;
      fs::remove(box.Path("w/filler"));
      run = box.Run({"2", "area*", "report.txt"}, {.cwd = "w"});
    }
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const Tree left = box.Snapshot(true);
    for (const auto& [name, bytes] : left) EXPECT_FALSE(name.ends_with(".nef")) << name;
    ASSERT_EQ(left.count("w/report.txt"), 1u) << "no report";
    std::map<std::string, int> seen;
    std::string area;
    int listed = 0;
    for (const std::string& line : Split(left.at("w/report.txt"), '\n')) {
      if (line.starts_with(" Area : ")) {
        area = line.substr(8, line.size() - 9);
        listed = 0;
      }
      if (line.starts_with(" F") && line.size() > 10) {
        ++seen[line.substr(1, 9)];
        EXPECT_EQ(area_of[line.substr(1, 9)], area) << line;
        ++listed;
      }
      if (line.find("bytes in ") != std::string::npos) {
        EXPECT_EQ(std::stoi(line.substr(line.find("bytes in ") + 9)), listed) << area;
      }
    }
    for (const auto& [file, in_area] : area_of) EXPECT_EQ(seen[file], 1) << file;
    EXPECT_NE(left.at("w/report.txt").find(" Total of 180,300 in 600 file(s)"), std::string::npos);
    for (const Fields& t : DecodeTicbase(left.at("w/ticbase.dat"))) EXPECT_EQ(std::get<2>(t), 0);
  }
  EXPECT_GT(stopped, 0) << "no run stopped: the test proves nothing";
}

// When an append to ticbase.dat fails, the file is cut back to its whole
// records before the stop; every ticket is then either stored and moved, or
// still in the inbound directory with its file, and mode 1 reads the
// database without a stop.
TEST(NoLoss, FullDiskInModeZeroLeavesWholeRecords) {
  Sandbox box;
  Tmpfs disk(box.Path("w"), "64k");
  if (!disk.mounted()) GTEST_SKIP() << kNoTmpfs;
  for (int i = 0; i < 400; ++i) {
    box.Write(Numbered("in/TK%06d.tic", i), CrLf({Numbered("File f%04d.zip", i)}));
    box.Write(Numbered("in/f%04d.zip", i), "data");
  }
  box.Populate(Files("bad/"));
  const RunResult run = box.Run({"0", "../in", "../bad"}, {.cwd = "w"});
  EXPECT_NE(run.exit_code, 0);
  EXPECT_EQ(RuntimeStopNumber(run.err), run.exit_code) << run.err;
  const std::string db = box.Read("w/ticbase.dat");
  ASSERT_EQ(db.size() % kRecordSize, 0u) << db.size() << " bytes";
  const auto stored = DecodeTicbase(db);
  EXPECT_GT(stored.size(), 0u);
  const Tree tree = box.Snapshot();
  for (int i = 0; i < 400; ++i) {
    const bool is_stored = i < static_cast<int>(stored.size());
    EXPECT_TRUE(!is_stored || std::get<0>(stored[i]) == Numbered("TK%06d", i)) << i;
    EXPECT_EQ(tree.count(Numbered(is_stored ? "bad/TK%06d.tic" : "in/TK%06d.tic", i)), 1u) << i;
    EXPECT_EQ(tree.count(Numbered(is_stored ? "bad/F%04d.ZIP" : "in/f%04d.zip", i)), 1u) << i;
  }
  const RunResult check = box.Run({"1", "../bad", "."}, {.cwd = "w"});
  EXPECT_EQ(check.exit_code, 0) << check.err;
  EXPECT_TRUE(check.out.ends_with("Done.\r\n")) << check.out;
}

// Bytes below 32 never reach the console, a report or an area file, apart
// from the line ends the program writes itself: each is written as a space.
// The database keeps the raw bytes: an LF inside a CR-ended ticket line, and
// in a damaged or forged database a Ctrl-Z (which must not cut the rest of
// the area out of the report), a TAB, an LF in a file name.
TEST(NoLoss, ControlBytesAreWrittenOutAsSpaces) {
  Sandbox box;
  box.Populate(Files("in/TK000001.tic=@tic in/a.zip=abc bad/ prefix.nef=@prefix",
                     {{"tic", CrLf({"Area so\nft", "Desc first\nsecond", "File a.zip"})},
                      {"prefix", "tab\there\r\nlf\nstays\r\n"}}));
  ASSERT_EQ(box.Run({"0", "in", "bad"}).out, Mode0Out("TK000001.TIC: A.ZIP"));
  std::string db = box.Read("ticbase.dat");
  ASSERT_EQ(DecodeTicbase(db),
            (std::vector<Fields>{{"TK000001", "A.ZIP", 3, "SO\nFT", "first\nsecond", "", ""}}));
  db += Database({Ticket("SO\nFT", "LATE.ZIP", 8, "cut\x1Ahere\tand"),
                  Ticket("SO\nFT", "AFTER.ZIP", 9, "still there"), Ticket("OTHER", "C\nD.ZIP", 5)});
  box.Write("ticbase.dat", db);
  RunResult run = box.Run({"1", "bad", "."});
  EXPECT_EQ(run.out,
            Preamble(1) + CrLf({"Checking stored info...", "0. A.ZIP is ok", "1. LATE.ZIP is ok",
                                "2. AFTER.ZIP is ok", "3. C D.ZIP is ok", "Done."}));
  const std::string sep = std::string(" ").append(77, '-');
  run = box.Run({"2", "so*", ""});
  EXPECT_EQ(run.out, Preamble(2) + CrLf({"Creating report... done.",
                                         "Writing...",
                                         "tab here",
                                         "lf stays",
                                         "",
                                         " Area : SO FT",
                                         sep,
                                         " A.ZIP                 3 first second",
                                         "",
                                         " LATE.ZIP              8 cut here and",
                                         "",
                                         " AFTER.ZIP             9 still there",
                                         "",
                                         sep,
                                         " 20           bytes in 3   file(s)",
                                         "",
                                         " Total of 20 in 3 file(s)",
                                         "",
                                         "Footer not added due Suffix.Nef missing",
                                         "Done."}));
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(box.Read("ticbase.dat"), SizesCleared(db, {0, 1, 2}));
}

}  // namespace
}  // namespace corvane::test
