// The one seam between Corvane and the operating system.
//
// Everything that touches files, directories, the clock, the console or the
// process goes through these functions. There is one implementation per OS,
// platform_posix.cpp and platform_win32.cpp, and a third one could be written
// from this header alone: it states every rule both follow. Nothing above
// this layer includes an OS header or knows which OS it runs on.
//
// Paths. The program builds paths as Win32 does, with "\" between a directory
// and a name; the POSIX build also takes "/". A path holds at most MaxPath
// (255) characters, as every text of the program does; longer paths fail with
// NameTooLong. An empty directory part means the current directory.
//
// Names. Every lookup, open, delete and move matches the names of existing
// entries without regard to ASCII letter case, as Win32 does: "NEWS.ZIP"
// reaches news.zip. Where several entries differ only in letter case (only
// possible on POSIX), the exact name wins, else the smallest in byte order. A
// new entry gets exactly the name asked for. A name Win32 could not hold
// (see IsWin32Name in name_rules.h), and on Win32 a name that reaches an entry
// under another name (an 8.3 short name, or trailing dots and blanks the OS
// drops), fails with InvalidName, so both builds reach the same files.
//
// Files. Only plain disk files are opened, created, deleted or moved: never a
// directory, a device or a pipe (AccessDenied). A read-only file (POSIX: no
// write permission for its owner) is never opened for writing, truncated or
// deleted, by any user (AccessDenied). Files are opened with reading and
// writing by other programs allowed: nothing is locked but the working
// directory (LockWorkingDirectory).
//
// Errors are Win32 error numbers (Ok is success), so the run-time stop prints
// the same number on every platform.
#ifndef CORVANE_PLATFORM_PLATFORM_H_
#define CORVANE_PLATFORM_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvane::os {

// A Win32 error number; Ok (0) is success.
using ErrorCode = std::uint32_t;

inline constexpr ErrorCode Ok = 0;
inline constexpr ErrorCode FileNotFound = 2;
inline constexpr ErrorCode PathNotFound = 3;
inline constexpr ErrorCode TooManyOpenFiles = 4;
inline constexpr ErrorCode AccessDenied = 5;
inline constexpr ErrorCode WriteProtect = 19;
inline constexpr ErrorCode GeneralFailure = 31;
inline constexpr ErrorCode SharingViolation = 32;
inline constexpr ErrorCode DiskFull = 112;
inline constexpr ErrorCode InvalidName = 123;
inline constexpr ErrorCode AlreadyExists = 183;
inline constexpr ErrorCode NameTooLong = 206;
// Numbers of the program itself, not of the OS: a short or failed read, a
// short or failed write, an operation on a file that is not open.
inline constexpr ErrorCode ReadFault = 100;
inline constexpr ErrorCode WriteFault = 101;
inline constexpr ErrorCode FileNotOpen = 103;

// The longest path the program uses.
inline constexpr std::size_t MaxPath = 255;

// An open file. A default-constructed handle is not open.
struct FileHandle {
  std::intptr_t Value = -1;
  bool IsOpen() const { return Value != -1; }
};

enum class FileAccess { Read, ReadWrite };

// Called once before anything else: a closed pipe on standard output must be
// a write error, and no OS dialog may wait for a click nobody gives.
void StartUp();

// Opens an existing plain file; never creates one. *length gets its length.
ErrorCode OpenExisting(std::string_view path, FileAccess access, FileHandle* file,
                       std::uint64_t* length);
// Creates a plain file for reading and writing, truncating one that exists
// (which keeps the name it has on disk, whatever the letter case asked for).
ErrorCode CreateTruncated(std::string_view path, FileHandle* file);
// Reads up to size bytes; *done says how many came (0 at the end).
ErrorCode Read(FileHandle file, void* buffer, std::size_t size, std::size_t* done);
// Writes all size bytes at the current position; any failure, a full disk
// included, is WriteFault, as a short write is.
ErrorCode Write(FileHandle file, const void* buffer, std::size_t size);
// Writes all size bytes at position, then leaves the file positioned after
// them.
ErrorCode WriteAt(FileHandle file, std::uint64_t position, const void* buffer, std::size_t size);
ErrorCode SeekToEnd(FileHandle file, std::uint64_t* length);
// Cuts the file to length bytes and positions it there.
ErrorCode Truncate(FileHandle file, std::uint64_t length);
// Closes the file and marks the handle as not open.
ErrorCode Close(FileHandle* file);

// Ok when path names an existing directory; PathNotFound otherwise.
ErrorCode CheckDirectory(std::string_view path);
// True when both paths name one existing file or directory, however they
// are spelt ("in\", "IN\", ".\in\").
bool SameEntry(std::string_view a, std::string_view b);

// Deletes a plain file that is not read-only.
ErrorCode RemoveFile(std::string_view path);
// Moves a plain file to another path, also across file systems, and never
// replaces a target: AlreadyExists when one stands there in any letter
// case. The target gets exactly the name asked for. Across file systems the
// file is copied under a hidden name beside the target and renamed into
// place only when whole, then the source goes; if the source cannot go, the
// copy goes again, so the file is never in both places nor lost.
ErrorCode MoveFileTo(std::string_view from, std::string_view to);

// One directory entry as a search delivers it.
struct DirEntry {
  char Name[MaxPath + 1] = {};
  std::size_t NameLength = 0;
  std::uint64_t Size = 0;
  std::string_view View() const { return {Name, NameLength}; }
};

// A search in progress; owned by the caller, released by FindClose.
struct SearchHandle {
  void* State = nullptr;
};

// Starts a search for mask: a directory followed by a pattern in which "*"
// stands for any run of characters and "?" for one, letter case ignored,
// matched against the whole name. Only plain files are delivered: not
// directories, not hidden entries (POSIX: names beginning with "."; Win32:
// the hidden attribute), not names Win32 could not hold. Entries come sorted
// by name ignoring ASCII case, ties in byte order (as NTFS lists them), each
// with the size it has when its turn comes; one that has gone by then is
// passed over. A pattern without wildcards is a probe for one name.
// Returns Ok with *entry filled; FileNotFound when nothing matches;
// PathNotFound when the directory does not exist; another error when the
// directory cannot be read. Starting a search closes the one held in
// *search before.
ErrorCode FindFirst(std::string_view mask, SearchHandle* search, DirEntry* entry);
// The next entry of the search; false at its end, which also closes it.
bool FindNext(SearchHandle* search, DirEntry* entry);
void FindClose(SearchHandle* search);

struct LocalDate {
  int Year = 0;
  int Month = 0;      // 1..12
  int Day = 0;        // 1..31
  int DayOfWeek = 0;  // 0 = Sunday
};
LocalDate Today();

// The running executable's full path as the OS reports it, with "\" as the
// separator; cut to capacity bytes. Returns the length written.
std::size_t ExecutablePath(char* buffer, std::size_t capacity);

// Takes the working directory for this process alone, until it exits or
// dies: false when another process holds it. The lock is released by the OS
// with the process, so it never goes stale, and leaves no file behind on
// POSIX; nothing stops other programs from reading the files there.
bool LockWorkingDirectory();

// Console output, unbuffered: what is written is shown at once, in binary
// (the program ends its lines with CR LF itself).
ErrorCode WriteStdout(const char* data, std::size_t size);
ErrorCode WriteStderr(const char* data, std::size_t size);

}  // namespace corvane::os

#endif  // CORVANE_PLATFORM_PLATFORM_H_
