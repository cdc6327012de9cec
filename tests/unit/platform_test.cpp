// The platform layer against a real temporary directory: lookups ignore
// letter case, searches skip what Win32 would skip and come sorted, moves
// never replace, errors are Win32 numbers.
#include "platform/platform.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace corvane::os {
namespace {
namespace fs = std::filesystem;

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    dir_ = fs::temp_directory_path() / ("corvane-platform-" + std::to_string(seed()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The program's form of a path inside the test directory: "\" separators.
  std::string P(const std::string& relative) const {
    std::string path = (dir_ / relative).string();
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    return path;
  }
  void Put(const std::string& relative, const std::string& bytes) const {
    fs::create_directories((dir_ / relative).parent_path());
    std::ofstream(dir_ / relative, std::ios::binary) << bytes;
  }
  std::string Get(const std::string& relative) const {
    std::ifstream in(dir_ / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<std::string> Search(const std::string& mask) const {
    std::vector<std::string> names;
    SearchHandle search;
    DirEntry entry;
    for (bool found = FindFirst(P(mask), &search, &entry) == Ok; found;
         found = FindNext(&search, &entry)) {
      names.emplace_back(entry.View());
    }
    return names;
  }

  fs::path dir_;
};

// What the end-to-end suite cannot set up through tickets: entries Win32
// would list under another name, read-only files, and a second spelling of
// the same directory.
TEST_F(PlatformTest, SearchDeliversVisibleFilesByTheirWholeNames) {
  Put("in/b.tic", "x");
  Put("in/A.TIC", "xy");
  Put("in/.hidden.tic", "x");
  fs::create_directories(dir_ / "in/dir.tic");
  Put("in/longname.ticket", "x");  // on Win32 its short name LONGNA~1.TIC matches "*.tic"
  Put("in/locked.tic", "xyz");
  const auto write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(dir_ / "in/locked.tic", write, fs::perm_options::remove);
  EXPECT_EQ(Search("IN/*.TIC"), (std::vector<std::string>{"A.TIC", "b.tic", "locked.tic"}));
  fs::permissions(dir_ / "in/locked.tic", write, fs::perm_options::add);  // so it can be removed
  EXPECT_TRUE(Search("in/dir.tic").empty());
  EXPECT_TRUE(Search("missing/*.tic").empty());
  // A probe finds the one name asked, in any letter case, and nothing that
  // Win32 would take for it after dropping trailing dots and blanks.
  EXPECT_EQ(Search("in/a.tic"), (std::vector<std::string>{"A.TIC"}));
  EXPECT_TRUE(Search("in/b.tic.").empty());
  EXPECT_TRUE(Search("in/b.tic  ").empty());
  EXPECT_TRUE(SameEntry(P("in"), P("IN") + "\\"));
  EXPECT_FALSE(SameEntry(P("missing"), P("missing")));
}

TEST_F(PlatformTest, CreateAndOpenResolveEveryComponentIgnoringCase) {
  Put("Inbound/Sub/report.txt", "old content");
  FileHandle file;
  ASSERT_EQ(CreateTruncated(P("INBOUND/sub/REPORT.TXT"), &file), Ok);
  ASSERT_EQ(Write(file, "new", 3), Ok);
  ASSERT_EQ(Close(&file), Ok);
  EXPECT_EQ(Close(&file), FileNotOpen);
  EXPECT_EQ(Get("Inbound/Sub/report.txt"), "new");
  EXPECT_EQ(Search("inbound/sub/*"), (std::vector<std::string>{"report.txt"}));
}

TEST_F(PlatformTest, ErrorNumbersAreWin32) {
  fs::create_directories(dir_ / "adir");
  Put("bad/FILE.ZIP", "old");
  Put("in/file.zip", "new");
  FileHandle file;
  EXPECT_EQ(OpenExisting(P("missing.dat"), FileAccess::Read, &file, nullptr), FileNotFound);
  EXPECT_EQ(OpenExisting(P("nodir/missing.dat"), FileAccess::Read, &file, nullptr), PathNotFound);
  EXPECT_EQ(OpenExisting(P("adir"), FileAccess::Read, &file, nullptr), AccessDenied);
  EXPECT_EQ(CreateTruncated(P("nodir/new.dat"), &file), PathNotFound);
  EXPECT_EQ(CreateTruncated(P("r*.txt"), &file), InvalidName) << "no name Win32 could not hold";
  EXPECT_EQ(RemoveFile(P("adir")), AccessDenied);
  Put("readonly.zip", "r");  // Win32 deletes no read-only file, and nor may POSIX
  fs::permissions(dir_ / "readonly.zip",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_EQ(RemoveFile(P("readonly.zip")), AccessDenied);
  EXPECT_EQ(CreateTruncated(P("readonly.zip"), &file), AccessDenied);
  EXPECT_EQ(Get("readonly.zip"), "r");
  fs::permissions(dir_ / "readonly.zip", fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(MoveFileTo(P("in/FILE.ZIP"), P("bad/file.zip")), AlreadyExists);
  EXPECT_EQ(MoveFileTo(P("adir"), P("bad/adir")), AccessDenied) << "only files move";
  EXPECT_EQ(Get("bad/FILE.ZIP"), "old");
  char byte = 0;
  std::size_t got = 0;
  EXPECT_EQ(Read(FileHandle{}, &byte, 1, &got), FileNotOpen);
  // A search tells "nothing there" from "no such directory".
  SearchHandle search;
  DirEntry entry;
  EXPECT_EQ(FindFirst(P("in/*.tic"), &search, &entry), FileNotFound);
  EXPECT_EQ(FindFirst(P("nodir/*.tic"), &search, &entry), PathNotFound);
  EXPECT_EQ(FindFirst(P("nodir/x.tic"), &search, &entry), PathNotFound);
  EXPECT_EQ(CheckDirectory(P("ADIR")), Ok);
  EXPECT_EQ(CheckDirectory(P("in/file.zip")), PathNotFound);
  EXPECT_EQ(CheckDirectory(P("nodir")), PathNotFound);
}

// A record file is cut back to its whole records after a failed append.
TEST_F(PlatformTest, TruncateCutsAndRepositions) {
  FileHandle file;
  std::uint64_t length = 0;
  Put("db", "0123456789");
  ASSERT_EQ(OpenExisting(P("db"), FileAccess::ReadWrite, &file, &length), Ok);
  EXPECT_EQ(length, 10u);
  ASSERT_EQ(Truncate(file, 4), Ok);
  ASSERT_EQ(Write(file, "x", 1), Ok);
  ASSERT_EQ(Close(&file), Ok);
  EXPECT_EQ(Get("db"), "0123x");
}

// One run per working directory: a second lock on the same directory fails
// while the first is held (here by this very process).
TEST_F(PlatformTest, WorkingDirectoryLockIsExclusive) {
  const fs::path before = fs::current_path();
  fs::current_path(dir_);
  const bool first = LockWorkingDirectory();
  const bool second = LockWorkingDirectory();
  fs::current_path(before);
  EXPECT_TRUE(first);
  EXPECT_FALSE(second);
}

#ifndef _WIN32
// A directory that cannot be read is an error, never "no such file".
TEST_F(PlatformTest, UnreadableDirectoryIsAnError) {
  Put("in/a.tic", "x");
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  struct rlimit none = saved;
  none.rlim_cur = 0;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
  SearchHandle search;
  DirEntry entry;
  const ErrorCode error = FindFirst(P("in/*.tic"), &search, &entry);
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(error, TooManyOpenFiles);
}
#endif

// Across file systems a move is a copy and a delete; the source must go only
// once the copy is whole, and the target must never be replaced.
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
  std::ofstream(target / "taken.zip") << "keep";
  Put("in/taken.zip", "new");
  std::string to = target.string() + "/";
  for (char& c : to) c = c == '/' ? '\\' : c;
  std::ofstream(target / ".BIG.ZIP.part") << "left by a killed run";
  EXPECT_EQ(MoveFileTo(P("in/big.zip"), to + "BIG.ZIP"), Ok);
  EXPECT_EQ(MoveFileTo(P("in/taken.zip"), to + "taken.zip"), AlreadyExists);
  EXPECT_FALSE(fs::exists(dir_ / "in/big.zip"));
  EXPECT_EQ(fs::file_size(target / "BIG.ZIP"), 200000u);
  EXPECT_FALSE(fs::exists(target / ".BIG.ZIP.part")) << "the copy goes under a hidden name";
  EXPECT_EQ(Get("in/taken.zip"), "new");
  fs::remove_all(target);
}

// Lookups may be served from what the platform learnt of a directory; what
// another program does there in the meantime must still be seen.
TEST_F(PlatformTest, LookupsSeeChangesMadeBehindTheirBack) {
  Put("in/first.zip", "1");
  EXPECT_TRUE(Search("in/SECOND.ZIP").empty());
  Put("in/second.zip", "22");
  EXPECT_EQ(Search("in/SECOND.ZIP"), (std::vector<std::string>{"second.zip"}));
  fs::remove(dir_ / "in/second.zip");
  EXPECT_TRUE(Search("in/SECOND.ZIP").empty());
}

}  // namespace
}  // namespace corvane::os
