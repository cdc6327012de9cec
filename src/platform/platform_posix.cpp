// POSIX implementation of the platform layer. It gives the program the Win32
// behaviour it relies on: "\" separators, names matched ignoring case, moves
// that never replace a target, Win32 error numbers. The case-insensitive
// resolution lives in name_index_posix; every change to a directory entry
// goes through its wrappers so that its indexes stay current.
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

#include "platform/name_index_posix.h"
#include "platform/name_rules.h"
#include "platform/platform.h"
#include "platform/search_snapshot.h"

namespace corvane::os {
namespace {

using posix::PathBuffer;

bool IsDirectory(const char* path) {
  struct stat st {};
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// The Win32 number for an errno of an operation, on path when it names one.
ErrorCode FromErrno(int error, const PathBuffer* path = nullptr) {
  switch (error) {
    case ENOENT: {
      if (path == nullptr) return FileNotFound;
      PathBuffer parent;
      parent.Assign(path->View().substr(0, NameStart(path->View(), "/")));
      return IsDirectory(parent.Empty() ? "." : parent.CStr()) ? FileNotFound : PathNotFound;
    }
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

// A file without its owner's write permission stands for the Win32
// read-only attribute: it is not written, truncated or deleted, as on Win32,
// whoever runs the program (root included).
bool IsReadOnlyFile(const struct stat& st) {
  return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

// The program's path as an on-disk one: "\" to "/", each component resolved
// ignoring case. NameTooLong when it passes the limit.
ErrorCode Resolve(std::string_view path, PathBuffer* resolved) {
  if (path.size() > MaxPath) return NameTooLong;
  PathBuffer native;
  native.Assign(path);
  native.ReplaceAll('\\', '/');
  posix::ResolvePath(native.View(), resolved);
  return Ok;
}

// Opens path as a plain file. O_NONBLOCK keeps a FIFO under a template's name
// from hanging the run; on a plain file it changes nothing, so it stays set.
// Truncation waits until the file is known to be a writable plain file.
ErrorCode OpenPlain(const PathBuffer& path, int flags, FileHandle* file, std::uint64_t* length) {
  const bool truncate = (flags & O_TRUNC) != 0;
  flags = (flags & ~O_TRUNC) | O_CLOEXEC | O_NONBLOCK;
  const int fd =
      (flags & O_CREAT) != 0 ? posix::CreateEntry(path, flags) : open(path.CStr(), flags);
  if (fd < 0) return FromErrno(errno, &path);
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
  if (length != nullptr) *length = truncate ? 0 : static_cast<std::uint64_t>(st.st_size);
  return Ok;
}

ErrorCode WriteAll(int fd, const void* buffer, std::size_t size) {
  const char* bytes = static_cast<const char*>(buffer);
  while (size > 0) {
    const ssize_t done = write(fd, bytes, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return WriteFault;
    bytes += done;
    size -= static_cast<std::size_t>(done);
  }
  return Ok;
}

// Copies from into a hidden file beside to, renames it into place when it is
// whole, then removes from: the move of last resort across file systems. A
// run killed half-way leaves at most the hidden copy, which no search
// delivers and the next move of that name clears; on any failure the copy
// goes and the source stays, so no data is lost either way.
ErrorCode CopyThenRemove(const PathBuffer& from, const PathBuffer& to) {
  PathBuffer partial;
  const std::size_t name_at = NameStart(to.View(), "/");
  partial.Assign(to.View().substr(0, name_at));
  partial.Append(".");
  partial.Append(to.View().substr(name_at));
  if (!partial.Append(".part")) return NameTooLong;

  const int in = open(from.CStr(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return FromErrno(errno, &from);
  struct stat st {};
  if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(in);
    return AccessDenied;
  }
  (void)posix::RemoveEntry(partial);  // a copy left by a run that was killed
  const int out = posix::CreateEntry(partial, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC);
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
  if (error == Ok && posix::RenameEntry(partial, to) != 0) error = FromErrno(errno, &to);
  if (error != Ok) {
    (void)posix::RemoveEntry(partial);
    return error;
  }
  if (posix::RemoveEntry(from) != 0) {
    error = FromErrno(errno, &from);
    (void)posix::RemoveEntry(to);
  }
  return error;
}

// Fills entry when path is a plain file (a link followed to its target)
// with a name a search may deliver.
bool DescribePath(const char* path, std::string_view name, DirEntry* entry) {
  if (!IsDeliverableName(name)) return false;
  struct stat st {};
  if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  std::memcpy(entry->Name, name.data(), name.size());
  entry->Name[name.size()] = '\0';
  entry->NameLength = name.size();
  entry->Size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool DescribeEntry(std::string_view directory, std::string_view name, DirEntry* entry) {
  PathBuffer path;
  return path.Assign(directory) && path.Append(name) && DescribePath(path.CStr(), name, entry);
}

}  // namespace

void StartUp() {
  // A closed pipe on stdout must be a write error, not a silent death.
  signal(SIGPIPE, SIG_IGN);
}

ErrorCode OpenExisting(std::string_view path, FileAccess access, FileHandle* file,
                       std::uint64_t* length) {
  PathBuffer resolved;
  if (const ErrorCode error = Resolve(path, &resolved); error != Ok) return error;
  return OpenPlain(resolved, access == FileAccess::Read ? O_RDONLY : O_RDWR, file, length);
}

ErrorCode CreateTruncated(std::string_view path, FileHandle* file) {
  PathBuffer resolved;
  if (const ErrorCode error = Resolve(path, &resolved); error != Ok) return error;
  if (!IsWin32Name(NamePart(path))) return InvalidName;
  return OpenPlain(resolved, O_RDWR | O_CREAT | O_TRUNC, file, nullptr);
}

ErrorCode Read(FileHandle file, void* buffer, std::size_t size, std::size_t* done) {
  *done = 0;
  if (!file.IsOpen()) return FileNotOpen;
  char* bytes = static_cast<char*>(buffer);
  while (*done < size) {
    const ssize_t got = read(Fd(file), bytes + *done, size - *done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return ReadFault;
    if (got == 0) break;
    *done += static_cast<std::size_t>(got);
  }
  return Ok;
}

ErrorCode Write(FileHandle file, const void* buffer, std::size_t size) {
  if (!file.IsOpen()) return FileNotOpen;
  return WriteAll(Fd(file), buffer, size);
}

ErrorCode WriteAt(FileHandle file, std::uint64_t position, const void* buffer, std::size_t size) {
  if (!file.IsOpen()) return FileNotOpen;
  if (lseek(Fd(file), static_cast<off_t>(position), SEEK_SET) < 0) return GeneralFailure;
  return WriteAll(Fd(file), buffer, size);
}

ErrorCode Seek(FileHandle file, std::uint64_t position) {
  if (!file.IsOpen()) return FileNotOpen;
  if (lseek(Fd(file), static_cast<off_t>(position), SEEK_SET) < 0) return GeneralFailure;
  return Ok;
}

ErrorCode SeekToEnd(FileHandle file, std::uint64_t* length) {
  if (!file.IsOpen()) return FileNotOpen;
  const off_t end = lseek(Fd(file), 0, SEEK_END);
  if (end < 0) return GeneralFailure;
  *length = static_cast<std::uint64_t>(end);
  return Ok;
}

ErrorCode Truncate(FileHandle file, std::uint64_t length) {
  if (!file.IsOpen()) return FileNotOpen;
  if (ftruncate(Fd(file), static_cast<off_t>(length)) != 0) return FromErrno(errno);
  return Seek(file, length);
}

ErrorCode Close(FileHandle* file) {
  if (!file->IsOpen()) return FileNotOpen;
  const int fd = Fd(*file);
  file->Value = -1;
  return close(fd) == 0 ? Ok : FromErrno(errno);
}

ErrorCode CheckDirectory(std::string_view path) {
  PathBuffer resolved;
  if (Resolve(path, &resolved) != Ok) return PathNotFound;
  return IsDirectory(resolved.Empty() ? "." : resolved.CStr()) ? Ok : PathNotFound;
}

bool SameEntry(std::string_view a, std::string_view b) {
  PathBuffer first;
  PathBuffer second;
  struct stat one {};
  struct stat two {};
  return Resolve(a.empty() ? "." : a, &first) == Ok &&
         Resolve(b.empty() ? "." : b, &second) == Ok && stat(first.CStr(), &one) == 0 &&
         stat(second.CStr(), &two) == 0 && one.st_dev == two.st_dev && one.st_ino == two.st_ino;
}

ErrorCode RemoveFile(std::string_view path) {
  PathBuffer resolved;
  if (const ErrorCode error = Resolve(path, &resolved); error != Ok) return error;
  struct stat st {};
  if (lstat(resolved.CStr(), &st) != 0) return FromErrno(errno, &resolved);
  // Only files go, as with Win32's delete: never a directory, never a device
  // node (a report named /dev/null), never a read-only file.
  if (IsDirectory(resolved.CStr()) || !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) ||
      IsReadOnlyFile(st)) {
    return AccessDenied;
  }
  return posix::RemoveEntry(resolved) == 0 ? Ok : FromErrno(errno, &resolved);
}

ErrorCode MoveFileTo(std::string_view from, std::string_view to) {
  PathBuffer source;
  PathBuffer target;
  if (Resolve(from, &source) != Ok || Resolve(to, &target) != Ok) return NameTooLong;
  if (!IsWin32Name(NamePart(to))) return InvalidName;
  struct stat st {};
  if (lstat(source.CStr(), &st) != 0) return FromErrno(errno, &source);
  if (!S_ISREG(st.st_mode)) return AccessDenied;
  // The resolved target names an existing entry in any letter case.
  if (lstat(target.CStr(), &st) == 0) return AlreadyExists;
  if (posix::RenameEntry(source, target) == 0) return Ok;
  if (errno == EXDEV) return CopyThenRemove(source, target);
  return FromErrno(errno, errno == ENOENT ? &source : &target);
}

ErrorCode FindFirst(std::string_view mask, SearchHandle* search, DirEntry* entry) {
  FindClose(search);
  PathBuffer native;
  if (mask.size() > MaxPath) return NameTooLong;
  native.Assign(mask);
  native.ReplaceAll('\\', '/');
  const std::size_t name_at = NameStart(native.View(), "/");
  const std::string_view pattern = native.View().substr(name_at);
  if (pattern.empty()) return FileNotFound;

  PathBuffer directory;
  posix::ResolvePath(native.View().substr(0, name_at), &directory);
  if (!IsDirectory(directory.Empty() ? "." : directory.CStr())) return PathNotFound;
  if (!HasWildcards(pattern)) {
    // One name: a direct probe, no directory scan.
    PathBuffer resolved;
    if (!IsWin32Name(pattern)) return FileNotFound;
    if (posix::ResolvePath(native.View(), &resolved) != 0) return FromErrno(errno);
    return DescribePath(resolved.CStr(), resolved.View().substr(name_at), entry) ? Ok
                                                                                 : FileNotFound;
  }

  DIR* stream = opendir(directory.Empty() ? "." : directory.CStr());
  if (stream == nullptr) return FromErrno(errno, &directory);
  auto* snapshot = new SearchSnapshot(directory.View(), &DescribeEntry);
  while (const dirent* found = readdir(stream)) snapshot->Offer(pattern, found->d_name);
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
