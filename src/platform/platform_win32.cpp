// Win32 implementation of the platform layer. Win32 already has the behaviour
// the program relies on ("\" separators, names matched ignoring case, moves
// that never replace a target, its own error numbers), so this is mostly a
// thin pass-through; the search adds the sorted delivery both builds share.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <memory>

#include "platform/name_rules.h"
#include "platform/platform.h"
#include "platform/search_snapshot.h"

namespace corvane::os {
namespace {

// The DOS volume-label bit; winnt.h has no name for it, but a FAT volume can
// still report an entry carrying it.
constexpr DWORD kVolumeLabelAttribute = 0x08;
constexpr DWORD kNotDelivered =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY | kVolumeLabelAttribute;

// Larger transfers are done in pieces: ReadFile and WriteFile count in DWORDs.
constexpr std::size_t kMaxChunk = 1u << 30;

ErrorCode LastError() { return static_cast<ErrorCode>(GetLastError()); }

// A path terminated for the API, in a fixed buffer: the per-ticket calls
// need no heap. The program never builds paths near this long.
class CPath {
 public:
  explicit CPath(std::string_view path) : fits_(path.size() < sizeof text_) {
    const std::size_t count = fits_ ? path.size() : 0;
    std::copy(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(count), text_);
    text_[count] = '\0';
  }
  bool fits() const { return fits_; }
  const char* c_str() const { return text_; }

 private:
  char text_[1024];
  bool fits_;
};

HANDLE Native(FileHandle file) { return reinterpret_cast<HANDLE>(file.value); }

// Win32 also takes a path by its 8.3 short name or with trailing dots and
// blanks dropped, so "LONGNA~1.ZIP" or "B.ZIP." would reach another file than
// the POSIX build reaches. An entry that exists under a name other than the
// one asked for (ignoring case) is therefore refused.
bool NamesItself(const CPath& path, std::string_view asked) {
  WIN32_FIND_DATAA found;
  const HANDLE find = FindFirstFileA(path.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return true;  // nothing there to mistake
  ::FindClose(find);
  const auto cut = asked.find_last_of("\\/:");
  const std::string_view name = cut == std::string_view::npos ? asked : asked.substr(cut + 1);
  return EqualIgnoringCase(name, found.cFileName);
}

// Windows refuses to write or delete a read-only file; Wine, run as root,
// does not always. Asking first keeps every build alike.
bool IsReadOnly(const CPath& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

ErrorCode Open(std::string_view path, DWORD access, DWORD disposition, FileHandle* file) {
  const CPath name(path);
  if (!name.fits()) return kNameTooLong;
  if (!NamesItself(name, path)) return kInvalidName;
  if ((access & GENERIC_WRITE) != 0 && IsReadOnly(name)) return kAccessDenied;
  const HANDLE handle = CreateFileA(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  // Only disk files: a report named NUL or a pipe is no file to keep.
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return kAccessDenied;
  }
  file->value = reinterpret_cast<std::intptr_t>(handle);
  return kOk;
}

// The volume and file index of an existing file or directory: the only sure
// test that two spellings of a path name one entry.
bool Identify(std::string_view path, BY_HANDLE_FILE_INFORMATION* info) {
  const CPath name(path.empty() ? std::string_view(".") : path);
  // No access rights asked: reading the identity needs none, and an entry
  // another program holds open is still identified. BACKUP_SEMANTICS is what
  // lets a directory be opened at all.
  const HANDLE handle =
      CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
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
    const auto chunk = static_cast<DWORD>(std::min(size, kMaxChunk));
    if (!WriteFile(handle, bytes, chunk, &done, nullptr) || done == 0) return kWriteFault;
    bytes += done;
    size -= done;
  }
  return kOk;
}

// Whether an entry with these attributes and this name may be delivered.
bool Deliverable(DWORD attributes, std::string_view name) {
  return (attributes & kNotDelivered) == 0 && IsDeliverableName(name);
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
  std::copy(name.begin(), name.end(), entry->name);
  entry->name[name.size()] = '\0';
  entry->name_length = name.size();
  entry->size = (static_cast<std::uint64_t>(size_high) << 32) | size_low;
}

}  // namespace

void StartUp() {
  // An unattended run must get an error back, never wait on an "insert a
  // disk" or "cannot open" box nobody will click.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

ErrorCode OpenExisting(std::string_view path, FileAccess access, FileHandle* file) {
  const DWORD rights = access == FileAccess::kRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  return Open(path, rights, OPEN_EXISTING, file);
}

ErrorCode CreateTruncated(std::string_view path, FileHandle* file) {
  return Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, file);
}

ErrorCode Read(FileHandle file, void* buffer, std::size_t size, std::size_t* done) {
  *done = 0;
  if (!file.IsOpen()) return kFileNotOpen;
  char* bytes = static_cast<char*>(buffer);
  while (*done < size) {
    DWORD got = 0;
    const auto chunk = static_cast<DWORD>(std::min(size - *done, kMaxChunk));
    if (!ReadFile(Native(file), bytes + *done, chunk, &got, nullptr)) return kReadFault;
    if (got == 0) break;
    *done += got;
  }
  return kOk;
}

ErrorCode Write(FileHandle file, const void* buffer, std::size_t size) {
  if (!file.IsOpen()) return kFileNotOpen;
  return WriteAll(Native(file), buffer, size);
}

ErrorCode Seek(FileHandle file, std::uint64_t position) {
  if (!file.IsOpen()) return kFileNotOpen;
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(Native(file), to, nullptr, FILE_BEGIN) ? kOk : LastError();
}

ErrorCode SeekToEnd(FileHandle file) {
  if (!file.IsOpen()) return kFileNotOpen;
  LARGE_INTEGER none;
  none.QuadPart = 0;
  return SetFilePointerEx(Native(file), none, nullptr, FILE_END) ? kOk : LastError();
}

ErrorCode Position(FileHandle file, std::uint64_t* position) {
  if (!file.IsOpen()) return kFileNotOpen;
  LARGE_INTEGER none;
  none.QuadPart = 0;
  LARGE_INTEGER at;
  if (!SetFilePointerEx(Native(file), none, &at, FILE_CURRENT)) return LastError();
  *position = static_cast<std::uint64_t>(at.QuadPart);
  return kOk;
}

ErrorCode Length(FileHandle file, std::uint64_t* length) {
  if (!file.IsOpen()) return kFileNotOpen;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Native(file), &size)) return LastError();
  *length = static_cast<std::uint64_t>(size.QuadPart);
  return kOk;
}

ErrorCode Close(FileHandle* file) {
  if (!file->IsOpen()) return kFileNotOpen;
  const HANDLE handle = Native(*file);
  file->value = -1;
  return CloseHandle(handle) ? kOk : LastError();
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
  if (!name.fits()) return kNameTooLong;
  if (!NamesItself(name, path)) return kInvalidName;
  if (IsReadOnly(name)) return kAccessDenied;
  return DeleteFileA(name.c_str()) ? kOk : LastError();
}

ErrorCode MoveFileTo(std::string_view from, std::string_view to) {
  const CPath source(from);
  const CPath target(to);
  if (!source.fits() || !target.fits()) return kNameTooLong;
  if (!NamesItself(source, from) || !NamesItself(target, to)) return kInvalidName;
  // Without MOVEFILE_REPLACE_EXISTING an existing target is an error, never
  // overwritten; COPY_ALLOWED lets the move cross volumes.
  if (!MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_COPY_ALLOWED)) return LastError();
  // Across volumes Win32 copies, then deletes, and reports success even when
  // the delete failed. A file left in both places is no move: take the copy
  // back and say so.
  if (GetFileAttributesA(source.c_str()) != INVALID_FILE_ATTRIBUTES) {
    DeleteFileA(target.c_str());
    return kAccessDenied;
  }
  return kOk;
}

bool FindFirst(std::string_view mask, SearchHandle* search, DirEntry* entry) {
  FindClose(search);
  const CPath native(mask);
  const auto cut = mask.find_last_of("\\/:");
  const std::string_view directory =
      cut == std::string_view::npos ? std::string_view() : mask.substr(0, cut + 1);
  const std::string_view pattern = mask.substr(directory.size());
  if (pattern.empty() || !native.fits()) return false;

  WIN32_FIND_DATAA found;
  const HANDLE find = FindFirstFileA(native.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return false;

  if (!HasWildcards(pattern)) {
    // One name: the probe itself is the answer, with the name as on disk.
    // It must be that name, not a short name or one Win32 reached by
    // dropping trailing dots and spaces, as the POSIX build finds only it.
    ::FindClose(find);
    DWORD attributes = 0;
    DWORD size_high = 0;
    DWORD size_low = 0;
    if (!EqualIgnoringCase(pattern, found.cFileName) ||
        !Describe(native.c_str(), &attributes, &size_high, &size_low) ||
        !Deliverable(attributes, found.cFileName)) {
      return false;
    }
    Fill(found.cFileName, size_high, size_low, entry);
    return true;
  }

  // Win32 also matches a pattern against the 8.3 short names ("*.tic" finds
  // "LONGNA~1.TIC" for "longname.ticket"); the shared match on the real name
  // keeps both builds finding the same files.
  auto snapshot = std::make_unique<SearchSnapshot>(directory);
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      snapshot->Offer(pattern, found.cFileName);
    }
  } while (FindNextFileA(find, &found));
  ::FindClose(find);
  return SearchSnapshot::Start(std::move(snapshot), search, entry);
}

bool DescribeEntry(std::string_view directory, std::string_view name, DirEntry* entry) {
  char joined[1024];
  if (directory.size() + name.size() >= sizeof joined) return false;
  std::copy(name.begin(), name.end(), std::copy(directory.begin(), directory.end(), joined));
  const CPath path(std::string_view(joined, directory.size() + name.size()));
  DWORD attributes = 0;
  DWORD size_high = 0;
  DWORD size_low = 0;
  if (!Describe(path.c_str(), &attributes, &size_high, &size_low) ||
      !Deliverable(attributes, name)) {
    return false;
  }
  Fill(name, size_high, size_low, entry);
  return true;
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

void Exit(int code) { ExitProcess(static_cast<UINT>(code)); }

}  // namespace corvane::os
