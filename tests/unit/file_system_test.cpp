// FileSystem over the real Env of the build, in a real temporary directory:
// names reach entries ignoring letter case, searches skip what Win32 would
// skip and come sorted, moves never replace, errors are Win32 numbers. The
// same file runs on both builds, so both answer alike.
#include "files/file_system.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/text_file.h"
#include "fault_env.h"
#include "files/name_listing.h"

namespace corvane::os {
namespace {
namespace fs = std::filesystem;
using Str = std::string;

class FileSystemTest : public ::testing::Test {
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
  // What a search delivers (a probe: the one name found, or ""), blank-separated;
  // an entry delivered without its name shows as "?".
  Str Search(const Str& mask) {
    Str names;
    DirectorySearch search;
    DirEntry entry;
    for (bool found = search.Start(&files_, P(mask), &entry) == Ok; found;
         found = search.Next(&entry)) {
      names.append(names.empty() ? "" : " ").append(entry.View().empty() ? "?" : entry.View());
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
  // The first bytes of the file a name reaches, or the error.
  Str Read(const Str& path) {
    FileHandle file;
    std::uint64_t length = 0;
    if (const ErrorCode error = files_.OpenExisting(P(path), FileAccess::Read, &file, &length))
      return "error " + std::to_string(error);
    char bytes[16] = {};
    std::size_t got = 0;
    (void)env_.ReadAt(file, 0, bytes, sizeof bytes, &got);
    (void)env_.Close(&file);
    return Str(bytes, got);
  }

  const fs::path dir_ =
      fs::temp_directory_path() / ("corvane-fs-" + std::to_string(std::random_device{}()));
  Env& env_ = RealEnv();
  FileSystem files_{&env_};
};

// What the end-to-end suite cannot set up through tickets: entries Win32
// would list under another name (on Win32 the short name of longname.ticket,
// LONGNA~1.TIC, matches "*.tic"; "b.tic." and "b.tic  " are b.tic to Win32),
// read-only files, a second spelling of a directory; and the Win32 numbers of
// failures that leave what they were refused as it was.
TEST_F(FileSystemTest, SearchesErrorNumbersAndWrites) {
  Put("in/b.tic in/.hidden.tic in/longname.ticket in/locked.tic in/A.TIC in/dir.tic/ adir/");
  Put("in/file.zip", "new");
  Put("bad/FILE.ZIP", "old");
  Put("Inbound/Sub/report.txt", "old content");
  Put("db", "0123456789");
  fs::permissions(dir_ / "in/locked.tic", fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_EQ(Search("IN/*.TIC"), "A.TIC b.tic locked.tic");
  for (const char* mask : {"in/dir.tic", "missing/*.tic", "in/b.tic.", "in/b.tic  "})
    EXPECT_EQ(Search(mask), "") << mask;
  EXPECT_EQ(Search("in/a.tic"), "A.TIC");
  EXPECT_TRUE(files_.SameEntry(P("in") + "\\", P("IN") + "\\"));
  EXPECT_TRUE(files_.SameEntry(P("in/b.tic"), P("IN/B.TIC")));
  EXPECT_FALSE(files_.SameEntry(P("in/b.tic"), P("in/A.TIC")));
  EXPECT_FALSE(files_.SameEntry(P("missing") + "\\", P("missing") + "\\"));
  FileHandle file;
  DirectorySearch search;
  DirEntry entry;
  char byte = 0;
  std::size_t got = 0;
  const ErrorCode errors[] = {
      files_.OpenExisting(P("nodir/missing.dat"), FileAccess::Read, &file, nullptr),
      files_.OpenExisting(P("adir"), FileAccess::Read, &file, nullptr),
      files_.CreateTruncated(P("nodir/new.dat"), &file),
      files_.CreateTruncated(P("r*.txt"), &file),
      files_.RemoveFile(P("adir")),
      files_.RemoveFile(P("in/locked.tic")),
      files_.CreateTruncated(P("in/locked.tic"), &file),
      files_.MoveFileTo(P("in/FILE.ZIP"), P("bad/file.zip")),
      env_.Rename(P("in/file.zip"), P("bad/FILE.ZIP")),  // past a listing that missed it
      files_.MoveFileTo(P("adir"), P("bad/adir")),
      env_.ReadAt(FileHandle{}, 0, &byte, 1, &got),
      search.Start(&files_, P("adir/*.tic"), &entry),
      search.Start(&files_, P("nodir/*.tic"), &entry),
      search.Start(&files_, P("nodir/x.tic"), &entry),
      files_.CheckDirectory(P("ADIR")),
      files_.CheckDirectory(P("in/file.zip")),
  };
  EXPECT_EQ(std::vector<ErrorCode>(std::begin(errors), std::end(errors)),
            (std::vector<ErrorCode>{PathNotFound, AccessDenied, PathNotFound, InvalidName,
                                    AccessDenied, AccessDenied, AccessDenied, AlreadyExists,
                                    AlreadyExists, AccessDenied, FileNotOpen, FileNotFound,
                                    PathNotFound, PathNotFound, Ok, PathNotFound}));
  fs::permissions(dir_ / "in/locked.tic", fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(Get("in/locked.tic") + Get("bad/FILE.ZIP") + Get("in/file.zip"), "xoldnew");
  // Every component resolves ignoring case, and a file keeps its name on disk;
  // writes land where they are asked to, and a cut file is written on at its
  // new end.
  std::uint64_t length = 0;
  ASSERT_EQ(files_.CreateTruncated(P("INBOUND/sub/REPORT.TXT"), &file), Ok);
  ASSERT_EQ(env_.WriteAt(file, 0, "new", 3), Ok);
  ASSERT_EQ(env_.Close(&file), Ok);
  EXPECT_EQ(env_.Close(&file), FileNotOpen);
  EXPECT_EQ(Listing("Inbound/Sub") + " " + Get("Inbound/Sub/report.txt"), "report.txt new");
  ASSERT_EQ(files_.OpenExisting(P("DB"), FileAccess::ReadWrite, &file, &length), Ok);
  EXPECT_EQ(length, 10u);
  ASSERT_EQ(env_.WriteAt(file, length, "ab", 2), Ok);
  ASSERT_EQ(env_.Truncate(file, 4), Ok);
  ASSERT_EQ(env_.WriteAt(file, 4, "x", 1), Ok);
  ASSERT_EQ(env_.Close(&file), Ok);
  EXPECT_EQ(Get("db"), "0123x");
}

// The listing is taken once and kept current by the program's own changes;
// another program's removal or rename of a held entry is noticed by the
// operation that fails on it, which lists again and tries once more. An
// entry another program adds later is not seen until then.
TEST_F(FileSystemTest, OwnChangesAndAnotherProgramsChanges) {
  Put("in/Keep.zip in/gone.zip in/renamed.zip", "k");
  EXPECT_EQ(Read("in/KEEP.ZIP"), "k");  // lists in/
  ASSERT_EQ(files_.MoveFileTo(P("in/keep.zip"), P("in/Moved.zip")), Ok);
  FileHandle file;
  ASSERT_EQ(files_.CreateTruncated(P("IN/new.zip"), &file), Ok);
  ASSERT_EQ(env_.Close(&file), Ok);
  EXPECT_EQ(files_.MoveFileTo(P("in/gone.zip"), P("in/NEW.ZIP")), AlreadyExists);
  fs::remove(dir_ / "in/gone.zip");
  fs::rename(dir_ / "in/renamed.zip", dir_ / "in/RENAMED.ZIP");
  Put("in/late.zip", "l");
  // A braced list reads in order: the late file is unseen until the failed
  // open of the renamed one lists the directory again and finds it anew.
  const std::vector<Str> seen = {Read("in/moved.zip"),   Read("in/KEEP.ZIP"), Read("in/Late.zip"),
                                 Read("in/renamed.zip"), Read("in/gone.zip"), Read("in/late.zip")};
  EXPECT_EQ(seen, (std::vector<Str>{"k", "error 2", "error 2", "k", "error 2", "l"}));
  fs::remove(dir_ / "in/RENAMED.ZIP");
  EXPECT_EQ(Read("in/renamed.zip"), "error 2");
  // A directory part that misses lists its parent again.
  Put("in/Sub/f.zip", "s");
  EXPECT_EQ(Read("in/SUB/f.zip"), "s");
  EXPECT_EQ(files_.RemoveFile(P("in/LATE.ZIP")), Ok);
  EXPECT_EQ(Listing("in"), "Moved.zip Sub new.zip");
}

#ifndef _WIN32
// Only POSIX holds names that differ in case alone: the exact name wins,
// else the smallest in byte order, for directories as for files.
TEST_F(FileSystemTest, CaseTiesOnPosix) {
  Put("Dir/b.zip dir/B.ZIP dir/a.Zip dir/A.zip dir/x.txt", "");
  // A link is what it points to: a file, or nothing when it points nowhere.
  fs::create_symlink("a.Zip", dir_ / "dir/link.zip");
  fs::create_symlink("none", dir_ / "dir/dangling.zip");
  for (const auto& [name, bytes] : {std::pair<Str, Str>{"dir/a.Zip", "1"},
                                    {"dir/A.zip", "2"},
                                    {"Dir/b.zip", "3"},
                                    {"dir/B.ZIP", "4"},
                                    {"dir/x.txt", "5"}})
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  const std::vector<Str> seen = {Read("dir/a.zip"), Read("dir/A.ZIP"), Read("dir/a.Zip"),
                                 Read("DIR/B.zip"), Read("dir/b.zip"), Read("dIR/X.TXT")};
  EXPECT_EQ(seen, (std::vector<Str>{"2", "2", "1", "3", "4", "error 2"}));
  EXPECT_EQ(Search("dir/*.zip"), "A.zip a.Zip B.ZIP link.zip");
  // ...but it does not move, nor is it replaced: its data would stay behind,
  // or the link would go. Deleting it takes the link alone.
  EXPECT_EQ(files_.MoveFileTo(P("dir/LINK.zip"), P("Dir/moved.zip")), AccessDenied);
  EXPECT_EQ(files_.ReplaceFile(P("dir/x.txt"), P("dir/LINK.zip")), AccessDenied);
  EXPECT_EQ(files_.RemoveFile(P("dir/link.zip")), Ok);
  EXPECT_EQ(Listing("dir"), "A.zip B.ZIP a.Zip dangling.zip x.txt");
}

// A directory that cannot be read is an error, never "no such file", for a
// lookup and for a wildcard search alike.
TEST_F(FileSystemTest, ADirectoryThatCannotBeReadIsAnErrorNotAMiss) {
  Put("in/file.zip");
  DirectorySearch search;
  DirEntry entry;
  FileHandle file;
  const auto attempts = [&](FileSystem* files) {
    return std::vector<ErrorCode>{
        search.Start(files, P("in/FILE.ZIP"), &entry),
        search.Start(files, P("in/*.zip"), &entry),
        files->OpenExisting(P("in/other.zip"), FileAccess::Read, &file, nullptr),
        files->RemoveFile(P("in/other.zip")),
        files->MoveFileTo(P("in/FILE.ZIP"), P("in/moved.zip")),
    };
  };
  // Once with descriptors to spare: UBSan's first check of each type a
  // virtual call reaches needs a file of its own.
  FileSystem warm(&env_);
  (void)attempts(&warm);
  fs::rename(dir_ / "in/moved.zip", dir_ / "in/file.zip");
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  const int lowest_free = open("/dev/null", O_RDONLY);
  ASSERT_GE(lowest_free, 0);
  close(lowest_free);
  rlimit none_left = saved;
  none_left.rlim_cur = static_cast<rlim_t>(lowest_free);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none_left), 0);
  const std::vector<ErrorCode> errors = attempts(&files_);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  for (const ErrorCode error : errors) EXPECT_EQ(error, TooManyOpenFiles);
  EXPECT_EQ(Search("in/FILE.ZIP"), "file.zip");
}

// A refused call lets go of every descriptor it took: a lock another run
// holds, a directory opened or copied as a file, a copy onto a name that
// exists.
TEST_F(FileSystemTest, ARefusedCallKeepsNoDescriptor) {
  Put("in/a.zip bad/a.zip");
  const auto open_descriptors = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  FileHandle lock;
  ASSERT_EQ(env_.LockDirectory(P("in"), &lock), Ok);
  const auto before = open_descriptors();
  FileHandle file;
  const ErrorCode errors[] = {
      env_.LockDirectory(P("in"), &file), env_.Open(P("in"), FileAccess::Read, &file, nullptr),
      env_.CopyNew(P("in"), P("bad/in.copy")), env_.CopyNew(P("in/a.zip"), P("bad/a.zip"))};
  EXPECT_EQ(open_descriptors(), before);
  EXPECT_EQ(std::vector<ErrorCode>(std::begin(errors), std::end(errors)),
            (std::vector<ErrorCode>{SharingViolation, AccessDenied, AccessDenied, AlreadyExists}));
  EXPECT_EQ(Listing("bad"), "a.zip");
  EXPECT_EQ(env_.Close(&lock), Ok);
}
#endif  // _WIN32

// A directory that may be entered but not listed: each name is asked of the
// entry itself, and a search is refused rather than finding nothing.
TEST_F(FileSystemTest, ADirectoryThatMayNotBeListedIsAskedNameByName) {
  Put("in/file.zip in/sub/");
  test::FaultEnv denied(env_);
  denied.FailListing(AccessDenied);
  FileSystem files(&denied);
  using Found = FileSystem::Found;
  Found found[3] = {};
  const ErrorCode errors[] = {files.Look(P("in/file.zip"), &found[0]),
                              files.Look(P("in/none.zip"), &found[1]),
                              files.Look(P("in/sub"), &found[2])};
  EXPECT_EQ(std::vector<ErrorCode>(std::begin(errors), std::end(errors)),
            (std::vector<ErrorCode>{Ok, Ok, Ok}));
  EXPECT_EQ(std::vector<Found>(std::begin(found), std::end(found)),
            (std::vector<Found>{Found::PlainFile, Found::Nothing, Found::Other}));
  DirectorySearch search;
  DirEntry entry;
  EXPECT_EQ(search.Start(&files, P("in/*.zip"), &entry), AccessDenied);
}

// Another program cuts a file short after it was opened: the lines still
// there are read, then the reading stops with a read error, never taking
// the missing bytes for text.
TEST_F(FileSystemTest, AFileCutShortWhileReadIsAReadError) {
  Str lines;
  for (int i = 0; i < 100; ++i) lines += Str(48, 'a') + "\r\n";
  Put("long.txt", lines);
  TextReader reader;
  Text line;
  ASSERT_EQ(reader.Open(files_, P("long.txt")), Ok);
  fs::resize_file(dir_ / "long.txt", 100);
  int read = 0;
  while (reader.ReadLine(&line) && line.View() == Str(48, 'a')) ++read;
  EXPECT_EQ(read, 2);  // the 100 bytes left
  EXPECT_EQ(reader.Error(), ReadFault);
  EXPECT_EQ(reader.Close(), Ok);
}

// The listing alone: ties, the program's own changes, and enough additions
// to merge its two sorted runs more than once.
TEST(NameListingTest, FindsByTheRuleThroughAdditionsAndRemovals) {
  NameListing names;
  // A name longer than any Win32 name is one the program never asks for.
  const Str longest(255, 'n'), too_long(256, 'n');
  for (const Str& name : {Str("b.zip"), Str("B.ZIP"), Str("c.tic"), longest, too_long})
    names.Visit({name, EntryKind::Plain, false});
  names.Seal();
  const auto find = [&names](std::string_view name) {
    NameListing::Held held;
    return names.Find(name, &held) ? Str(held.Name) : Str("-");
  };
  EXPECT_EQ(find("b.Zip") + " " + find("b.zip") + " " + find("C.TIC") + " " + find("d"),
            "B.ZIP b.zip c.tic -");
  EXPECT_EQ(find(longest) + find(too_long), longest + "-");
  for (int i = 0; i < 1500; ++i) {
    Str name = "f";  // built by appending: GCC 12 -O2 sees a false overlap in "f" + ...
    name.append(std::to_string(i * 7919 % 1500)).append(".zip");
    names.Add(name, {});
  }
  names.Add("A.zip", EntryKind::Plain);
  names.Remove("B.ZIP");
  names.Remove("f7.zip");
  EXPECT_EQ(find("b.ZIP") + " " + find("F1499.ZIP") + " " + find("f7.zip") + " " + find("a.ZIP"),
            "b.zip f1499.zip - A.zip");
  names.Add("f7.zip", EntryKind::Plain);
  names.Add("F7.ZIP", EntryKind::Plain);
  EXPECT_EQ(find("f7.zip") + " " + find("f7.Zip"), "f7.zip F7.ZIP");
  names.Clear();  // a listing taken again holds nothing of the old one
  names.Seal();
  EXPECT_EQ(find("f7.zip") + " " + find("b.zip"), "- -");
}

}  // namespace
}  // namespace corvane::os
