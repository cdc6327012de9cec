// The Env of Win32. Win32 already matches names ignoring case, refuses to
// replace a target on a move and has its own error numbers, so this is
// mostly a thin pass-through. What it adds: names the OS would take for
// another entry (8.3 short names, trailing dots and blanks) are refused, so
// that both builds reach the same files.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/env.h"
#include "platform/name_rules.h"

namespace corvane::os {
namespace {

// The DOS volume-label bit; winnt.h has no name for it, but a FAT volume can
// still report an entry carrying it.
constexpr DWORD VolumeLabelAttribute = 0x08;

// Larger transfers are done in pieces: ReadFile and WriteFile count in DWORDs.
constexpr std::size_t MaxChunk = 1u << 30;

ErrorCode LastError() { return static_cast<ErrorCode>(GetLastError()); }

// A path terminated for the API, in a fixed buffer; the empty path is the
// current directory.
class CPath {
 public:
  explicit CPath(std::string_view path, std::string_view suffix = {})
      : fits_(path.size() + suffix.size() + 1 < sizeof text_) {
    if (!fits_) path = suffix = {};
    if (path.empty()) path = ".";
    char* end = std::copy(path.begin(), path.end(), text_);
    if (!suffix.empty()) {
      if (end[-1] != '\\' && end[-1] != '/') *end++ = '\\';
      end = std::copy(suffix.begin(), suffix.end(), end);
    }
    *end = '\0';
  }
  bool Fits() const { return fits_; }
  const char* CStr() const { return text_; }

 private:
  char text_[MaxPath + 8];
  bool fits_;
};

HANDLE Native(FileHandle file) { return reinterpret_cast<HANDLE>(file.Value); }

// Win32 also takes a path by its 8.3 short name or with trailing dots and
// blanks dropped, so "LONGNA~1.ZIP" or "B.ZIP." would reach another file than
// the POSIX build reaches. An entry that exists under a name other than the
// one asked for (ignoring case) is therefore refused.
bool NamesItself(const CPath& path) {
  WIN32_FIND_DATAA found;
  const HANDLE find = FindFirstFileA(path.CStr(), &found);
  if (find == INVALID_HANDLE_VALUE) return true;  // nothing there to mistake
  ::FindClose(find);
  return EqualIgnoringCase(NamePart(path.CStr()), found.cFileName);
}

// Windows refuses to write or delete a read-only file; Wine, run as root,
// does not always. Asking first keeps every build alike.
bool IsReadOnly(const CPath& path) {
  const DWORD attributes = GetFileAttributesA(path.CStr());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

ErrorCode OpenWith(std::string_view path, DWORD access, DWORD disposition, FileHandle* file,
                   std::uint64_t* length) {
  const CPath name(path);
  if (!name.Fits()) return NameTooLong;
  if (!NamesItself(name)) return InvalidName;
  if ((access & GENERIC_WRITE) != 0 && IsReadOnly(name)) return AccessDenied;
  const HANDLE handle = CreateFileA(name.CStr(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  // Only disk files: a report named NUL or a pipe is no file to keep.
  LARGE_INTEGER size;
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return AccessDenied;
  }
  if (length != nullptr) {
    if (!GetFileSizeEx(handle, &size)) {
      const ErrorCode error = LastError();
      CloseHandle(handle);
      return error;
    }
    *length = static_cast<std::uint64_t>(size.QuadPart);
  }
  file->Value = reinterpret_cast<std::intptr_t>(handle);
  return Ok;
}

// Moves the file pointer to position.
ErrorCode SetPointer(FileHandle file, std::uint64_t position) {
  if (!file.IsOpen()) return FileNotOpen;
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(Native(file), to, nullptr, FILE_BEGIN) ? Ok : LastError();
}

ErrorCode WriteAll(HANDLE handle, const void* buffer, std::size_t size) {
  const char* bytes = static_cast<const char*>(buffer);
  while (size > 0) {
    DWORD done = 0;
    const auto chunk = static_cast<DWORD>(std::min(size, MaxChunk));
    if (!WriteFile(handle, bytes, chunk, &done, nullptr) || done == 0) return WriteFault;
    bytes += done;
    size -= done;
  }
  return Ok;
}

EntryKind KindOf(DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return EntryKind::Directory;
  return (attributes & VolumeLabelAttribute) != 0 ? EntryKind::Other : EntryKind::Plain;
}

// What path names, following a symbolic link to its target as the POSIX
// build does.
ErrorCode Describe(const char* path, EntryInfo* info) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return LastError();
  const HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();  // a link that points nowhere
  BY_HANDLE_FILE_INFORMATION target;
  const bool known = GetFileInformationByHandle(handle, &target) != 0;
  const ErrorCode error = known ? Ok : LastError();
  CloseHandle(handle);
  if (!known) return error;
  info->Kind = KindOf(target.dwFileAttributes);
  info->Hidden = (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
  info->Size = (static_cast<std::uint64_t>(target.nFileSizeHigh) << 32) | target.nFileSizeLow;
  info->Volume = target.dwVolumeSerialNumber;
  info->Index = (static_cast<std::uint64_t>(target.nFileIndexHigh) << 32) | target.nFileIndexLow;
  return Ok;
}

class Win32Env final : public Env {
 public:
  Win32Env() {
    // An unattended run must get an error back, never wait on an "insert a
    // disk" or "cannot open" box nobody will click.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  }

  ErrorCode Open(std::string_view path, FileAccess access, FileHandle* file,
                 std::uint64_t* length) override {
    const DWORD rights = access == FileAccess::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    return OpenWith(path, rights, OPEN_EXISTING, file, length);
  }

  ErrorCode Create(std::string_view path, FileHandle* file) override {
    return OpenWith(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, file, nullptr);
  }

  ErrorCode ReadAt(FileHandle file, std::uint64_t position, void* buffer, std::size_t size,
                   std::size_t* done) override {
    *done = 0;
    CORVANE_RETURN_IF_ERROR(SetPointer(file, position));
    char* bytes = static_cast<char*>(buffer);
    while (*done < size) {
      DWORD got = 0;
      const auto chunk = static_cast<DWORD>(std::min(size - *done, MaxChunk));
      if (!ReadFile(Native(file), bytes + *done, chunk, &got, nullptr)) return ReadFault;
      if (got == 0) break;
      *done += got;
    }
    return Ok;
  }

  ErrorCode WriteAt(FileHandle file, std::uint64_t position, const void* data,
                    std::size_t size) override {
    CORVANE_RETURN_IF_ERROR(SetPointer(file, position));
    return WriteAll(Native(file), data, size);
  }

  ErrorCode Truncate(FileHandle file, std::uint64_t length) override {
    CORVANE_RETURN_IF_ERROR(SetPointer(file, length));
    return SetEndOfFile(Native(file)) ? Ok : LastError();
  }

  ErrorCode Close(FileHandle* file) override {
    if (!file->IsOpen()) return FileNotOpen;
    const HANDLE handle = Native(*file);
    file->Value = -1;
    return CloseHandle(handle) ? Ok : LastError();
  }

  ErrorCode ListDirectory(std::string_view directory, ListingVisitor* visitor) override {
    const CPath mask(directory, "*");
    if (!mask.Fits()) return NameTooLong;
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA(mask.CStr(), &found);
    if (find == INVALID_HANDLE_VALUE) {
      const ErrorCode error = LastError();
      return error == FileNotFound ? PathNotFound : error;
    }
    do {
      const std::string_view name(found.cFileName);
      if (name == "." || name == "..") continue;
      EntryKind kind = KindOf(found.dwFileAttributes);
      const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      if (link) {
        // A link is what it points to.
        const CPath path(directory, name);
        EntryInfo info;
        kind = Describe(path.CStr(), &info) == Ok ? info.Kind : EntryKind::Other;
      }
      visitor->Visit(
          ListedEntry{name, kind, (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0, link});
    } while (FindNextFileA(find, &found));
    ::FindClose(find);
    return Ok;
  }

  ErrorCode Stat(std::string_view path, EntryInfo* info) override {
    const CPath name(path);
    if (!name.Fits()) return NameTooLong;
    return Describe(name.CStr(), info);
  }

  ErrorCode Rename(std::string_view from, std::string_view to) override {
    return Move(from, to, 0);
  }
  ErrorCode Replace(std::string_view from, std::string_view to) override {
    return Move(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }

  ErrorCode CopyNew(std::string_view from, std::string_view to) override {
    const CPath source(from);
    const CPath target(to);
    if (!source.Fits() || !target.Fits()) return NameTooLong;
    // CopyFile keeps the dates and attributes; TRUE: fail if the target
    // exists.
    if (CopyFileA(source.CStr(), target.CStr(), TRUE)) return Ok;
    const ErrorCode error = LastError();
    return error == ERROR_FILE_EXISTS ? AlreadyExists : error;
  }

  ErrorCode Delete(std::string_view path) override {
    const CPath name(path);
    if (!name.Fits()) return NameTooLong;
    if (!NamesItself(name)) return InvalidName;
    if (IsReadOnly(name)) return AccessDenied;
    return DeleteFileA(name.CStr()) ? Ok : LastError();
  }

  ErrorCode LockDirectory(std::string_view directory, FileHandle* lock) override {
    // A named mutex for the directory's full path, upper-cased since Win32
    // names ignore case: the OS releases it when the process ends, however it
    // ends, so it never goes stale. "\" may not stand in a mutex name.
    const CPath relative(directory);
    char path[MAX_PATH + 1];
    DWORD length = GetFullPathNameA(relative.CStr(), sizeof path, path, nullptr);
    if (length == 0 || length >= sizeof path) return LastError();
    // "in" and "in\" are one directory, and must be one lock.
    while (length > 3 && path[length - 1] == '\\') --length;
    char name[MAX_PATH + 32] = "Local\\corvane-workdir:";
    std::size_t at = std::strlen(name);
    for (DWORD i = 0; i < length; ++i) name[at++] = path[i] == '\\' ? '/' : FoldCase(path[i]);
    name[at] = '\0';
    const HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
    if (mutex == nullptr) return LastError();
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
      CloseHandle(mutex);
      return SharingViolation;
    }
    lock->Value = reinterpret_cast<std::intptr_t>(mutex);
    return Ok;
  }

  LocalDate Today() override {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LocalDate{now.wYear, now.wMonth, now.wDay, now.wDayOfWeek};
  }

  // Straight to the handle, in binary: a line the program ends with CR LF
  // reaches the console or file exactly so.
  ErrorCode ConsoleWrite(Stream stream, const char* data, std::size_t size) override {
    return WriteAll(GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE),
                    data, size);
  }

  std::size_t ExecutablePath(char* buffer, std::size_t capacity) override {
    // Long enough for any path Win32 can give; a shorter buffer would get a
    // truncated, possibly unterminated result.
    static char path[32768];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return 0;
    const std::size_t count = std::min(static_cast<std::size_t>(length), capacity);
    std::copy(path, path + count, buffer);
    return count;
  }

 private:
  ErrorCode Move(std::string_view from, std::string_view to, DWORD flags) {
    const CPath source(from);
    const CPath target(to);
    if (!source.Fits() || !target.Fits()) return NameTooLong;
    if (!NamesItself(source) || !NamesItself(target)) return InvalidName;
    const DWORD attributes = GetFileAttributesA(source.CStr());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return AccessDenied;  // only files move
    // Without MOVEFILE_REPLACE_EXISTING an existing target is an error, never
    // overwritten. Without COPY_ALLOWED the move is a rename or nothing: the
    // move across volumes is FileSystem's, the same on every Env.
    if (MoveFileExA(source.CStr(), target.CStr(), flags)) return Ok;
    const ErrorCode error = LastError();
    return error == ERROR_FILE_EXISTS ? AlreadyExists : error;
  }
};

}  // namespace

Env& RealEnv(const char* /*started_as*/) {
  static Win32Env env;
  return env;
}

}  // namespace corvane::os
