// Case-insensitive path resolution for POSIX file systems.
//
// Win32 finds FILE.ZIP when the directory holds file.zip. To give the same
// effect on a file system that tells case apart, each component of a path is
// resolved to the directory entry whose name equals it ignoring ASCII case:
// the exact name when it exists, otherwise the smallest such name in byte
// order.
//
// Cost. A run works in a few directories throughout, so:
// - the directory part of a path is resolved once per spelling ("in/" to
//   "In/") and remembered, with no system call on later paths in it;
// - the names of a directory are read by one scan into its name index; the
//   last component is then resolved without a system call. A directory is
//   mostly asked for one kind of name, so the index first holds only the
//   names with the extension of the first name asked for there (the ".bad"
//   markers among the moved files of BadTics); the first name asked for with
//   another extension makes one more scan, for every name;
// - the program's own changes go through CreateEntry, RemoveEntry and
//   RenameEntry below, which update the index as they happen, so they never
//   cause a rescan.
//
// Freshness: how another program's changes are still seen.
// - A name the index holds is used without a check: the operation on it is
//   the check. When it fails with ENOENT, ResolveAgain drops the name,
//   checks the directory and resolves once more, and the operation runs again
//   (OnEntry). So a file removed behind the program's back is never reported
//   as present.
// - A name the index does not hold is reported missing only after a check of
//   the directory: one stat. The same modification time means the index is
//   current; another one means a rescan, unless the change is the program's
//   own. After its own change the program does not stat the directory; the
//   next check takes the new time as its own when that time is not later than
//   the clock read just after the program's last change there. A later time
//   is another program's change, and the directory is rescanned. (Where the
//   file system's clock proves not to be this machine's, as it can be on a
//   network file system, every new time after an own change is taken.)
// - The target of a rename is checked for an existing entry in another case
//   against the index as it stands, without a check of the directory;
//   RENAME_NOREPLACE still refuses an existing entry of the exact name.
//
// The window that remains, where another program's change is not seen:
// - a change made between a directory's last check and the program's next
//   own change there: the modification time then shows the program's change.
//   An entry added then is seen only after another program's later change
//   makes the directory rescanned; until then a lookup of it says "not found"
//   (a ticket whose file it is stays in the inbound for the next run), and a
//   rename may create a twin of it in another letter case. An entry removed
//   then is still noticed, by the operation that fails on it;
// - a change within the file system's timestamp granularity of the time last
//   seen, where the file system has no fine-grained timestamps;
// - an entry of the exact name asked for, added beside a case twin the index
//   holds: the twin is used until the directory is rescanned;
// - an entry added in another case to a rename's target directory since its
//   last check: the rename puts the file beside it instead of refusing;
// - a directory renamed or replaced is noticed when an operation in it fails
//   or a check sees another directory there; a directory added later whose
//   name is a closer match for a directory part is not.
//
// Limits: paths up to PathBuffer::Capacity bytes; names up to 255 bytes. An
// index takes each name's length plus 10 to 18 bytes. A directory that
// cannot be listed (no read permission) is not indexed: names in it are used
// as given. One that cannot be read for another reason (too many open files,
// for example) makes the lookup fail with its errno.
#ifndef CORVANE_PLATFORM_NAME_INDEX_POSIX_H_
#define CORVANE_PLATFORM_NAME_INDEX_POSIX_H_

#include <cerrno>
#include <cstddef>
#include <string_view>

namespace corvane::os::posix {

// A path in a fixed buffer, always terminated by a NUL for the system calls:
// no heap per call, and nothing to fill but the terminator.
class PathBuffer {
 public:
  static constexpr std::size_t Capacity = 4095;

  PathBuffer() { text_[0] = '\0'; }

  // Each returns false, leaving the text cut, when the capacity is passed.
  bool Assign(std::string_view text) {
    length_ = 0;
    text_[0] = '\0';
    return Append(text);
  }
  bool Append(std::string_view text);
  void Truncate(std::size_t length) {
    length_ = length;
    text_[length] = '\0';
  }
  void ReplaceAll(char from, char to) {
    for (std::size_t i = 0; i < length_; ++i) {
      if (text_[i] == from) text_[i] = to;
    }
  }

  const char* CStr() const { return text_; }
  std::string_view View() const { return {text_, length_}; }
  std::size_t Size() const { return length_; }
  bool Empty() const { return length_ == 0; }

 private:
  char text_[Capacity + 1];  // up to length_, then a NUL
  std::size_t length_ = 0;
};

// What a directory listing says an entry is.
enum class EntryKind : unsigned char { Unknown, Plain, Directory, Link, Other };

// Whether a name the index does not hold is checked against the directory.
enum class OnMiss { CheckDirectory, TrustIndex };

struct DirSpelling;

// A path as resolved: the on-disk path, and what the index knows of it.
class Lookup {
 public:
  // The on-disk path; the name part as asked when it is not held, and the
  // whole path as given when its directory does not exist.
  const PathBuffer& Path() const { return path_; }
  std::string_view Name() const { return path_.View().substr(name_at_); }
  bool DirectoryFound() const { return directory_ != nullptr; }
  // True when the name part names an entry: held by the index, or in a
  // directory that cannot be listed, or the directory itself (a path ending
  // in "/").
  bool Found() const { return found_; }
  EntryKind Kind() const { return kind_; }

 private:
  friend class Resolver;  // name_index_posix.cpp fills it

  PathBuffer path_;
  std::size_t name_at_ = 0;
  DirSpelling* directory_ = nullptr;
  char asked_[256];  // the name part as given, asked_length_ bytes
  std::size_t asked_length_ = 0;
  bool found_ = false;
  EntryKind kind_ = EntryKind::Unknown;
};

// Resolves a path written with "/" separators. Returns 0, or -1 with errno
// set when a directory on the way could not be read.
int Resolve(std::string_view path, Lookup* lookup, OnMiss on_miss = OnMiss::CheckDirectory);

// After an operation on lookup's path failed with ENOENT: when the entry the
// index held is gone, forgets it and resolves again. True when the path now
// names another entry, so the operation is worth one more try; else false,
// with errno ENOENT again.
bool ResolveAgain(Lookup* lookup);

// Runs operation(path) on the resolved path, and once more when it failed
// because the entry it named was gone and another one matches now.
template <typename Operation>
int OnEntry(Lookup* lookup, Operation operation) {
  int result = operation(lookup->Path().CStr());
  if (result < 0 && errno == ENOENT && ResolveAgain(lookup)) {
    result = operation(lookup->Path().CStr());
  }
  return result;
}

// The changes the platform makes to directory entries. Each returns what its
// system call returns, with errno set on failure, and keeps the index current.
//
// open(2) with O_CREAT and mode 0666: opens the entry found, or creates one of
// exactly the name asked.
int CreateEntry(Lookup* lookup, int flags);
// unlink(2).
int RemoveEntry(Lookup* lookup);
// rename(2) that never replaces a target (RENAME_NOREPLACE where the file
// system has it; the caller has checked the target before).
int RenameEntry(Lookup* from, Lookup* to);

// How many times a directory was read into an index, for tests.
std::size_t ScanCount();

}  // namespace corvane::os::posix

#endif  // CORVANE_PLATFORM_NAME_INDEX_POSIX_H_
