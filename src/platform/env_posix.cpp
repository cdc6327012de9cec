// The Env of POSIX systems: exact names, "/" for the program's "\", Win32
// error numbers. Calls beyond POSIX.1-2008 are used where the system has
// them, each with a fallback of the same contract (CORVANE_PORTABLE_POSIX
// forces every fallback, so that one build stands in for the systems
// without them).
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

#include "platform/env.h"

#if !defined(CORVANE_PORTABLE_POSIX) && defined(__linux__) && defined(RENAME_NOREPLACE)
#define CORVANE_HAVE_RENAMEAT2 1
#endif
#if !defined(CORVANE_PORTABLE_POSIX) && defined(DT_UNKNOWN)
#define CORVANE_HAVE_D_TYPE 1
#endif

namespace corvane::os {
namespace {

// The Win32 number for an errno.
ErrorCode FromErrno(int error) {
  static constexpr std::pair<int, ErrorCode> Numbers[] = {
      {ENOENT, FileNotFound},      {ENOTDIR, PathNotFound},
      {EACCES, AccessDenied},      {EPERM, AccessDenied},
      {EISDIR, AccessDenied},      {EEXIST, AlreadyExists},
      {ENOSPC, DiskFull},          {EDQUOT, DiskFull},
      {EMFILE, TooManyOpenFiles},  {ENFILE, TooManyOpenFiles},
      {ENAMETOOLONG, NameTooLong}, {EROFS, WriteProtect},
      {EBUSY, SharingViolation},   {EWOULDBLOCK, SharingViolation}};
  for (const auto& [number, code] : Numbers) {
    if (number == error) return code;
  }
  return GeneralFailure;
}

// A path as the system takes it: "\" becomes "/", and the empty path is the
// current directory.
class NativePath {
 public:
  explicit NativePath(std::string_view path) : fits_(path.size() < sizeof text_) {
    if (!fits_ || path.empty()) path = ".";
    *std::replace_copy(path.begin(), path.end(), text_, '\\', '/') = '\0';
  }
  bool Fits() const { return fits_; }
  const char* CStr() const { return text_; }

 private:
  char text_[PATH_MAX];
  bool fits_;
};

int Fd(FileHandle file) { return static_cast<int>(file.Value); }

// A file without its owner's write permission stands for the Win32
// read-only attribute: it is not written, truncated or deleted, as on Win32,
// whoever runs the program (root included).
bool IsReadOnlyFile(const struct stat& st) {
  return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

EntryKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return EntryKind::Plain;
  return S_ISDIR(mode) ? EntryKind::Directory : EntryKind::Other;
}

// Writes all size bytes at `at`, or where the descriptor stands when `at`
// is negative (the console).
ErrorCode WriteAll(int fd, const void* data, std::size_t size, off_t at = -1) {
  const char* bytes = static_cast<const char*>(data);
  for (std::size_t written = 0; written < size;) {
    const ssize_t wrote =
        at < 0 ? write(fd, bytes + written, size - written)
               : pwrite(fd, bytes + written, size - written, at + static_cast<off_t>(written));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return WriteFault;
    written += static_cast<std::size_t>(wrote);
  }
  return Ok;
}

// Renames without replacing a target of that name. Where the system has no
// such call, a hard link makes the new name (failing when it exists) and the
// old one goes after it; on a file system without hard links, the target is
// looked for just before a plain rename.
int RenameNoReplace(const char* from, const char* to) {
#ifdef CORVANE_HAVE_RENAMEAT2
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
#endif
  if (link(from, to) == 0) {
    if (unlink(from) == 0) return 0;
    const int error = errno;
    unlink(to);
    errno = error;
    return -1;
  }
  struct stat st {};
  if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) return -1;
  if (lstat(to, &st) == 0) {
    errno = EEXIST;
    return -1;
  }
  return rename(from, to);
}

class PosixEnv final : public Env {
 public:
  explicit PosixEnv(const char* started_as) : started_as_(started_as ? started_as : "") {
    // A closed pipe on stdout must be a write error, not a silent death.
    signal(SIGPIPE, SIG_IGN);
  }

  ErrorCode Open(std::string_view path, FileAccess access, FileHandle* file,
                 std::uint64_t* length) override {
    return OpenPlain(path, access == FileAccess::Read ? O_RDONLY : O_RDWR, file, length);
  }

  ErrorCode Create(std::string_view path, FileHandle* file) override {
    return OpenPlain(path, O_RDWR | O_CREAT | O_TRUNC, file, nullptr);
  }

  ErrorCode ReadAt(FileHandle file, std::uint64_t position, void* buffer, std::size_t size,
                   std::size_t* done) override {
    *done = 0;
    if (!file.IsOpen()) return FileNotOpen;
    for (ssize_t got = 1; *done < size && got != 0;) {
      got = pread(Fd(file), static_cast<char*>(buffer) + *done, size - *done,
                  static_cast<off_t>(position + *done));
      if (got < 0 && errno != EINTR) return ReadFault;
      if (got > 0) *done += static_cast<std::size_t>(got);
    }
    return Ok;
  }

  ErrorCode WriteAt(FileHandle file, std::uint64_t position, const void* data,
                    std::size_t size) override {
    if (!file.IsOpen()) return FileNotOpen;
    return WriteAll(Fd(file), data, size, static_cast<off_t>(position));
  }

  ErrorCode Truncate(FileHandle file, std::uint64_t length) override {
    if (!file.IsOpen()) return FileNotOpen;
    return ftruncate(Fd(file), static_cast<off_t>(length)) == 0 ? Ok : FromErrno(errno);
  }

  ErrorCode Close(FileHandle* file) override {
    if (!file->IsOpen()) return FileNotOpen;
    return close(Fd(std::exchange(*file, FileHandle{}))) == 0 ? Ok : FromErrno(errno);
  }

  ErrorCode ListDirectory(std::string_view directory, ListingVisitor* visitor) override {
    const NativePath native(directory);
    if (!native.Fits()) return NameTooLong;
    DIR* stream = opendir(native.CStr());
    if (stream == nullptr) return errno == ENOENT ? PathNotFound : FromErrno(errno);
    while (const dirent* listed = readdir(stream)) {
      const std::string_view name(listed->d_name);
      if (name == "." || name == "..") continue;
      // A link is what it points to; where the listing does not say what an
      // entry is, lstat and stat do.
      struct stat st {};
      bool link = false;
      char path[PATH_MAX];
#ifdef CORVANE_HAVE_D_TYPE
      st.st_mode = listed->d_type == DT_REG ? S_IFREG : listed->d_type == DT_DIR ? S_IFDIR : 0;
      link = listed->d_type == DT_LNK;
      const bool known = listed->d_type != DT_UNKNOWN && !link;
#else
      const bool known = false;
#endif
      if (!known) {
        const bool named = snprintf(path, sizeof path, "%s/%s", native.CStr(), listed->d_name) > 0;
        link = link || (named && lstat(path, &st) == 0 && S_ISLNK(st.st_mode));
        if (!named || stat(path, &st) != 0) st.st_mode = 0;
      }
      visitor->Visit(ListedEntry{name, KindOf(st.st_mode), name.front() == '.', link});
    }
    closedir(stream);
    return Ok;
  }

  ErrorCode Stat(std::string_view path, EntryInfo* info) override {
    const NativePath native(path);
    struct stat st {};
    if (!native.Fits()) return NameTooLong;
    if (stat(native.CStr(), &st) != 0) return FromErrno(errno);
    const std::string_view name = path.substr(path.find_last_of("\\/") + 1);
    *info = EntryInfo{KindOf(st.st_mode), name.starts_with('.') && name != "." && name != "..",
                      static_cast<std::uint64_t>(st.st_size), static_cast<std::uint64_t>(st.st_dev),
                      static_cast<std::uint64_t>(st.st_ino)};
    return Ok;
  }

  ErrorCode Rename(std::string_view from, std::string_view to) override {
    return Move(from, to, false);
  }
  ErrorCode Replace(std::string_view from, std::string_view to) override {
    return Move(from, to, true);
  }

  ErrorCode CopyNew(std::string_view from, std::string_view to) override {
    const NativePath source(from);
    const NativePath target(to);
    if (!source.Fits() || !target.Fits()) return NameTooLong;
    const int in = open(source.CStr(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return FromErrno(errno);
    struct stat st {};
    int out = -1;
    ErrorCode error = AccessDenied;
    if (fstat(in, &st) == 0 && S_ISREG(st.st_mode)) {
      out = open(target.CStr(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      error = out < 0 ? FromErrno(errno) : Ok;
    }
    char buffer[65536];
    for (ssize_t got = 0; error == Ok && (got = read(in, buffer, sizeof buffer)) != 0;) {
      if (got < 0 && errno != EINTR) error = ReadFault;
      if (got > 0) error = WriteAll(out, buffer, static_cast<std::size_t>(got));
    }
    // Keep the file's dates and mode: sysops sort file areas by date.
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (error == Ok &&
        (futimens(out, times) != 0 || fchmod(out, st.st_mode & 07777) != 0 || fsync(out) != 0)) {
      error = WriteFault;
    }
    if (out >= 0 && close(out) != 0 && error == Ok) error = WriteFault;
    close(in);
    if (error != Ok && out >= 0) unlink(target.CStr());
    return error;
  }

  ErrorCode Delete(std::string_view path) override {
    const NativePath native(path);
    struct stat st {};
    struct stat target {};
    if (!native.Fits()) return NameTooLong;
    if (lstat(native.CStr(), &st) != 0) return FromErrno(errno);
    // Only files go, as with Win32's delete: never a directory (nor a link to
    // one), never a device node (a report named /dev/null), never a
    // read-only file.
    if (!(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) || IsReadOnlyFile(st) ||
        (S_ISLNK(st.st_mode) && stat(native.CStr(), &target) == 0 && S_ISDIR(target.st_mode))) {
      return AccessDenied;
    }
    return unlink(native.CStr()) == 0 ? Ok : FromErrno(errno);
  }

  ErrorCode LockDirectory(std::string_view directory, FileHandle* lock) override {
    // The directory itself carries the lock, so no lock file is left behind;
    // the OS drops it with the descriptor, however the process ends.
    const NativePath native(directory);
    const int fd = open(native.CStr(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return FromErrno(errno);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const ErrorCode error = FromErrno(errno);
      close(fd);
      return error;
    }
    lock->Value = fd;
    return Ok;
  }

  LocalDate Today() override {
    const time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    return LocalDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday};
  }

  ErrorCode ConsoleWrite(Stream stream, const char* data, std::size_t size) override {
    return WriteAll(stream == Stream::Output ? 1 : 2, data, size);
  }

  std::size_t ExecutablePath(char* buffer, std::size_t capacity) override {
    std::string_view found = started_as_;
#ifndef CORVANE_PORTABLE_POSIX
    char path[PATH_MAX];
    // Linux tells; elsewhere the name the program was started by serves.
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length > 0) found = std::string_view(path, static_cast<std::size_t>(length));
#endif
    const std::size_t count = std::min(found.size(), capacity);
    std::replace_copy(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(count), buffer,
                      '/', '\\');
    return count;
  }

 private:
  ErrorCode Move(std::string_view from, std::string_view to, bool replace) {
    const NativePath source(from);
    const NativePath target(to);
    if (!source.Fits() || !target.Fits()) return NameTooLong;
    const int moved = replace ? rename(source.CStr(), target.CStr())
                              : RenameNoReplace(source.CStr(), target.CStr());
    if (moved == 0) return Ok;
    return errno == EXDEV ? NotSameDevice : FromErrno(errno);
  }

  // Opens path as a plain file. O_NONBLOCK keeps a FIFO under a template's
  // name from hanging the run; on a plain file it changes nothing. The file
  // is truncated only once it is known to be a writable plain file.
  static ErrorCode OpenPlain(std::string_view path, int flags, FileHandle* file,
                             std::uint64_t* length) {
    const NativePath native(path);
    if (!native.Fits()) return NameTooLong;
    const bool truncate = (flags & O_TRUNC) != 0;
    flags = (flags & ~O_TRUNC) | O_CLOEXEC | O_NONBLOCK;
    const int fd = open(native.CStr(), flags, 0666);
    if (fd < 0) return FromErrno(errno);
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

  std::string_view started_as_;
};

}  // namespace

Env& RealEnv(const char* started_as) {
  static PosixEnv env(started_as);
  return env;
}

}  // namespace corvane::os
