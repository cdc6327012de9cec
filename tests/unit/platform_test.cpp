// The platform layer against a real temporary directory: lookups ignore
// letter case, searches skip what Win32 would skip and come sorted, moves
// never replace, errors are Win32 numbers.
#include "platform/platform.h"

#include <gtest/gtest.h>

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
    for (bool found = FindFirst(P(mask), &search, &entry); found;
         found = FindNext(&search, &entry)) {
      names.emplace_back(entry.name, entry.name_length);
    }
    return names;
  }

  fs::path dir_;
};

TEST_F(PlatformTest, SearchSkipsHiddenAndDirectoriesAndSortsIgnoringCase) {
  Put("in/b.tic", "x");
  Put("in/A.TIC", "xy");
  Put("in/c.Tic", "");
  Put("in/.hidden.tic", "x");
  fs::create_directories(dir_ / "in/dir.tic");
  Put("in/note.txt", "x");
  EXPECT_EQ(Search("in/*.tic"), (std::vector<std::string>{"A.TIC", "b.tic", "c.Tic"}));
  EXPECT_EQ(Search("IN/*.TIC").size(), 3u) << "directory and pattern ignore case";
  EXPECT_TRUE(Search("missing/*.tic").empty());
  EXPECT_TRUE(Search("in/.hidden.tic").empty()) << "a hidden file is not found by name either";
  EXPECT_TRUE(Search("in/dir.tic").empty());
}

TEST_F(PlatformTest, SearchMatchesWholeNamesAndDeliversReadOnlyFiles) {
  Put("in/a.tic", "x");
  Put("in/longname.ticket", "x");  // on Win32 its short name LONGNA~1.TIC matches "*.tic"
  Put("in/locked.tic", "xyz");
  const auto write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(dir_ / "in/locked.tic", write, fs::perm_options::remove);
  EXPECT_EQ(Search("in/*.tic"), (std::vector<std::string>{"a.tic", "locked.tic"}));
  fs::permissions(dir_ / "in/locked.tic", write, fs::perm_options::add);  // so it can be removed
}

TEST_F(PlatformTest, SameEntryKnowsOneEntryUnderAnySpelling) {
  Put("in/file.tic", "x");
  fs::create_directories(dir_ / "out");
  EXPECT_TRUE(SameEntry(P("in"), P("IN") + "\\"));
  EXPECT_TRUE(SameEntry(P("in/file.tic"), P("IN/FILE.TIC")));
  EXPECT_FALSE(SameEntry(P("in"), P("out")));
  EXPECT_FALSE(SameEntry(P("in"), P("missing")));
  EXPECT_FALSE(SameEntry(P("missing"), P("missing")));
}

TEST_F(PlatformTest, ProbeFindsOneFileInAnyCaseWithItsSize) {
  Put("in/testfile.txt", "12345");
  SearchHandle search;
  DirEntry entry;
  ASSERT_TRUE(FindFirst(P("in/TESTFILE.TXT"), &search, &entry));
  EXPECT_EQ(std::string(entry.name, entry.name_length), "testfile.txt");
  EXPECT_EQ(entry.size, 5u);
  EXPECT_FALSE(FindNext(&search, &entry));
  EXPECT_FALSE(FindFirst(P("in/NOFILE.TXT"), &search, &entry));
}

TEST_F(PlatformTest, ProbeFindsOnlyTheNameAsked) {
  Put("in/news.zip", "x");
  EXPECT_TRUE(Search("in/news.zip.").empty()) << "Win32 would drop the trailing dot";
  EXPECT_TRUE(Search("in/news.zip  ").empty()) << "and trailing spaces";
  EXPECT_EQ(Search("in/NEWS.ZIP"), (std::vector<std::string>{"news.zip"}));
}

TEST_F(PlatformTest, OpenResolvesEveryComponentIgnoringCase) {
  Put("Inbound/Sub/News.Zip", "data");
  FileHandle file;
  ASSERT_EQ(OpenExisting(P("INBOUND/sub/NEWS.ZIP"), FileAccess::kRead, &file), kOk);
  char buffer[8];
  std::size_t got = 0;
  EXPECT_EQ(Read(file, buffer, sizeof buffer, &got), kOk);
  EXPECT_EQ(std::string(buffer, got), "data");
  EXPECT_EQ(Close(&file), kOk);
  EXPECT_EQ(Close(&file), kFileNotOpen);
}

TEST_F(PlatformTest, CreateReusesAnEntryOfAnotherCase) {
  Put("report.txt", "old content");
  FileHandle file;
  ASSERT_EQ(CreateTruncated(P("REPORT.TXT"), &file), kOk);
  ASSERT_EQ(Write(file, "new", 3), kOk);
  ASSERT_EQ(Close(&file), kOk);
  EXPECT_EQ(Get("report.txt"), "new");
  EXPECT_FALSE(fs::exists(dir_ / "REPORT.TXT") &&
               !fs::equivalent(dir_ / "REPORT.TXT", dir_ / "report.txt"));
}

TEST_F(PlatformTest, ErrorNumbersAreWin32) {
  fs::create_directories(dir_ / "adir");
  FileHandle file;
  EXPECT_EQ(OpenExisting(P("missing.dat"), FileAccess::kRead, &file), kFileNotFound);
  EXPECT_EQ(OpenExisting(P("nodir/missing.dat"), FileAccess::kRead, &file), kPathNotFound);
  EXPECT_EQ(OpenExisting(P("adir"), FileAccess::kRead, &file), kAccessDenied);
  EXPECT_EQ(CreateTruncated(P("nodir/new.dat"), &file), kPathNotFound);
  EXPECT_EQ(RemoveFile(P("missing.dat")), kFileNotFound);
  char byte = 0;
  std::size_t got = 0;
  EXPECT_EQ(Read(FileHandle{}, &byte, 1, &got), kFileNotOpen);
  EXPECT_EQ(Write(FileHandle{}, &byte, 1), kFileNotOpen);
}

TEST_F(PlatformTest, MoveNeverReplacesAndKeepsTheAskedName) {
  Put("in/file.zip", "new");
  Put("bad/FILE.ZIP", "old");
  fs::create_directories(dir_ / "bad2");
  EXPECT_EQ(MoveFileTo(P("in/FILE.ZIP"), P("bad/file.zip")), kAlreadyExists);
  EXPECT_EQ(Get("bad/FILE.ZIP"), "old");
  EXPECT_EQ(MoveFileTo(P("in/FILE.ZIP"), P("bad2/FILE.ZIP")), kOk);
  EXPECT_EQ(Get("bad2/FILE.ZIP"), "new");
  EXPECT_FALSE(fs::exists(dir_ / "in/file.zip"));
  EXPECT_EQ(MoveFileTo(P("in/FILE.ZIP"), P("bad2/OTHER.ZIP")), kFileNotFound);
}

TEST_F(PlatformTest, LookupsSeeChangesMadeBehindTheirBack) {
  Put("in/first.zip", "1");
  SearchHandle search;
  DirEntry entry;
  EXPECT_FALSE(FindFirst(P("in/SECOND.ZIP"), &search, &entry));
  Put("in/second.zip", "22");  // another program drops a file in
  ASSERT_TRUE(FindFirst(P("in/SECOND.ZIP"), &search, &entry));
  EXPECT_EQ(entry.size, 2u);
  fs::remove(dir_ / "in/second.zip");
  EXPECT_FALSE(FindFirst(P("in/SECOND.ZIP"), &search, &entry));
}

TEST_F(PlatformTest, RecordsWriteSeekAndLength) {
  FileHandle file;
  ASSERT_EQ(CreateTruncated(P("data.bin"), &file), kOk);
  ASSERT_EQ(Write(file, "abcdef", 6), kOk);
  ASSERT_EQ(Seek(file, 2), kOk);
  ASSERT_EQ(Write(file, "XY", 2), kOk);
  std::uint64_t at = 0;
  std::uint64_t length = 0;
  EXPECT_EQ(Position(file, &at), kOk);
  EXPECT_EQ(at, 4u);
  EXPECT_EQ(Length(file, &length), kOk);
  EXPECT_EQ(length, 6u);
  ASSERT_EQ(Close(&file), kOk);
  EXPECT_EQ(Get("data.bin"), "abXYef");
}

}  // namespace
}  // namespace corvane::os
