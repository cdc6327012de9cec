// POSIX implementation of the platform layer. It gives the program the Win32
// behaviour it relies on: "\" separators, names matched ignoring case, moves
// that never replace a target, Win32 error numbers. The case-insensitive
// resolution lives in name_index_posix; every change to a directory entry
// goes through its wrappers so that its indexes stay current, and every
// operation on a resolved name goes through OnEntry, so that a name another
// program removed is looked up again.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/name_index_posix.h"
#include "platform/name_rules.h"
#include "platform/platform.h"
#include "platform/search_snapshot.h"

namespace corvane::os {
namespace {

using posix::Lookup;
using posix::OnEntry;
using posix::PathBuffer;

bool IsDirectory(const char* path) {
  struct stat st {};
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

const char* OrCurrent(const PathBuffer& path) { return path.Empty() ? "." : path.CStr(); }

// The Win32 number for an errno of an operation, on path when it names one.
ErrorCode FromErrno(int error, const Lookup* path = nullptr) {
  switch (error) {
    case ENOENT:
      return path == nullptr || path->DirectoryFound() ? FileNotFound : PathNotFound;
    case ENOTDIR:
      return PathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
      return AccessDenied;
    case EEXIST:
      return AlreadyExists;
    case ENOSPC:
    case EDQUOT:
      return DiskFull;
    case EMFILE:
    case ENFILE:
      return TooManyOpenFiles;
    case ENAMETOOLONG:
      return NameTooLong;
    case EROFS:
      return WriteProtect;
    case EBUSY:
      return SharingViolation;
    default:
      return GeneralFailure;
  }
}

int Fd(FileHandle file) { return static_cast<int>(file.Value); }

// Where each open file stands, by descriptor. The platform keeps the
// position itself: a Read or Write at the descriptor's own offset uses read
// or write, one anywhere else pread or pwrite, so no call ever needs a seek
// (WriteAt rewrites a record and the next Read goes on after it; an appended
// record is written where the open found the end). The length fstat gave at
// the open stands for the end until the file is read or written.
constexpr std::uint64_t UnknownOffset = ~std::uint64_t{0};
constexpr auto MaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
struct FileOffset {
  std::uint64_t Position = UnknownOffset;  // the next Read or Write; unknown: Kernel
  std::uint64_t Kernel = UnknownOffset;    // the descriptor's own offset, when known
  std::uint64_t End = UnknownOffset;       // the length at the open, until a read or write
};

FileOffset& OffsetOf(int fd) {
  static std::vector<FileOffset>& offsets = *new std::vector<FileOffset>;
  const auto at = static_cast<std::size_t>(fd);
  if (at >= offsets.size()) offsets.resize(at + 1);
  return offsets[at];
}

// Where a Read or Write on fd starts: UnknownOffset for the descriptor's own
// offset, else the position for pread or pwrite.
std::uint64_t StartOf(const FileOffset& offset) {
  return offset.Position == offset.Kernel ? UnknownOffset : offset.Position;
}

// Moves fd's position on by done bytes moved from at (see StartOf); a failed
// call leaves the descriptor's own offset unknown.
void MoveOn(FileOffset* offset, std::uint64_t at, std::size_t done, bool failed) {
  if (offset->Position != UnknownOffset) offset->Position += done;
  if (at == UnknownOffset && offset->Kernel != UnknownOffset) offset->Kernel += done;
  if (failed && at == UnknownOffset) offset->Kernel = UnknownOffset;
  offset->End = UnknownOffset;
}

// A file without its owner's write permission stands for the Win32
// read-only attribute: it is not written, truncated or deleted, as on Win32,
// whoever runs the program (root included).
bool IsReadOnlyFile(const struct stat& st) {
  return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

// The program's path as an on-disk one: "\" to "/", each component resolved
// ignoring case. NameTooLong when it passes the limit.
ErrorCode ToDisk(std::string_view path, Lookup* lookup,
                 posix::OnMiss on_miss = posix::OnMiss::CheckDirectory) {
  if (path.size() > MaxPath) return NameTooLong;
  PathBuffer native;
  native.Assign(path);
  native.ReplaceAll('\\', '/');
  return posix::Resolve(native.View(), lookup, on_miss) == 0 ? Ok : FromErrno(errno);
}

// Opens the entry as a plain file. O_NONBLOCK keeps a FIFO under a
// template's name from hanging the run; on a plain file it changes nothing,
// so it stays set. Truncation waits until the file is known to be a writable
// plain file.
ErrorCode OpenPlain(Lookup* entry, int flags, FileHandle* file, std::uint64_t* length) {
  const bool truncate = (flags & O_TRUNC) != 0;
  flags = (flags & ~O_TRUNC) | O_CLOEXEC | O_NONBLOCK;
  const int fd = (flags & O_CREAT) != 0
                     ? posix::CreateEntry(entry, flags)
                     : OnEntry(entry, [flags](const char* path) { return open(path, flags); });
  if (fd < 0) return FromErrno(errno, entry);
  struct stat st {};
  ErrorCode error = Ok;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      ((flags & O_ACCMODE) != O_RDONLY && IsReadOnlyFile(st))) {
    error = AccessDenied;
  } else if (truncate && st.st_size > 0 && ftruncate(fd, 0) != 0) {
    error = FromErrno(errno);
  }
  if (error != Ok) {
    close(fd);
    return error;
  }
  file->Value = fd;
  OffsetOf(fd) = FileOffset{0, 0, truncate ? 0 : static_cast<std::uint64_t>(st.st_size)};
  if (length != nullptr) *length = truncate ? 0 : static_cast<std::uint64_t>(st.st_size);
  return Ok;
}

// Writes all size bytes at the descriptor's offset, or at at with pwrite;
// *done says how many went.
ErrorCode WriteAll(int fd, const void* buffer, std::size_t size, std::uint64_t at = UnknownOffset,
                   std::size_t* done = nullptr) {
  const char* bytes = static_cast<const char*>(buffer);
  std::size_t written = 0;
  ErrorCode error = Ok;
  while (written < size) {
    const ssize_t wrote = at == UnknownOffset ? write(fd, bytes + written, size - written)
                                              : pwrite(fd, bytes + written, size - written,
                                                       static_cast<off_t>(at + written));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      error = WriteFault;
      break;
    }
    written += static_cast<std::size_t>(wrote);
  }
  if (done != nullptr) *done = written;
  return error;
}

// Copies from into a hidden file beside to, renames it into place when it is
// whole, then removes from: the move of last resort across file systems. A
// run killed half-way leaves at most the hidden copy, which no search
// delivers and the next move of that name clears; on any failure the copy
// goes and the source stays, so no data is lost either way.
ErrorCode CopyThenRemove(Lookup* from, Lookup* to) {
  PathBuffer partial_path;
  const std::string_view target = to->Path().View();
  partial_path.Assign(target.substr(0, target.size() - to->Name().size()));
  partial_path.Append(".");
  partial_path.Append(to->Name());
  if (!partial_path.Append(".part")) return NameTooLong;
  Lookup partial;
  if (posix::Resolve(partial_path.View(), &partial) != 0) return FromErrno(errno);

  const int in = open(from->Path().CStr(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return FromErrno(errno, from);
  struct stat st {};
  if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(in);
    return AccessDenied;
  }
  (void)posix::RemoveEntry(&partial);  // a copy left by a run that was killed
  const int out = posix::CreateEntry(&partial, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC);
  if (out < 0) {
    const ErrorCode error = FromErrno(errno, &partial);
    close(in);
    return error;
  }
  ErrorCode error = Ok;
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error = ReadFault;
    if (got <= 0) break;
    error = WriteAll(out, buffer, static_cast<std::size_t>(got));
    if (error != Ok) break;
  }
  if (error == Ok) {
    // Keep the file's dates and mode: sysops sort file areas by date.
    const timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out, times);
    fchmod(out, st.st_mode & 07777);
    if (fsync(out) != 0) error = WriteFault;
  }
  if (close(out) != 0 && error == Ok) error = WriteFault;
  close(in);
  if (error == Ok && posix::RenameEntry(&partial, to) != 0) error = FromErrno(errno, to);
  if (error != Ok) {
    (void)posix::RemoveEntry(&partial);
    return error;
  }
  if (posix::RemoveEntry(from) != 0) {
    error = FromErrno(errno, from);
    (void)posix::RemoveEntry(to);
  }
  return error;
}

// Fills entry when st is that of a plain file (a link followed to its
// target) with a name a search may deliver.
bool Describe(std::string_view name, const struct stat& st, DirEntry* entry) {
  if (!IsDeliverableName(name) || !S_ISREG(st.st_mode)) return false;
  std::memcpy(entry->Name, name.data(), name.size());
  entry->Name[name.size()] = '\0';
  entry->NameLength = name.size();
  entry->Size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool DescribeEntry(std::string_view directory, std::string_view name, DirEntry* entry) {
  PathBuffer path;
  struct stat st {};
  return path.Assign(directory) && path.Append(name) && stat(path.CStr(), &st) == 0 &&
         Describe(name, st, entry);
}

int StatOf(Lookup* entry, struct stat* st) {
  return OnEntry(entry, [st](const char* path) { return stat(path, st); });
}

int LstatOf(Lookup* entry, struct stat* st) {
  return OnEntry(entry, [st](const char* path) { return lstat(path, st); });
}

}  // namespace

void StartUp() {
  // A closed pipe on stdout must be a write error, not a silent death.
  signal(SIGPIPE, SIG_IGN);
}

ErrorCode OpenExisting(std::string_view path, FileAccess access, FileHandle* file,
                       std::uint64_t* length) {
  Lookup entry;
  if (const ErrorCode error = ToDisk(path, &entry); error != Ok) return error;
  if (!entry.Found()) return entry.DirectoryFound() ? FileNotFound : PathNotFound;
  return OpenPlain(&entry, access == FileAccess::Read ? O_RDONLY : O_RDWR, file, length);
}

ErrorCode CreateTruncated(std::string_view path, FileHandle* file) {
  Lookup entry;
  if (const ErrorCode error = ToDisk(path, &entry); error != Ok) return error;
  if (!IsWin32Name(NamePart(path))) return InvalidName;
  return OpenPlain(&entry, O_RDWR | O_CREAT | O_TRUNC, file, nullptr);
}

ErrorCode Read(FileHandle file, void* buffer, std::size_t size, std::size_t* done) {
  *done = 0;
  if (!file.IsOpen()) return FileNotOpen;
  FileOffset& offset = OffsetOf(Fd(file));
  const std::uint64_t at = StartOf(offset);
  char* bytes = static_cast<char*>(buffer);
  ErrorCode error = Ok;
  while (*done < size) {
    const ssize_t got = at == UnknownOffset ? read(Fd(file), bytes + *done, size - *done)
                                            : pread(Fd(file), bytes + *done, size - *done,
                                                    static_cast<off_t>(at + *done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error = ReadFault;
    if (got <= 0) break;
    *done += static_cast<std::size_t>(got);
  }
  MoveOn(&offset, at, *done, error != Ok);
  return error;
}

ErrorCode Write(FileHandle file, const void* buffer, std::size_t size) {
  if (!file.IsOpen()) return FileNotOpen;
  FileOffset& offset = OffsetOf(Fd(file));
  const std::uint64_t at = StartOf(offset);
  std::size_t done = 0;
  const ErrorCode error = WriteAll(Fd(file), buffer, size, at, &done);
  MoveOn(&offset, at, done, error != Ok);
  return error;
}

ErrorCode WriteAt(FileHandle file, std::uint64_t position, const void* buffer, std::size_t size) {
  if (!file.IsOpen()) return FileNotOpen;
  if (position > MaxOffset) return GeneralFailure;
  FileOffset& offset = OffsetOf(Fd(file));
  offset.Position = position;
  std::size_t done = 0;
  const ErrorCode error = WriteAll(Fd(file), buffer, size, position, &done);
  MoveOn(&offset, position, done, error != Ok);
  return error;
}

ErrorCode SeekToEnd(FileHandle file, std::uint64_t* length) {
  if (!file.IsOpen()) return FileNotOpen;
  FileOffset& offset = OffsetOf(Fd(file));
  if (offset.End == UnknownOffset) {
    const off_t end = lseek(Fd(file), 0, SEEK_END);
    if (end < 0) return GeneralFailure;
    offset.Kernel = offset.End = static_cast<std::uint64_t>(end);
  }
  *length = offset.Position = offset.End;
  return Ok;
}

ErrorCode Truncate(FileHandle file, std::uint64_t length) {
  if (!file.IsOpen()) return FileNotOpen;
  if (ftruncate(Fd(file), static_cast<off_t>(length)) != 0) return FromErrno(errno);
  FileOffset& offset = OffsetOf(Fd(file));
  offset.Position = length;
  offset.End = UnknownOffset;
  return Ok;
}

ErrorCode Close(FileHandle* file) {
  if (!file->IsOpen()) return FileNotOpen;
  const int fd = Fd(*file);
  file->Value = -1;
  OffsetOf(fd) = FileOffset{};
  return close(fd) == 0 ? Ok : FromErrno(errno);
}

ErrorCode CheckDirectory(std::string_view path) {
  Lookup entry;
  if (ToDisk(path, &entry) != Ok || !entry.Found()) return PathNotFound;
  return IsDirectory(OrCurrent(entry.Path())) ? Ok : PathNotFound;
}

bool SameEntry(std::string_view a, std::string_view b) {
  Lookup first;
  Lookup second;
  struct stat one {};
  struct stat two {};
  return ToDisk(a.empty() ? "." : a, &first) == Ok && ToDisk(b.empty() ? "." : b, &second) == Ok &&
         first.Found() && second.Found() && StatOf(&first, &one) == 0 &&
         StatOf(&second, &two) == 0 && one.st_dev == two.st_dev && one.st_ino == two.st_ino;
}

ErrorCode RemoveFile(std::string_view path) {
  Lookup entry;
  if (const ErrorCode error = ToDisk(path, &entry); error != Ok) return error;
  if (!entry.Found()) return entry.DirectoryFound() ? FileNotFound : PathNotFound;
  struct stat st {};
  if (LstatOf(&entry, &st) != 0) return FromErrno(errno, &entry);
  // Only files go, as with Win32's delete: never a directory (nor a link to
  // one), never a device node (a report named /dev/null), never a read-only
  // file.
  if (!(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) || IsReadOnlyFile(st) ||
      (S_ISLNK(st.st_mode) && IsDirectory(entry.Path().CStr()))) {
    return AccessDenied;
  }
  return posix::RemoveEntry(&entry) == 0 ? Ok : FromErrno(errno, &entry);
}

ErrorCode MoveFileTo(std::string_view from, std::string_view to) {
  Lookup source;
  Lookup target;
  if (const ErrorCode error = ToDisk(from, &source); error != Ok) return error;
  // An entry of the target's name in another case is looked for in the index
  // as it stands; RENAME_NOREPLACE refuses one of the exact name.
  if (const ErrorCode error = ToDisk(to, &target, posix::OnMiss::TrustIndex); error != Ok) {
    return error;
  }
  if (!IsWin32Name(NamePart(to))) return InvalidName;
  // Twice at most: once more when the source was gone, and another entry of
  // its name in another case stands there now.
  for (int attempt = 0;; ++attempt) {
    if (!source.Found()) return source.DirectoryFound() ? FileNotFound : PathNotFound;
    struct stat st {};
    if (source.Kind() != posix::EntryKind::Plain) {
      if (LstatOf(&source, &st) != 0) return FromErrno(errno, &source);
      if (!S_ISREG(st.st_mode)) return AccessDenied;
    }
    if (target.Found() && LstatOf(&target, &st) == 0) return AlreadyExists;
    if (posix::RenameEntry(&source, &target) == 0) return Ok;
    if (errno == EXDEV) return CopyThenRemove(&source, &target);
    if (errno != ENOENT || attempt > 0 || !posix::ResolveAgain(&source)) break;
  }
  return FromErrno(errno, errno == ENOENT ? &source : &target);
}

ErrorCode FindFirst(std::string_view mask, SearchHandle* search, DirEntry* entry) {
  FindClose(search);
  if (mask.size() > MaxPath) return NameTooLong;
  PathBuffer native;
  native.Assign(mask);
  native.ReplaceAll('\\', '/');
  const std::size_t name_at = NameStart(native.View(), "/");
  const std::string_view pattern = native.View().substr(name_at);
  if (pattern.empty()) return FileNotFound;

  Lookup found;
  if (!HasWildcards(pattern)) {
    // One name: the index answers, and one stat gives its size.
    if (posix::Resolve(native.View(), &found) != 0) return FromErrno(errno);
    if (!found.DirectoryFound()) return PathNotFound;
    struct stat st {};
    if (!IsWin32Name(pattern) || !found.Found() || StatOf(&found, &st) != 0) return FileNotFound;
    return Describe(found.Name(), st, entry) ? Ok : FileNotFound;
  }

  if (posix::Resolve(native.View().substr(0, name_at), &found) != 0) return FromErrno(errno);
  if (!found.DirectoryFound()) return PathNotFound;
  const PathBuffer& directory = found.Path();
  DIR* stream = opendir(OrCurrent(directory));
  if (stream == nullptr) return FromErrno(errno, &found);
  auto* snapshot = new SearchSnapshot(directory.View(), &DescribeEntry);
  while (const dirent* listed = readdir(stream)) snapshot->Offer(pattern, listed->d_name);
  closedir(stream);
  return SearchSnapshot::Start(snapshot, search, entry);
}

LocalDate Today() {
  const time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  return LocalDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday};
}

std::size_t ExecutablePath(char* buffer, std::size_t capacity) {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0) return 0;
  const std::size_t count = std::min(static_cast<std::size_t>(length), capacity);
  for (std::size_t i = 0; i < count; ++i) buffer[i] = path[i] == '/' ? '\\' : path[i];
  return count;
}

bool LockWorkingDirectory() {
  // The directory itself carries the lock, so no lock file is left behind;
  // the descriptor stays open, and the lock held, until the process ends.
  const int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
}

ErrorCode WriteStdout(const char* data, std::size_t size) { return WriteAll(1, data, size); }

ErrorCode WriteStderr(const char* data, std::size_t size) { return WriteAll(2, data, size); }

}  // namespace corvane::os
