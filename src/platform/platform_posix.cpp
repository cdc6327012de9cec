// POSIX implementation of the platform layer. It gives the program the Win32
// behaviour it relies on: "\" separators, names matched ignoring case, moves
// that never replace a target, Win32 error numbers.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

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

// Turns the program's path into the on-disk one: "\" to "/", each component
// resolved ignoring case. False when the path is too long for the system.
bool Resolve(std::string_view path, PathBuffer* resolved) {
  PathBuffer native;
  return posix::NativePath(path, &native) && posix::ResolvePath(native.view(), resolved);
}

// The Win32 number for an errno of an operation, on path when it names one.
ErrorCode FromErrno(int error, const PathBuffer* path = nullptr) {
  switch (error) {
    case ENOENT: {
      if (path == nullptr) return kFileNotFound;
      PathBuffer parent;
      posix::ParentOf(path->view(), &parent);
      return IsDirectory(parent.c_str()) ? kFileNotFound : kPathNotFound;
    }
    case ENOTDIR:
      return kPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
      return kAccessDenied;
    case EEXIST:
      return kAlreadyExists;
    case ENOSPC:
      return kDiskFull;
    case EMFILE:
    case ENFILE:
      return kTooManyOpenFiles;
    case ENAMETOOLONG:
      return kNameTooLong;
    case EROFS:
      return kWriteProtect;
    case EBUSY:
      return kSharingViolation;
    default:
      return kGeneralFailure;
  }
}

int Fd(FileHandle file) { return static_cast<int>(file.value); }

// A file without its owner's write permission stands for the Win32
// read-only attribute: it is not opened for writing, nor deleted, as on Win32
// (and whoever runs the program, root included).
bool IsReadOnlyFile(const struct stat& st) {
  return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

ErrorCode OpenResolved(const PathBuffer& path, int flags, FileHandle* file) {
  struct stat st {};
  if ((flags & O_ACCMODE) != O_RDONLY && stat(path.c_str(), &st) == 0 && IsReadOnlyFile(st)) {
    return kAccessDenied;
  }
  // Not blocking: a FIFO under a template's name must not hang the run.
  const int fd = open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return FromErrno(errno, &path);
  // Only plain files: never a directory, device or FIFO, as on Win32 where
  // the program opens disk files only.
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    close(fd);
    return kAccessDenied;
  }
  file->value = fd;
  return kOk;
}

ErrorCode WriteAll(int fd, const void* buffer, std::size_t size) {
  const char* bytes = static_cast<const char*>(buffer);
  while (size > 0) {
    const ssize_t done = write(fd, bytes, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return kWriteFault;
    bytes += done;
    size -= static_cast<std::size_t>(done);
  }
  return kOk;
}

// Copies from to a target created exclusively, then removes from: the move of
// last resort across file systems. On any failure the partial target goes
// and the source stays, so no data is lost either way.
ErrorCode CopyThenRemove(const PathBuffer& from, const PathBuffer& to) {
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return FromErrno(errno, &from);
  struct stat st {};
  if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(in);
    return kAccessDenied;
  }
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
  if (out < 0) {
    const ErrorCode error = FromErrno(errno, &to);
    close(in);
    return error;
  }
  ErrorCode error = kOk;
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error = kReadFault;
    if (got <= 0) break;
    error = WriteAll(out, buffer, static_cast<std::size_t>(got));
    if (error != kOk) break;
  }
  if (error == kOk) {
    // Keep the file's dates: sysops sort file areas by them.
    const timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out, times);
    if (fsync(out) != 0) error = kWriteFault;
  }
  if (close(out) != 0 && error == kOk) error = kWriteFault;
  close(in);
  if (error == kOk && unlink(from.c_str()) != 0) error = FromErrno(errno, &from);
  if (error != kOk) unlink(to.c_str());
  return error;
}

// Fills entry when path is a regular file (links followed) with a name a
// search may deliver.
bool Deliverable(const char* path, std::string_view name, DirEntry* entry) {
  if (!IsDeliverableName(name)) return false;
  struct stat st {};
  if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  std::memcpy(entry->name, name.data(), name.size());
  entry->name[name.size()] = '\0';
  entry->name_length = name.size();
  entry->size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

}  // namespace

void StartUp() {
  // A closed pipe on stdout must be a write error, not a silent death.
  signal(SIGPIPE, SIG_IGN);
}

ErrorCode OpenExisting(std::string_view path, FileAccess access, FileHandle* file) {
  PathBuffer resolved;
  if (!Resolve(path, &resolved)) return kNameTooLong;
  return OpenResolved(resolved, access == FileAccess::kRead ? O_RDONLY : O_RDWR, file);
}

ErrorCode CreateTruncated(std::string_view path, FileHandle* file) {
  PathBuffer resolved;
  if (!Resolve(path, &resolved)) return kNameTooLong;
  if (!IsWin32Name(posix::BaseName(resolved.view()))) return kInvalidName;
  posix::BeginEntryChange(resolved.view());
  const ErrorCode error = OpenResolved(resolved, O_RDWR | O_CREAT | O_TRUNC, file);
  posix::EndEntryChange(resolved.view(), error == kOk);
  struct stat st {};
  if (lstat(resolved.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) posix::ForgetIndexes();
  return error;
}

ErrorCode Read(FileHandle file, void* buffer, std::size_t size, std::size_t* done) {
  *done = 0;
  if (!file.IsOpen()) return kFileNotOpen;
  char* bytes = static_cast<char*>(buffer);
  while (*done < size) {
    const ssize_t got = read(Fd(file), bytes + *done, size - *done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return kReadFault;
    if (got == 0) break;
    *done += static_cast<std::size_t>(got);
  }
  return kOk;
}

ErrorCode Write(FileHandle file, const void* buffer, std::size_t size) {
  if (!file.IsOpen()) return kFileNotOpen;
  return WriteAll(Fd(file), buffer, size);
}

ErrorCode Seek(FileHandle file, std::uint64_t position) {
  if (!file.IsOpen()) return kFileNotOpen;
  if (lseek(Fd(file), static_cast<off_t>(position), SEEK_SET) < 0) return kGeneralFailure;
  return kOk;
}

ErrorCode SeekToEnd(FileHandle file) {
  if (!file.IsOpen()) return kFileNotOpen;
  if (lseek(Fd(file), 0, SEEK_END) < 0) return kGeneralFailure;
  return kOk;
}

ErrorCode Position(FileHandle file, std::uint64_t* position) {
  if (!file.IsOpen()) return kFileNotOpen;
  const off_t at = lseek(Fd(file), 0, SEEK_CUR);
  if (at < 0) return kGeneralFailure;
  *position = static_cast<std::uint64_t>(at);
  return kOk;
}

ErrorCode Length(FileHandle file, std::uint64_t* length) {
  if (!file.IsOpen()) return kFileNotOpen;
  struct stat st {};
  if (fstat(Fd(file), &st) != 0) return kGeneralFailure;
  *length = static_cast<std::uint64_t>(st.st_size);
  return kOk;
}

ErrorCode Close(FileHandle* file) {
  if (!file->IsOpen()) return kFileNotOpen;
  const int fd = Fd(*file);
  file->value = -1;
  return close(fd) == 0 ? kOk : FromErrno(errno);
}

bool SameEntry(std::string_view a, std::string_view b) {
  PathBuffer first;
  PathBuffer second;
  struct stat one {};
  struct stat two {};
  return Resolve(a.empty() ? "." : a, &first) && Resolve(b.empty() ? "." : b, &second) &&
         stat(first.c_str(), &one) == 0 && stat(second.c_str(), &two) == 0 &&
         one.st_dev == two.st_dev && one.st_ino == two.st_ino;
}

ErrorCode RemoveFile(std::string_view path) {
  PathBuffer resolved;
  if (!Resolve(path, &resolved)) return kNameTooLong;
  struct stat st {};
  if (lstat(resolved.c_str(), &st) != 0) return FromErrno(errno, &resolved);
  // Only files go, as with Win32's delete: never a directory, never a device
  // node (a report named /dev/null), never a read-only file.
  if (IsDirectory(resolved.c_str()) || !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) ||
      IsReadOnlyFile(st)) {
    return kAccessDenied;
  }
  posix::BeginEntryChange(resolved.view());
  const int result = unlink(resolved.c_str());
  const int error = errno;
  posix::EndEntryChange(resolved.view(), result != 0);
  return result == 0 ? kOk : FromErrno(error, &resolved);
}

ErrorCode MoveFileTo(std::string_view from, std::string_view to) {
  PathBuffer source;
  PathBuffer target;
  if (!Resolve(from, &source) || !Resolve(to, &target)) return kNameTooLong;
  if (!IsWin32Name(posix::BaseName(target.view()))) return kInvalidName;
  struct stat st {};
  if (lstat(source.c_str(), &st) != 0) return FromErrno(errno, &source);
  // The resolved target names an existing entry in any letter case.
  if (lstat(target.c_str(), &st) == 0) return kAlreadyExists;

  posix::BeginEntryChange(source.view());
  posix::BeginEntryChange(target.view());
  ErrorCode error = kOk;
  if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno == EINVAL || errno == ENOSYS) {
      // No atomic no-replace on this file system; the check above stands.
      if (rename(source.c_str(), target.c_str()) != 0) {
        error = errno == EXDEV ? CopyThenRemove(source, target) : FromErrno(errno, &target);
      }
    } else if (errno == EXDEV) {
      error = CopyThenRemove(source, target);
    } else {
      error = FromErrno(errno, errno == ENOENT ? &source : &target);
    }
  }
  posix::EndEntryChange(source.view(), error != kOk);
  posix::EndEntryChange(target.view(), error == kOk);
  return error;
}

bool DescribeEntry(std::string_view directory, std::string_view name, DirEntry* entry) {
  PathBuffer path;
  return path.Assign(directory) && path.Append(name) && Deliverable(path.c_str(), name, entry);
}

bool FindFirst(std::string_view mask, SearchHandle* search, DirEntry* entry) {
  FindClose(search);
  PathBuffer native;
  if (!posix::NativePath(mask, &native)) return false;
  const std::string_view pattern = posix::BaseName(native.view());
  if (pattern.empty()) return false;

  if (!HasWildcards(pattern)) {
    // One name: a direct probe, no directory scan.
    PathBuffer resolved;
    return IsWin32Name(pattern) && posix::ResolvePath(native.view(), &resolved) &&
           Deliverable(resolved.c_str(), posix::BaseName(resolved.view()), entry);
  }

  PathBuffer directory;
  const std::string_view asked = native.view().substr(0, native.size() - pattern.size());
  if (!asked.empty() && !posix::ResolvePath(asked, &directory)) return false;
  DIR* stream = opendir(directory.empty() ? "." : directory.c_str());
  if (stream == nullptr) return false;
  auto snapshot = std::make_unique<SearchSnapshot>(directory.view());
  while (const dirent* found = readdir(stream)) snapshot->Offer(pattern, found->d_name);
  closedir(stream);
  return SearchSnapshot::Start(std::move(snapshot), search, entry);
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

ErrorCode WriteStdout(const char* data, std::size_t size) { return WriteAll(1, data, size); }

ErrorCode WriteStderr(const char* data, std::size_t size) { return WriteAll(2, data, size); }

void Exit(int code) { std::exit(code); }

}  // namespace corvane::os
