// Win32 implementation of the platform layer. Win32 already has the behaviour
// the program relies on ("\" separators, names matched ignoring case, moves
// that never replace a target, its own error numbers), so this is mostly a
// thin pass-through; the search adds the sorted delivery both builds share.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/name_rules.h"
#include "platform/platform.h"
#include "platform/search_snapshot.h"

namespace corvane::os {
namespace {

// The DOS volume-label bit; winnt.h has no name for it, but a FAT volume can
// still report an entry carrying it.
constexpr DWORD VolumeLabelAttribute = 0x08;
constexpr DWORD NotDelivered =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY | VolumeLabelAttribute;

// Larger transfers are done in pieces: ReadFile and WriteFile count in DWORDs.
constexpr std::size_t MaxChunk = 1u << 30;

ErrorCode LastError() { return static_cast<ErrorCode>(GetLastError()); }

// A path terminated for the API, in a fixed buffer: the per-ticket calls
// need no heap.
class CPath {
 public:
  explicit CPath(std::string_view path) : fits_(path.size() <= MaxPath) {
    const std::size_t count = fits_ ? path.size() : 0;
    std::copy(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(count), text_);
    text_[count] = '\0';
  }
  bool Fits() const { return fits_; }
  const char* CStr() const { return text_; }

 private:
  char text_[MaxPath + 1];
  bool fits_;
};

HANDLE Native(FileHandle file) { return reinterpret_cast<HANDLE>(file.Value); }

// Win32 also takes a path by its 8.3 short name or with trailing dots and
// blanks dropped, so "LONGNA~1.ZIP" or "B.ZIP." would reach another file than
// the POSIX build reaches. An entry that exists under a name other than the
// one asked for (ignoring case) is therefore refused.
bool NamesItself(const CPath& path, std::string_view asked) {
  WIN32_FIND_DATAA found;
  const HANDLE find = FindFirstFileA(path.CStr(), &found);
  if (find == INVALID_HANDLE_VALUE) return true;  // nothing there to mistake
  ::FindClose(find);
  return EqualIgnoringCase(NamePart(asked), found.cFileName);
}

// Windows refuses to write or delete a read-only file; Wine, run as root,
// does not always. Asking first keeps every build alike.
bool IsReadOnly(const CPath& path) {
  const DWORD attributes = GetFileAttributesA(path.CStr());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

ErrorCode Open(std::string_view path, DWORD access, DWORD disposition, FileHandle* file,
               std::uint64_t* length) {
  const CPath name(path);
  if (!name.Fits()) return NameTooLong;
  if (!NamesItself(name, path)) return InvalidName;
  if ((access & GENERIC_WRITE) != 0 && IsReadOnly(name)) return AccessDenied;
  const HANDLE handle = CreateFileA(name.CStr(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  // Only disk files: a report named NUL or a pipe is no file to keep.
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return AccessDenied;
  }
  LARGE_INTEGER size;
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

// The volume and file index of an existing file or directory: the only sure
// test that two spellings of a path name one entry.
bool Identify(std::string_view path, BY_HANDLE_FILE_INFORMATION* info) {
  const CPath name(path.empty() ? std::string_view(".") : path);
  // No access rights asked: reading the identity needs none, and an entry
  // another program holds open is still identified. BACKUP_SEMANTICS is what
  // lets a directory be opened at all.
  const HANDLE handle =
      CreateFileA(name.CStr(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(handle, info) != 0;
  CloseHandle(handle);
  return known;
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

// Whether an entry with these attributes and this name may be delivered.
bool Deliverable(DWORD attributes, std::string_view name) {
  return (attributes & NotDelivered) == 0 && IsDeliverableName(name);
}

// The attributes and size of what path names, following a symbolic link to
// its target as the POSIX build does; false when nothing is there (a
// dangling link included).
bool Describe(const char* path, DWORD* attributes, DWORD* size_high, DWORD* size_low) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    *attributes = data.dwFileAttributes;
    *size_high = data.nFileSizeHigh;
    *size_low = data.nFileSizeLow;
    return true;
  }
  BY_HANDLE_FILE_INFORMATION target;
  const HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(handle, &target) != 0;
  CloseHandle(handle);
  *attributes = target.dwFileAttributes;
  *size_high = target.nFileSizeHigh;
  *size_low = target.nFileSizeLow;
  return known;
}

void Fill(std::string_view name, DWORD size_high, DWORD size_low, DirEntry* entry) {
  std::copy(name.begin(), name.end(), entry->Name);
  entry->Name[name.size()] = '\0';
  entry->NameLength = name.size();
  entry->Size = (static_cast<std::uint64_t>(size_high) << 32) | size_low;
}

bool DescribeEntry(std::string_view directory, std::string_view name, DirEntry* entry) {
  char joined[1024];
  if (directory.size() + name.size() >= sizeof joined) return false;
  std::copy(name.begin(), name.end(), std::copy(directory.begin(), directory.end(), joined));
  const CPath path(std::string_view(joined, directory.size() + name.size()));
  DWORD attributes = 0;
  DWORD size_high = 0;
  DWORD size_low = 0;
  if (!Describe(path.CStr(), &attributes, &size_high, &size_low) ||
      !Deliverable(attributes, name)) {
    return false;
  }
  Fill(name, size_high, size_low, entry);
  return true;
}

// Copies source into a hidden file beside target, renames it into place when
// it is whole, then deletes source: the move across volumes. A copy that
// cannot be completed, or whose source cannot be deleted, goes again, so the
// file is never in both places nor lost, and a half copy never shows under
// the target's name.
ErrorCode CopyThenRemove(const CPath& source, const CPath& target, std::string_view name) {
  char partial[2 * MaxPath + 16];
  const std::string_view to(target.CStr());
  const std::size_t name_at = to.size() - name.size();
  const int length =
      std::snprintf(partial, sizeof partial, "%.*s.%.*s.part", static_cast<int>(name_at), to.data(),
                    static_cast<int>(name.size()), name.data());
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof partial) return NameTooLong;
  DeleteFileA(partial);  // a copy left by a run that was killed
  if (!CopyFileA(source.CStr(), partial, TRUE)) return LastError();
  SetFileAttributesA(partial, GetFileAttributesA(source.CStr()) | FILE_ATTRIBUTE_HIDDEN);
  if (!MoveFileExA(partial, target.CStr(), 0)) {
    const ErrorCode error = LastError();
    DeleteFileA(partial);
    return error;
  }
  SetFileAttributesA(target.CStr(), GetFileAttributesA(target.CStr()) & ~FILE_ATTRIBUTE_HIDDEN);
  if (!DeleteFileA(source.CStr())) {
    const ErrorCode error = LastError();
    DeleteFileA(target.CStr());
    return error;
  }
  return Ok;
}

// Moves the file pointer to position.
ErrorCode SetPointer(FileHandle file, std::uint64_t position) {
  if (!file.IsOpen()) return FileNotOpen;
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(Native(file), to, nullptr, FILE_BEGIN) ? Ok : LastError();
}

}  // namespace

void StartUp() {
  // An unattended run must get an error back, never wait on an "insert a
  // disk" or "cannot open" box nobody will click.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

ErrorCode OpenExisting(std::string_view path, FileAccess access, FileHandle* file,
                       std::uint64_t* length) {
  const DWORD rights = access == FileAccess::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  return Open(path, rights, OPEN_EXISTING, file, length);
}

ErrorCode CreateTruncated(std::string_view path, FileHandle* file) {
  return Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, file, nullptr);
}

ErrorCode Read(FileHandle file, void* buffer, std::size_t size, std::size_t* done) {
  *done = 0;
  if (!file.IsOpen()) return FileNotOpen;
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

ErrorCode Write(FileHandle file, const void* buffer, std::size_t size) {
  if (!file.IsOpen()) return FileNotOpen;
  return WriteAll(Native(file), buffer, size);
}

ErrorCode WriteAt(FileHandle file, std::uint64_t position, const void* buffer, std::size_t size) {
  const ErrorCode error = SetPointer(file, position);
  return error != Ok ? error : WriteAll(Native(file), buffer, size);
}

ErrorCode SeekToEnd(FileHandle file, std::uint64_t* length) {
  if (!file.IsOpen()) return FileNotOpen;
  LARGE_INTEGER none;
  none.QuadPart = 0;
  LARGE_INTEGER end;
  if (!SetFilePointerEx(Native(file), none, &end, FILE_END)) return LastError();
  *length = static_cast<std::uint64_t>(end.QuadPart);
  return Ok;
}

ErrorCode Truncate(FileHandle file, std::uint64_t length) {
  const ErrorCode error = SetPointer(file, length);
  if (error != Ok) return error;
  return SetEndOfFile(Native(file)) ? Ok : LastError();
}

ErrorCode Close(FileHandle* file) {
  if (!file->IsOpen()) return FileNotOpen;
  const HANDLE handle = Native(*file);
  file->Value = -1;
  return CloseHandle(handle) ? Ok : LastError();
}

ErrorCode CheckDirectory(std::string_view path) {
  const CPath name(path.empty() ? std::string_view(".") : path);
  const DWORD attributes = GetFileAttributesA(name.CStr());
  return name.Fits() && attributes != INVALID_FILE_ATTRIBUTES &&
                 (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
             ? Ok
             : PathNotFound;
}

bool SameEntry(std::string_view a, std::string_view b) {
  BY_HANDLE_FILE_INFORMATION one;
  BY_HANDLE_FILE_INFORMATION two;
  return Identify(a, &one) && Identify(b, &two) &&
         one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
         one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
}

ErrorCode RemoveFile(std::string_view path) {
  const CPath name(path);
  if (!name.Fits()) return NameTooLong;
  if (!NamesItself(name, path)) return InvalidName;
  if (IsReadOnly(name)) return AccessDenied;
  return DeleteFileA(name.CStr()) ? Ok : LastError();
}

ErrorCode MoveFileTo(std::string_view from, std::string_view to) {
  const CPath source(from);
  const CPath target(to);
  if (!source.Fits() || !target.Fits()) return NameTooLong;
  if (!NamesItself(source, from) || !NamesItself(target, to)) return InvalidName;
  const DWORD attributes = GetFileAttributesA(source.CStr());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return AccessDenied;  // only files move
  // Without MOVEFILE_REPLACE_EXISTING an existing target is an error, never
  // overwritten. Without COPY_ALLOWED the move is a rename or nothing: a
  // copy that the OS makes for a move across volumes would have to be
  // checked afterwards, and by then another program may have put a new file
  // under the source's name.
  if (MoveFileExA(source.CStr(), target.CStr(), 0)) return Ok;
  if (GetLastError() != ERROR_NOT_SAME_DEVICE) return LastError();
  return CopyThenRemove(source, target, NamePart(to));
}

ErrorCode FindFirst(std::string_view mask, SearchHandle* search, DirEntry* entry) {
  FindClose(search);
  const CPath native(mask);
  const std::string_view directory = DirectoryPart(mask);
  const std::string_view pattern = NamePart(mask);
  if (!native.Fits()) return NameTooLong;
  if (pattern.empty()) return FileNotFound;
  if (CheckDirectory(directory) != Ok) return PathNotFound;

  WIN32_FIND_DATAA found;
  const HANDLE find = FindFirstFileA(native.CStr(), &found);
  if (find == INVALID_HANDLE_VALUE) {
    const ErrorCode error = LastError();
    return error == ERROR_NO_MORE_FILES ? FileNotFound : error;
  }

  if (!HasWildcards(pattern)) {
    // One name: the probe itself is the answer, with the name as on disk.
    // It must be that name, not a short name or one Win32 reached by
    // dropping trailing dots and spaces, as the POSIX build finds only it.
    ::FindClose(find);
    DWORD attributes = 0;
    DWORD size_high = 0;
    DWORD size_low = 0;
    if (!EqualIgnoringCase(pattern, found.cFileName) ||
        !Describe(native.CStr(), &attributes, &size_high, &size_low) ||
        !Deliverable(attributes, found.cFileName)) {
      return FileNotFound;
    }
    Fill(found.cFileName, size_high, size_low, entry);
    return Ok;
  }

  // Win32 also matches a pattern against the 8.3 short names ("*.tic" finds
  // "LONGNA~1.TIC" for "longname.ticket"); the shared match on the real name
  // keeps both builds finding the same files.
  auto* snapshot = new SearchSnapshot(directory, &DescribeEntry);
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      snapshot->Offer(pattern, found.cFileName);
    }
  } while (FindNextFileA(find, &found));
  ::FindClose(find);
  return SearchSnapshot::Start(snapshot, search, entry);
}

LocalDate Today() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return LocalDate{now.wYear, now.wMonth, now.wDay, now.wDayOfWeek};
}

std::size_t ExecutablePath(char* buffer, std::size_t capacity) {
  // Long enough for any path Win32 can give; a shorter buffer would get a
  // truncated, possibly unterminated result.
  static char path[32768];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return 0;
  const std::size_t count = std::min(static_cast<std::size_t>(length), capacity);
  std::copy(path, path + count, buffer);
  return count;
}

// Straight to the handle, in binary: a line the program ends with CR LF
// reaches the console or file exactly so.
ErrorCode WriteStdout(const char* data, std::size_t size) {
  return WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), data, size);
}

ErrorCode WriteStderr(const char* data, std::size_t size) {
  return WriteAll(GetStdHandle(STD_ERROR_HANDLE), data, size);
}

bool LockWorkingDirectory() {
  // A named mutex for the directory's full path, upper-cased since Win32
  // names ignore case: the OS releases it when the process ends, however it
  // ends, so it never goes stale. "\" may not stand in a mutex name.
  char path[MAX_PATH + 1];
  const DWORD length = GetFullPathNameA(".", sizeof path, path, nullptr);
  if (length == 0 || length >= sizeof path) return true;  // no name to lock by
  char name[MAX_PATH + 32] = "Local\\corvane-workdir:";
  std::size_t at = std::strlen(name);
  for (DWORD i = 0; i < length; ++i) name[at++] = path[i] == '\\' ? '/' : FoldCase(path[i]);
  name[at] = '\0';
  const HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
  if (mutex == nullptr) return true;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return false;
  }
  return true;  // held until the process ends
}

}  // namespace corvane::os
