// The one seam between Corvane and the operating system.
//
// Everything that touches files, directories, the clock, the console or the
// process goes through these functions. There is one implementation per OS
// (platform_posix.cpp, platform_win32.cpp); nothing above this layer includes
// an OS header or knows which OS it runs on.
//
// Paths are given as the program builds them, with "\" as the directory
// separator. Names are matched without regard to ASCII letter case, as on
// Win32. Failures come back as Win32 error numbers (0 means success), so the
// run-time stop prints the same number on every platform.
#ifndef CORVANE_PLATFORM_PLATFORM_H_
#define CORVANE_PLATFORM_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvane::os {

// A Win32 error number; kOk (0) is success.
using ErrorCode = std::uint32_t;

inline constexpr ErrorCode kOk = 0;
inline constexpr ErrorCode kFileNotFound = 2;
inline constexpr ErrorCode kPathNotFound = 3;
inline constexpr ErrorCode kTooManyOpenFiles = 4;
inline constexpr ErrorCode kAccessDenied = 5;
inline constexpr ErrorCode kWriteProtect = 19;
inline constexpr ErrorCode kGeneralFailure = 31;
inline constexpr ErrorCode kSharingViolation = 32;
inline constexpr ErrorCode kDiskFull = 112;
inline constexpr ErrorCode kInvalidName = 123;
inline constexpr ErrorCode kAlreadyExists = 183;
inline constexpr ErrorCode kNameTooLong = 206;
// Run-time numbers of the program itself, not of the OS.
inline constexpr ErrorCode kReadFault = 100;
inline constexpr ErrorCode kWriteFault = 101;
inline constexpr ErrorCode kFileNotOpen = 103;

// An open file. A default-constructed handle is not open.
struct FileHandle {
  std::intptr_t value = -1;
  bool IsOpen() const { return value != -1; }
};

enum class FileAccess { kRead, kReadWrite };

// Called once before anything else (console modes and the like).
void StartUp();

// Opens an existing file; never creates one. Reading and writing by other
// programs stay allowed (the database is not locked).
ErrorCode OpenExisting(std::string_view path, FileAccess access, FileHandle* file);
// Creates a file for reading and writing, truncating one that exists (under
// the name it already has, whatever the letter case asked for).
ErrorCode CreateTruncated(std::string_view path, FileHandle* file);
// Reads up to size bytes; *done says how many came (0 at the end).
ErrorCode Read(FileHandle file, void* buffer, std::size_t size, std::size_t* done);
// Writes all size bytes; a short write is kWriteFault.
ErrorCode Write(FileHandle file, const void* buffer, std::size_t size);
ErrorCode Seek(FileHandle file, std::uint64_t position);
ErrorCode SeekToEnd(FileHandle file);
ErrorCode Position(FileHandle file, std::uint64_t* position);
ErrorCode Length(FileHandle file, std::uint64_t* length);
// Closes the file and marks the handle as not open.
ErrorCode Close(FileHandle* file);

// True when both paths name one existing file or directory, however they
// are spelt ("in\", "IN\", "./in\"). An empty path is the current directory.
bool SameEntry(std::string_view a, std::string_view b);

ErrorCode RemoveFile(std::string_view path);
// Moves a file, also across file systems; fails when the target exists in any
// letter case, and gives the target exactly the name asked for.
ErrorCode MoveFileTo(std::string_view from, std::string_view to);

// One directory entry as a search delivers it.
struct DirEntry {
  char name[256] = {};
  std::size_t name_length = 0;
  std::uint64_t size = 0;
};

// A search in progress; owned by the caller, released by FindClose.
struct SearchHandle {
  void* state = nullptr;
};

// Starts a search for mask (a directory followed by a pattern with "*" and
// "?"). Only regular files are delivered: hidden entries (names beginning
// with "."), directories and names that could not exist on Win32 are passed
// over. Entries come sorted by name ignoring ASCII case, ties in byte order.
// Returns false when nothing matches (a missing directory included).
bool FindFirst(std::string_view mask, SearchHandle* search, DirEntry* entry);
bool FindNext(SearchHandle* search, DirEntry* entry);
void FindClose(SearchHandle* search);

struct LocalDate {
  int year = 0;
  int month = 0;        // 1..12
  int day = 0;          // 1..31
  int day_of_week = 0;  // 0 = Sunday
};
LocalDate Today();

// The running executable's full path as the OS reports it, with "\" as the
// separator; cut to capacity bytes. Returns the length written.
std::size_t ExecutablePath(char* buffer, std::size_t capacity);

// Console output, unbuffered: what is written is shown at once.
ErrorCode WriteStdout(const char* data, std::size_t size);
ErrorCode WriteStderr(const char* data, std::size_t size);

[[noreturn]] void Exit(int code);

}  // namespace corvane::os

#endif  // CORVANE_PLATFORM_PLATFORM_H_
