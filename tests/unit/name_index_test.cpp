// The name index behind the POSIX platform layer, through the platform calls
// that use it: how it breaks case ties, what it answers after another
// program's changes and after the program's own, and what a directory that
// cannot be read gives. POSIX only: Win32 resolves names itself.
#ifndef _WIN32

#include "platform/name_index_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace corvane::os {
namespace {
namespace fs = std::filesystem;

class NameIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("corvane-index-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string P(const std::string& relative) const { return (dir_ / relative).string(); }
  void Put(const std::string& relative) const {
    fs::create_directories((dir_ / relative).parent_path());
    std::ofstream(dir_ / relative) << relative;
  }
  // The name a one-name search finds for relative, or "" when none.
  std::string Probe(const std::string& relative) const {
    SearchHandle search;
    DirEntry entry;
    return FindFirst(P(relative), &search, &entry) == Ok ? std::string(entry.View()) : "";
  }
  std::vector<std::string> Listing(const std::string& relative) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_ / relative)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

TEST_F(NameIndexTest, ExactNameWinsElseTheSmallestInByteOrder) {
  struct Case {
    std::vector<std::string> on_disk;
    std::string asked;
    std::string found;
  };
  const Case cases[] = {
      {{"a.txt", "A.TXT"}, "A.TXT", "A.TXT"},
      {{"a.txt", "A.TXT"}, "a.txt", "a.txt"},
      {{"a.txt", "A.TXT"}, "A.txt", "A.TXT"},
      {{"b.TXT", "B.txt", "b.txt"}, "B.TXT", "B.txt"},
      {{"aB", "Ab"}, "ab", "Ab"},
      {{"c.txt"}, "C.TXT", "c.txt"},
      {{"c.txt"}, "C.TXT.", ""},
      {{"c.txt"}, "d.txt", ""},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string dir = std::string("t").append(std::to_string(i)).append("/");
    for (const std::string& name : cases[i].on_disk) Put(dir + name);
    EXPECT_EQ(Probe(dir + cases[i].asked), cases[i].found) << i;
  }
  // Every operation resolves alike: the delete takes the one a search finds.
  EXPECT_EQ(RemoveFile(P("t0/A.txt")), Ok);
  EXPECT_EQ(Listing("t0"), (std::vector<std::string>{"a.txt"}));
}

// The index was built by an earlier lookup; another program then changes the
// directory, and the next lookup must see it.
TEST_F(NameIndexTest, ChangesByAnotherProgramAreSeenByTheNextLookup) {
  enum class Change { Add, Remove, Rename };
  struct Case {
    std::vector<std::string> before;
    Change change;
    std::string name;
    std::string renamed;
    std::string asked;
    std::string found;
  };
  const Case cases[] = {
      {{}, Change::Add, "NEW.ZIP", "", "new.zip", "NEW.ZIP"},
      {{"gone.zip"}, Change::Remove, "gone.zip", "", "GONE.ZIP", ""},
      {{"a.zip", "A.ZIP"}, Change::Remove, "A.ZIP", "", "A.ZIP", "a.zip"},
      {{"x.zip"}, Change::Rename, "x.zip", "X.ZIP", "x.zip", "X.ZIP"},
      {{"y.zip"}, Change::Rename, "y.zip", "Y.ZIP", "Y.ZIP", "Y.ZIP"},
      {{"z.zip"}, Change::Rename, "z.zip", "other.zip", "Z.ZIP", ""},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const std::string dir = std::string("t").append(std::to_string(i)).append("/");
    Put(dir + "seed");  // the directory, also when nothing else is in it
    for (const std::string& name : c.before) Put(dir + name);
    (void)Probe(dir + c.asked);
    if (c.change == Change::Add) Put(dir + c.name);
    if (c.change == Change::Remove) fs::remove(dir_ / dir / c.name);
    if (c.change == Change::Rename) fs::rename(dir_ / dir / c.name, dir_ / dir / c.renamed);
    EXPECT_EQ(Probe(dir + c.asked), c.found) << i;
  }
}

TEST_F(NameIndexTest, OperationsFollowEntriesRenamedBehindTheirBack) {
  for (const char* name : {"in/a.zip", "in/r.zip", "Box/b.zip", "out/seed"}) Put(name);
  EXPECT_EQ(Probe("in/A.ZIP"), "a.zip");
  EXPECT_EQ(Probe("box/B.ZIP"), "b.zip");
  fs::rename(dir_ / "in/a.zip", dir_ / "in/A.ZIP");
  fs::rename(dir_ / "in/r.zip", dir_ / "in/R.ZIP");
  // The directory itself goes, and another one of its name in other case
  // takes its place.
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
  EXPECT_EQ(Listing("out"), (std::vector<std::string>{"a.zip", "seed"}));
  EXPECT_TRUE(Listing("BOX").empty());
  EXPECT_EQ(Listing("old"), (std::vector<std::string>{"b.zip"}));
}

TEST_F(NameIndexTest, OwnChangesAreSeenWithoutARescan) {
  Put("in/seed");
  Put("bad/seed");
  EXPECT_EQ(Probe("in/none"), "");
  EXPECT_EQ(Probe("in/none.txt"), "");
  EXPECT_EQ(Probe("bad/none.txt"), "");
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
  for (int i = 0; i < Count; ++i) {
    ASSERT_EQ(CreateTruncated(P("in/N" + std::to_string(i) + ".TXT"), &file), Ok);
    ASSERT_EQ(Close(&file), Ok);
  }
  for (int i = 0; i < Count; i += 2)
    ASSERT_EQ(RemoveFile(P("in/n" + std::to_string(i) + ".txt")), Ok);
  for (int i = 1; i < Count; i += 4) {
    ASSERT_EQ(MoveFileTo(P("in/n" + std::to_string(i) + ".txt"), P("in/m" + std::to_string(i))),
              Ok);
  }
  for (int i = 0; i < Count; ++i) {
    const std::string n = std::to_string(i);
    EXPECT_EQ(Probe("in/n" + n + ".txt"), i % 2 == 1 && i % 4 == 3 ? "N" + n + ".TXT" : "") << i;
    EXPECT_EQ(Probe("in/M" + n), i % 4 == 1 ? "m" + n : "") << i;
  }
  EXPECT_EQ(posix::ScanCount(), scans);
  EXPECT_EQ(Listing("in").size(), Count / 2 + 1u);
  // Another program's change after the program's own is not taken for it.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  Put("in/late.txt");
  EXPECT_EQ(Probe("in/LATE.TXT"), "late.txt");
  EXPECT_EQ(posix::ScanCount(), scans + 1);
}

// Only the names with the first extension asked are held, case twins among
// them, until a name with another extension is asked: then one more scan.
TEST_F(NameIndexTest, AnIndexHoldsOneExtensionUntilAnotherIsAsked) {
  for (const char* name : {"bad/a.bad", "bad/B.Bad", "bad/b.BAD", "bad/c.zip", "bad/d"}) Put(name);
  const std::size_t scans = posix::ScanCount();
  EXPECT_EQ(Probe("bad/A.BAD"), "a.bad");
  EXPECT_EQ(Probe("bad/b.bad"), "B.Bad");
  EXPECT_EQ(Probe("bad/c.bad"), "");
  EXPECT_EQ(posix::ScanCount(), scans + 1);
  EXPECT_EQ(Probe("bad/C.ZIP"), "c.zip");
  EXPECT_EQ(Probe("bad/D"), "d");
  EXPECT_EQ(Probe("bad/a.BAD"), "a.bad");
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
  const ErrorCode found = FindFirst(P("in/FILE.ZIP"), &search, &entry);
  const ErrorCode opened = OpenExisting(P("in/other.zip"), FileAccess::Read, &file, nullptr);
  const ErrorCode removed = RemoveFile(P("in/other.zip"));
  const ErrorCode moved = MoveFileTo(P("in/FILE.ZIP"), P("in/moved.zip"));
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  for (const ErrorCode error : {found, opened, removed, moved}) EXPECT_EQ(error, TooManyOpenFiles);
  EXPECT_EQ(Probe("in/FILE.ZIP"), "file.zip");
}

}  // namespace
}  // namespace corvane::os

#endif  // _WIN32
