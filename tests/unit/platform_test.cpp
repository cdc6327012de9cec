// The platform layer against a real temporary directory: lookups ignore
// letter case, searches skip what Win32 would skip and come sorted, moves
// never replace, errors are Win32 numbers.
#include "platform/platform.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "platform/name_index_posix.h"
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace corvane::os {
namespace {
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_); }
  void TearDown() override { fs::remove_all(dir_); }

  // The program's form of a path inside the test directory: "\" separators.
  std::string P(const std::string& relative) const {
    std::string path = (dir_ / relative).string();
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
  }
  void Put(const std::string& relative, const std::string& bytes = "x") const {
    fs::create_directories((dir_ / relative).parent_path());
    std::ofstream(dir_ / relative, std::ios::binary) << bytes;
  }
  std::string Get(const std::string& relative) const {
    std::ifstream in(dir_ / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void ReadOnly(const std::string& relative, bool on) const {
    fs::permissions(dir_ / relative,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    on ? fs::perm_options::remove : fs::perm_options::add);
  }
  Names Search(const std::string& mask) const {
    Names names;
    SearchHandle search;
    DirEntry entry;
    for (bool found = FindFirst(P(mask), &search, &entry) == Ok; found;
         found = FindNext(&search, &entry)) {
      names.emplace_back(entry.View());
    }
    return names;
  }
  // The name a one-name search finds, or "" when none.
  std::string Probe(const std::string& relative) const {
    const Names names = Search(relative);
    return names.empty() ? "" : names[0];
  }
  // The directory as it stands on disk, sorted.
  Names Listing(const std::string& relative) const {
    Names names;
    for (const auto& entry : fs::directory_iterator(dir_ / relative))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  const fs::path dir_ =
      fs::temp_directory_path() / ("corvane-platform-" + std::to_string(std::random_device{}()));
};

// What the end-to-end suite cannot set up through tickets: entries Win32
// would list under another name, read-only files, and a second spelling of
// the same directory. A probe finds the one name asked, in any letter case,
// and nothing Win32 would take for it after dropping trailing dots and blanks.
TEST_F(PlatformTest, SearchDeliversVisibleFilesByTheirWholeNames) {
  for (const char* name : {"in/b.tic", "in/.hidden.tic", "in/longname.ticket", "in/locked.tic"})
    Put(name);  // on Win32 the short name of longname.ticket, LONGNA~1.TIC, matches "*.tic"
  Put("in/A.TIC", "xy");
  fs::create_directories(dir_ / "in/dir.tic");
  ReadOnly("in/locked.tic", true);
  EXPECT_EQ(Search("IN/*.TIC"), (Names{"A.TIC", "b.tic", "locked.tic"}));
  ReadOnly("in/locked.tic", false);
  for (const char* mask : {"in/dir.tic", "missing/*.tic", "in/b.tic.", "in/b.tic  "})
    EXPECT_TRUE(Search(mask).empty()) << mask;
  EXPECT_EQ(Search("in/a.tic"), Names{"A.TIC"});
  EXPECT_TRUE(SameEntry(P("in"), P("IN") + "\\"));
  EXPECT_FALSE(SameEntry(P("missing"), P("missing")));
}

// Every component resolves ignoring case; a record file is cut back to its
// whole records after a failed append, and written on from there.
TEST_F(PlatformTest, CreateOpenAndTruncateResolveEveryComponentIgnoringCase) {
  Put("Inbound/Sub/report.txt", "old content");
  Put("db", "0123456789");
  FileHandle file;
  std::uint64_t length = 0;
  ASSERT_EQ(CreateTruncated(P("INBOUND/sub/REPORT.TXT"), &file), Ok);
  ASSERT_EQ(Write(file, "new", 3), Ok);
  ASSERT_EQ(Close(&file), Ok);
  EXPECT_EQ(Close(&file), FileNotOpen);
  EXPECT_EQ(Get("Inbound/Sub/report.txt"), "new");
  EXPECT_EQ(Search("inbound/sub/*"), Names{"report.txt"});
  ASSERT_EQ(OpenExisting(P("DB"), FileAccess::ReadWrite, &file, &length), Ok);
  EXPECT_EQ(length, 10u);
  ASSERT_EQ(Truncate(file, 4), Ok);
  ASSERT_EQ(Write(file, "x", 1), Ok);
  ASSERT_EQ(Close(&file), Ok);
  EXPECT_EQ(Get("db"), "0123x");
}

// Win32 deletes or truncates no read-only file, and nor may POSIX; only files
// move, never onto a target in any case; a search tells "nothing there" from
// "no such directory".
TEST_F(PlatformTest, ErrorNumbersAreWin32) {
  fs::create_directories(dir_ / "adir");
  Put("bad/FILE.ZIP", "old");
  Put("in/file.zip", "new");
  Put("readonly.zip", "r");
  ReadOnly("readonly.zip", true);
  FileHandle file;
  SearchHandle search;
  DirEntry entry;
  char byte = 0;
  std::size_t got = 0;
  const auto open = [&](const char* path) {
    return OpenExisting(P(path), FileAccess::Read, &file, nullptr);
  };
  const auto find = [&](const char* mask) { return FindFirst(P(mask), &search, &entry); };
  const std::pair<ErrorCode, ErrorCode> cases[] = {
      {open("missing.dat"), FileNotFound},
      {open("nodir/missing.dat"), PathNotFound},
      {open("adir"), AccessDenied},
      {CreateTruncated(P("nodir/new.dat"), &file), PathNotFound},
      {CreateTruncated(P("r*.txt"), &file), InvalidName},
      {RemoveFile(P("adir")), AccessDenied},
      {RemoveFile(P("readonly.zip")), AccessDenied},
      {CreateTruncated(P("readonly.zip"), &file), AccessDenied},
      {MoveFileTo(P("in/FILE.ZIP"), P("bad/file.zip")), AlreadyExists},
      {MoveFileTo(P("adir"), P("bad/adir")), AccessDenied},
      {Read(FileHandle{}, &byte, 1, &got), FileNotOpen},
      {find("in/*.tic"), FileNotFound},
      {find("nodir/*.tic"), PathNotFound},
      {find("nodir/x.tic"), PathNotFound},
      {CheckDirectory(P("ADIR")), Ok},
      {CheckDirectory(P("in/file.zip")), PathNotFound},
      {CheckDirectory(P("nodir")), PathNotFound},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(cases[i].first, cases[i].second) << i;
  ReadOnly("readonly.zip", false);
  EXPECT_EQ(Get("readonly.zip"), "r");
  EXPECT_EQ(Get("bad/FILE.ZIP"), "old");
  EXPECT_EQ(Get("in/file.zip"), "new");
}

// Across file systems a move is a copy and a delete; the source must go only
// once the copy is whole, the copy goes under a hidden name (one a killed run
// left is replaced), and the target is never replaced.
TEST_F(PlatformTest, MoveAcrossFileSystems) {
#ifdef _WIN32
  // Under Wine, Z: is the Linux root, and /dev/shm a file system of its own
  // apart from the prefix's drive C:; on Windows itself there is none.
  const fs::path other = "Z:\\dev\\shm";
  if (!fs::is_directory(other)) GTEST_SKIP() << "no second volume at Z:\\dev\\shm";
#else
  const fs::path other = "/dev/shm";
  struct ::stat here {};
  struct ::stat there {};
  if (::stat(dir_.c_str(), &here) != 0 || ::stat(other.c_str(), &there) != 0 ||
      here.st_dev == there.st_dev) {
    GTEST_SKIP() << "no second file system at /dev/shm";
  }
#endif
  const fs::path target = other / dir_.filename();
  fs::create_directories(target);
  Put("in/big.zip", std::string(200000, 'z'));
  Put("in/taken.zip", "new");
  std::ofstream(target / "taken.zip") << "keep";
  std::ofstream(target / ".BIG.ZIP.part") << "left by a killed run";
  std::string to = target.string() + "/";
  std::replace(to.begin(), to.end(), '/', '\\');
  EXPECT_EQ(MoveFileTo(P("in/big.zip"), to + "BIG.ZIP"), Ok);
  EXPECT_EQ(MoveFileTo(P("in/taken.zip"), to + "taken.zip"), AlreadyExists);
  EXPECT_FALSE(fs::exists(dir_ / "in/big.zip"));
  EXPECT_EQ(fs::file_size(target / "BIG.ZIP"), 200000u);
  EXPECT_FALSE(fs::exists(target / ".BIG.ZIP.part"));
  EXPECT_EQ(Get("in/taken.zip"), "new");
  EXPECT_EQ(Get((target / "taken.zip").string()), "keep");  // an absolute path replaces dir_
  fs::remove_all(target);
}

#ifndef _WIN32
// The name index behind the POSIX layer, through the platform calls that use
// it: how it breaks case ties, what it answers after another program's changes
// and after the program's own, and what a directory it cannot read gives.
using NameIndexTest = PlatformTest;

// Ties: the exact name, else the smallest in byte order. The index is built by
// a first lookup; another program then changes the directory ("+name" added,
// "-name" removed, "old>new" renamed), and the next lookup must see it.
TEST_F(NameIndexTest, CaseTiesAndChangesByAnotherProgram) {
  struct Case {
    std::string on_disk, asked, found, change = "", found_after = "";
  };
  const Case cases[] = {
      {"a.txt A.TXT", "A.TXT", "A.TXT"},
      {"a.txt A.TXT", "a.txt", "a.txt"},
      {"a.txt A.TXT", "A.txt", "A.TXT"},
      {"b.TXT B.txt b.txt", "B.TXT", "B.txt"},
      {"aB Ab", "ab", "Ab"},
      {"c.txt", "C.TXT", "c.txt"},
      {"c.txt", "C.TXT.", ""},
      {"c.txt", "d.txt", ""},
      {"", "new.zip", "", "+NEW.ZIP", "NEW.ZIP"},
      {"gone.zip", "GONE.ZIP", "gone.zip", "-gone.zip", ""},
      {"a.zip A.ZIP", "A.ZIP", "A.ZIP", "-A.ZIP", "a.zip"},
      {"x.zip", "x.zip", "x.zip", "x.zip>X.ZIP", "X.ZIP"},
      {"y.zip", "Y.ZIP", "y.zip", "y.zip>Y.ZIP", "Y.ZIP"},
      {"z.zip", "Z.ZIP", "z.zip", "z.zip>other.zip", ""},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(i);
    const std::string dir = "t" + std::to_string(i) + "/";
    Put(dir + "seed");  // the directory, also when nothing else is in it
    std::istringstream names(c.on_disk);
    for (std::string name; names >> name;) Put(dir + name);
    EXPECT_EQ(Probe(dir + c.asked), c.found);
    const std::size_t arrow = c.change.find('>');
    if (c.change.starts_with('+')) Put(dir + c.change.substr(1));
    if (c.change.starts_with('-')) fs::remove(dir_ / dir / c.change.substr(1));
    if (arrow != std::string::npos) {
      fs::rename(dir_ / dir / c.change.substr(0, arrow), dir_ / dir / c.change.substr(arrow + 1));
    }
    EXPECT_EQ(Probe(dir + c.asked), c.change.empty() ? c.found : c.found_after);
  }
  // Every operation resolves alike: the delete takes the one a search finds.
  EXPECT_EQ(RemoveFile(P("t0/A.txt")), Ok);
  EXPECT_EQ(Listing("t0"), (Names{"a.txt", "seed"}));
}

TEST_F(NameIndexTest, OperationsFollowEntriesRenamedBehindTheirBack) {
  for (const char* name : {"in/a.zip", "in/r.zip", "Box/b.zip", "out/seed"}) Put(name);
  EXPECT_EQ(Probe("in/A.ZIP"), "a.zip");
  EXPECT_EQ(Probe("box/B.ZIP"), "b.zip");
  fs::rename(dir_ / "in/a.zip", dir_ / "in/A.ZIP");
  fs::rename(dir_ / "in/r.zip", dir_ / "in/R.ZIP");
  // The directory itself goes, and another of its name in other case takes
  // its place.
  fs::rename(dir_ / "Box", dir_ / "old");
  Put("BOX/b.zip");
  FileHandle file;
  ASSERT_EQ(OpenExisting(P("in/a.zip"), FileAccess::Read, &file, nullptr), Ok);
  EXPECT_EQ(Close(&file), Ok);
  EXPECT_EQ(MoveFileTo(P("in/a.zip"), P("out/a.zip")), Ok);
  EXPECT_EQ(RemoveFile(P("in/r.zip")), Ok);
  EXPECT_EQ(Probe("box/B.ZIP"), "b.zip");
  EXPECT_EQ(RemoveFile(P("box/b.zip")), Ok);
  EXPECT_TRUE(Listing("in").empty());
  EXPECT_EQ(Listing("out"), (Names{"a.zip", "seed"}));
  EXPECT_TRUE(Listing("BOX").empty());
  EXPECT_EQ(Listing("old"), Names{"b.zip"});
}

TEST_F(NameIndexTest, OwnChangesAreSeenWithoutARescan) {
  Put("in/seed");
  Put("bad/seed");
  for (const char* name : {"in/none", "in/none.txt", "bad/none.txt"}) EXPECT_EQ(Probe(name), "");
  const std::size_t scans = posix::ScanCount();
  FileHandle file;
  ASSERT_EQ(CreateTruncated(P("in/NEW.TXT"), &file), Ok);
  EXPECT_EQ(Close(&file), Ok);
  EXPECT_EQ(Probe("in/new.txt"), "NEW.TXT");
  EXPECT_EQ(MoveFileTo(P("in/new.txt"), P("bad/Moved.txt")), Ok);
  EXPECT_EQ(Probe("in/NEW.TXT"), "");
  EXPECT_EQ(Probe("bad/MOVED.TXT"), "Moved.txt");
  EXPECT_EQ(RemoveFile(P("bad/moved.txt")), Ok);
  EXPECT_EQ(Probe("bad/Moved.txt"), "");
  // Enough names for the table to grow, and removals and renames for it to
  // reclaim its dead records, all answered from what the program did.
  constexpr int Count = 2000;
  const auto in = [](const char* prefix, int i) { return "in/" + (prefix + std::to_string(i)); };
  for (int i = 0; i < Count; ++i) {
    ASSERT_EQ(CreateTruncated(P(in("N", i) + ".TXT"), &file), Ok);
    ASSERT_EQ(Close(&file), Ok);
  }
  for (int i = 0; i < Count; i += 2) ASSERT_EQ(RemoveFile(P(in("n", i) + ".txt")), Ok);
  for (int i = 1; i < Count; i += 4)
    ASSERT_EQ(MoveFileTo(P(in("n", i) + ".txt"), P(in("m", i))), Ok);
  for (int i = 0; i < Count; ++i) {
    const std::string n = std::to_string(i);
    EXPECT_EQ(Probe(in("n", i) + ".txt"), i % 4 == 3 ? "N" + n + ".TXT" : "") << i;
    EXPECT_EQ(Probe(in("M", i)), i % 4 == 1 ? "m" + n : "") << i;
  }
  EXPECT_EQ(posix::ScanCount(), scans);
  EXPECT_EQ(Listing("in").size(), Count / 2 + 1u);
  // Another program's change after the program's own is not taken for it.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  Put("in/late.txt");
  EXPECT_EQ(Probe("in/LATE.TXT"), "late.txt");
  EXPECT_EQ(posix::ScanCount(), scans + 1);
}

// A directory that cannot be read is an error, never "no such file", for a
// lookup through the index and for a wildcard search alike.
// Only the names with the first extension asked are held, case twins among
// them, until a name with another extension is asked: then one more scan.
TEST_F(NameIndexTest, AnIndexHoldsOneExtensionUntilAnotherIsAsked) {
  for (const char* name : {"bad/a.bad", "bad/B.Bad", "bad/b.BAD", "bad/c.zip", "bad/d"}) Put(name);
  const std::size_t scans = posix::ScanCount();
  const std::pair<const char*, const char*> probes[] = {
      {"A.BAD", "a.bad"}, {"b.bad", "B.Bad"}, {"c.bad", ""}, {"C.ZIP", "c.zip"}, {"D", "d"}};
  for (const auto& [asked, found] : probes) EXPECT_EQ(Probe(std::string("bad/") + asked), found);
  EXPECT_EQ(posix::ScanCount(), scans + 2);
}

TEST_F(NameIndexTest, ADirectoryThatCannotBeReadIsAnErrorNotAMiss) {
  Put("in/file.zip");
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  const int lowest_free = open("/dev/null", O_RDONLY);
  ASSERT_GE(lowest_free, 0);
  close(lowest_free);
  rlimit none_left = saved;
  none_left.rlim_cur = static_cast<rlim_t>(lowest_free);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none_left), 0);
  SearchHandle search;
  DirEntry entry;
  FileHandle file;
  const ErrorCode errors[] = {
      FindFirst(P("in/FILE.ZIP"), &search, &entry),
      FindFirst(P("in/*.zip"), &search, &entry),
      OpenExisting(P("in/other.zip"), FileAccess::Read, &file, nullptr),
      RemoveFile(P("in/other.zip")),
      MoveFileTo(P("in/FILE.ZIP"), P("in/moved.zip")),
  };
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  for (const ErrorCode error : errors) EXPECT_EQ(error, TooManyOpenFiles);
  EXPECT_EQ(Probe("in/FILE.ZIP"), "file.zip");
}
#endif  // _WIN32

}  // namespace
}  // namespace corvane::os
