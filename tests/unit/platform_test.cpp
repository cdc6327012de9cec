// The platform layer against a real temporary directory: lookups ignore
// letter case, searches skip what Win32 would skip and come sorted, moves
// never replace, errors are Win32 numbers.
#include "platform/platform.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "platform/name_index_posix.h"
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>

namespace corvane::os {
namespace {
namespace fs = std::filesystem;
using Str = std::string;

class PlatformTest : public ::testing::Test {
 protected:
  void TearDown() override { fs::remove_all(dir_); }
  // The program's form of a path inside the test directory: "\" separators.
  Str P(const Str& relative) const {
    Str path = (dir_ / relative).string();
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
  }
  // Files (blank-separated paths) holding `bytes`; a path ending in "/" is a
  // directory.
  void Put(const Str& paths, const Str& bytes = "x") const {
    std::istringstream names(paths);
    for (Str name; names >> name;) {
      fs::create_directories((dir_ / name).parent_path());
      if (!name.ends_with('/')) std::ofstream(dir_ / name, std::ios::binary) << bytes;
    }
  }
  Str Get(const fs::path& relative) const {
    std::ifstream in(dir_ / relative, std::ios::binary);
    return Str(std::istreambuf_iterator<char>(in), {});
  }
  // What a search delivers (a probe: the one name found, or ""), blank-separated.
  Str Search(const Str& mask) const {
    Str names;
    SearchHandle search;
    DirEntry entry;
    for (bool found = FindFirst(P(mask), &search, &entry) == Ok; found;
         found = FindNext(&search, &entry)) {
      names.append(names.empty() ? "" : " ").append(entry.View());
    }
    return names;
  }
  // The directory as it stands on disk, sorted by bytes.
  Str Listing(const Str& relative) const {
    std::set<Str> names;
    for (const auto& entry : fs::directory_iterator(dir_ / relative))
      names.insert(entry.path().filename().string());
    Str all;
    for (const Str& name : names) all += (all.empty() ? "" : " ") + name;
    return all;
  }

  const fs::path dir_ =
      fs::temp_directory_path() / ("corvane-platform-" + std::to_string(std::random_device{}()));
};

// What the end-to-end suite cannot set up through tickets: entries Win32
// would list under another name (on Win32 the short name of longname.ticket,
// LONGNA~1.TIC, matches "*.tic"; "b.tic." and "b.tic  " are b.tic to Win32),
// read-only files, a second spelling of a directory; and the Win32 numbers of
// failures that leave what they were refused as it was.
TEST_F(PlatformTest, SearchesErrorNumbersAndWrites) {
  Put("in/b.tic in/.hidden.tic in/longname.ticket in/locked.tic in/A.TIC in/dir.tic/ adir/");
  Put("in/file.zip", "new");
  Put("bad/FILE.ZIP", "old");
  fs::permissions(dir_ / "in/locked.tic", fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_EQ(Search("IN/*.TIC"), "A.TIC b.tic locked.tic");
  for (const char* mask : {"in/dir.tic", "missing/*.tic", "in/b.tic.", "in/b.tic  "})
    EXPECT_EQ(Search(mask), "") << mask;
  EXPECT_EQ(Search("in/a.tic"), "A.TIC");
  EXPECT_TRUE(SameEntry(P("in"), P("IN") + "\\"));
  EXPECT_FALSE(SameEntry(P("missing"), P("missing")));
  FileHandle file;
  SearchHandle search;
  DirEntry entry;
  char byte = 0;
  std::size_t got = 0;
  const ErrorCode errors[] = {
      OpenExisting(P("nodir/missing.dat"), FileAccess::Read, &file, nullptr),
      OpenExisting(P("adir"), FileAccess::Read, &file, nullptr),
      CreateTruncated(P("nodir/new.dat"), &file),
      CreateTruncated(P("r*.txt"), &file),
      RemoveFile(P("adir")),
      RemoveFile(P("in/locked.tic")),
      CreateTruncated(P("in/locked.tic"), &file),
      MoveFileTo(P("in/FILE.ZIP"), P("bad/file.zip")),
      MoveFileTo(P("adir"), P("bad/adir")),
      Read(FileHandle{}, &byte, 1, &got),
      FindFirst(P("adir/*.tic"), &search, &entry),
      FindFirst(P("nodir/*.tic"), &search, &entry),
      FindFirst(P("nodir/x.tic"), &search, &entry),
      CheckDirectory(P("ADIR")),
      CheckDirectory(P("in/file.zip")),
  };
  EXPECT_EQ(
      std::vector<ErrorCode>(std::begin(errors), std::end(errors)),
      (std::vector<ErrorCode>{PathNotFound, AccessDenied, PathNotFound, InvalidName, AccessDenied,
                              AccessDenied, AccessDenied, AlreadyExists, AccessDenied, FileNotOpen,
                              FileNotFound, PathNotFound, PathNotFound, Ok, PathNotFound}));
  fs::permissions(dir_ / "in/locked.tic", fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(Get("in/locked.tic") + Get("bad/FILE.ZIP") + Get("in/file.zip"), "xoldnew");
  // Every component resolves ignoring case, and a file keeps its name on disk;
  // a record file is appended to, cut back to its whole records after a failed
  // append, and written on from there.
  Put("Inbound/Sub/report.txt", "old content");
  Put("db", "0123456789");
  std::uint64_t length = 0;
  ASSERT_EQ(CreateTruncated(P("INBOUND/sub/REPORT.TXT"), &file), Ok);
  EXPECT_EQ(SeekToEnd(file, &length) == Ok ? length : 9, 0u);  // emptied, whatever it held
  ASSERT_EQ(Write(file, "new", 3), Ok);
  ASSERT_EQ(Close(&file), Ok);
  EXPECT_EQ(Close(&file), FileNotOpen);
  EXPECT_EQ(Listing("Inbound/Sub") + " " + Get("Inbound/Sub/report.txt"), "report.txt new");
  ASSERT_EQ(OpenExisting(P("DB"), FileAccess::ReadWrite, &file, &length), Ok);
  EXPECT_EQ(length, 10u);
  ASSERT_EQ(SeekToEnd(file, &length), Ok);
  ASSERT_EQ(Write(file, "ab", 2), Ok);
  EXPECT_EQ(SeekToEnd(file, &length) == Ok ? length : 0, 12u);  // the end moved with the write
  ASSERT_EQ(Truncate(file, 4), Ok);
  ASSERT_EQ(Write(file, "x", 1), Ok);
  ASSERT_EQ(Close(&file), Ok);
  EXPECT_EQ(Get("db"), "0123x");
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
    Str on_disk, asked, found, change = "", found_after = "";
  };
  const Case cases[] = {
      {"a.txt A.TXT", "a.txt", "a.txt"},
      {"b.TXT B.txt b.txt", "B.TXT", "B.txt"},
      {"c.txt", "C.TXT", "c.txt"},
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
    const Str dir = Str("t").append(std::to_string(i)).append("/");
    std::istringstream names(c.on_disk + " seed");  // seed: the directory, also when empty
    for (Str name; names >> name;) Put(dir + name);
    EXPECT_EQ(Search(dir + c.asked), c.found);
    const std::size_t arrow = c.change.find('>');
    if (c.change.starts_with('+')) Put(dir + c.change.substr(1));
    if (c.change.starts_with('-')) fs::remove(dir_ / dir / c.change.substr(1));
    if (arrow != Str::npos)
      fs::rename(dir_ / dir / c.change.substr(0, arrow), dir_ / dir / c.change.substr(arrow + 1));
    EXPECT_EQ(Search(dir + c.asked), c.change.empty() ? c.found : c.found_after);
  }
  // Every operation resolves alike: the delete takes the one a search finds.
  EXPECT_EQ(RemoveFile(P("t1/B.TXT")), Ok);
  EXPECT_EQ(Listing("t1"), "b.TXT b.txt seed");
}

// Open, move and delete after another program renamed the entry, or put
// another directory of the same name in other case in place of the first.
TEST_F(NameIndexTest, OperationsFollowEntriesRenamedBehindTheirBack) {
  Put("in/a.zip in/r.zip Box/b.zip out/");
  EXPECT_EQ(Search("in/A.ZIP") + "|" + Search("box/B.ZIP"), "a.zip|b.zip");
  fs::rename(dir_ / "in/a.zip", dir_ / "in/A.ZIP");
  fs::rename(dir_ / "in/r.zip", dir_ / "in/R.ZIP");
  fs::rename(dir_ / "Box", dir_ / "old");
  Put("BOX/b.zip");
  FileHandle file;
  ASSERT_EQ(OpenExisting(P("in/a.zip"), FileAccess::Read, &file, nullptr), Ok);
  EXPECT_EQ(Close(&file), Ok);
  EXPECT_EQ(MoveFileTo(P("in/a.zip"), P("out/a.zip")), Ok);
  EXPECT_EQ(RemoveFile(P("in/r.zip")), Ok);
  EXPECT_EQ(Search("box/B.ZIP"), "b.zip");
  EXPECT_EQ(RemoveFile(P("box/b.zip")), Ok);
  EXPECT_EQ(Listing("in") + "|" + Listing("out") + "|" + Listing("BOX") + "|" + Listing("old"),
            "|a.zip||b.zip");
}

// The program's own creations, moves and deletes are answered without a new
// scan; another program's change after them is not taken for one of them.
// (The end-to-end runs over thousands of tickets grow the table and reclaim
// the names moved out of it.)
TEST_F(NameIndexTest, OwnChangesAreSeenWithoutARescan) {
  Put("in/ bad/");
  for (const char* name : {"in/none", "in/none.txt", "bad/none.txt"}) EXPECT_EQ(Search(name), "");
  const std::size_t scans = posix::ScanCount();
  FileHandle file;
  ASSERT_EQ(CreateTruncated(P("in/NEW.TXT"), &file), Ok);
  EXPECT_EQ(Close(&file), Ok);
  EXPECT_EQ(Search("in/new.txt"), "NEW.TXT");
  EXPECT_EQ(MoveFileTo(P("in/new.txt"), P("bad/Moved.txt")), Ok);
  EXPECT_EQ(Search("in/NEW.TXT"), "");
  EXPECT_EQ(Search("bad/MOVED.TXT"), "Moved.txt");
  EXPECT_EQ(RemoveFile(P("bad/moved.txt")), Ok);
  EXPECT_EQ(Search("bad/Moved.txt"), "");
  EXPECT_EQ(posix::ScanCount(), scans);
  usleep(20000);  // past the directory's time stamp
  Put("in/late.txt");
  EXPECT_EQ(Search("in/LATE.TXT"), "late.txt");
  EXPECT_EQ(posix::ScanCount(), scans + 1);
}

// Thousands of the program's own deletes across a hundred directories:
// every name left is still found when asked in capitals, which on POSIX only
// the index can answer, and none deleted comes back, all without a scan.
TEST_F(NameIndexTest, ThousandsOfOwnDeletesKeepEveryOtherName) {
  const auto name = [](int n, const char* stem) {  // <stem><n>.zip
    return Str(stem).append(std::to_string(n)).append(".zip");
  };
  const auto path = [&](int n, const char* stem) {  // in directory t<n % 100>
    return Str("t").append(std::to_string(n % 100)).append("/").append(name(n, stem));
  };
  Str names, expected, found;
  for (int n = 0; n < 3000; ++n) names.append(path(n, "f")).append(" ");
  Put(names);
  for (int n = 0; n < 100; ++n) EXPECT_EQ(Search(path(n, "F")), name(n, "f"));
  const std::size_t scans = posix::ScanCount();
  for (int n = 1; n < 3000; n += n % 3) {  // all but every third
    EXPECT_EQ(RemoveFile(P(path(n, "f"))), Ok);
  }
  for (int n = 0; n < 3000; ++n) {
    expected.append(n % 3 == 0 ? name(n, "f") : "-").append(" ");
    const Str held = Search(path(n, "F"));
    found.append(held.empty() ? "-" : held).append(" ");
  }
  EXPECT_EQ(found, expected);
  EXPECT_EQ(posix::ScanCount(), scans);
}

// Only the names with the first extension asked are held, case twins among
// them, until a name with another extension is asked: then one more scan.
TEST_F(NameIndexTest, AnIndexHoldsOneExtensionUntilAnotherIsAsked) {
  Put("bad/a.bad bad/B.Bad bad/b.BAD bad/c.zip bad/d");
  const std::size_t scans = posix::ScanCount();
  const auto open_files = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
  const auto files_before = open_files();
  const std::pair<const char*, const char*> probes[] = {
      {"A.BAD", "a.bad"}, {"b.bad", "B.Bad"}, {"c.bad", ""}, {"C.ZIP", "c.zip"}, {"D", "d"}};
  for (const auto& [asked, found] : probes) EXPECT_EQ(Search(Str("bad/") + asked), found);
  EXPECT_EQ(posix::ScanCount(), scans + 2);
  EXPECT_EQ(open_files(), files_before);  // each scan closes its directory
}

// A directory that cannot be read is an error, never "no such file", for a
// lookup through the index and for a wildcard search alike.
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
  EXPECT_EQ(Search("in/FILE.ZIP"), "file.zip");
}
#endif  // _WIN32

}  // namespace
}  // namespace corvane::os
