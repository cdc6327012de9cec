// The one seam between Corvane and the operating system.
//
// Env is everything the program asks of the OS: files, directories, the
// clock, the console and the process. One implementation per OS
// (env_posix.cpp, env_win32.cpp) and any number in tests (a fault-injecting
// wrapper, for one) stand behind it; the program gets one passed in and never
// reaches the OS another way. Nothing above this layer includes an OS header
// or knows which OS it runs on.
//
// Paths. The program writes paths as Win32 does, with "\" between a
// directory and a name; a POSIX Env also takes "/". An empty directory part
// is the current directory.
//
// Names. An Env works on exact names: the OS's own lookup, which on POSIX
// tells letter case apart. Matching names without regard to case, as Win32
// does, is done once for every Env, above it, by FileSystem (files/file_system.h).
// A new entry gets exactly the name asked for.
//
// Files. Only plain disk files are opened, created, deleted or renamed:
// never a directory, a device or a pipe (AccessDenied). A read-only file
// (POSIX: no write permission for its owner) is never opened for writing,
// truncated or deleted, by any user (AccessDenied). Files are opened with
// reading and writing by other programs allowed. Reads and writes name their
// position: an Env keeps no file position of its own, so a caller never has
// to wonder where the OS thinks a file stands.
//
// Errors are Win32 error numbers (Ok is success), so the run-time stop prints
// the same number on every platform.
#ifndef CORVANE_PLATFORM_ENV_H_
#define CORVANE_PLATFORM_ENV_H_

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
inline constexpr ErrorCode NotSameDevice = 17;
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

// What an entry is. A symbolic link is reported as what it points to, or as
// Other when it points nowhere.
enum class EntryKind : std::uint8_t { Plain, Directory, Other };

// What Stat says of an entry.
struct EntryInfo {
  EntryKind Kind = EntryKind::Other;
  bool Hidden = false;  // POSIX: a name beginning with "."; Win32: the attribute
  std::uint64_t Size = 0;
  // Two spellings name one entry when both numbers are equal.
  std::uint64_t Volume = 0;
  std::uint64_t Index = 0;
};

// One entry of a directory listing. The name lives only during the call.
struct ListedEntry {
  std::string_view Name;
  EntryKind Kind = EntryKind::Other;
  bool Hidden = false;
  bool Link = false;  // a symbolic link; Kind is what it points to
};

// Receives a directory listing, entry by entry, "." and ".." left out.
class ListingVisitor {
 public:
  virtual void Visit(const ListedEntry& entry) = 0;

 protected:
  ~ListingVisitor() = default;
};

struct LocalDate {
  int Year = 0;
  int Month = 0;      // 1..12
  int Day = 0;        // 1..31
  int DayOfWeek = 0;  // 0 = Sunday
};

enum class Stream { Output, Error };

class Env {
 public:
  virtual ~Env() = default;

  // Opens an existing plain file; never creates one. *length gets its
  // length.
  virtual ErrorCode Open(std::string_view path, FileAccess access, FileHandle* file,
                         std::uint64_t* length) = 0;
  // Creates a plain file for reading and writing, or truncates the one of
  // that exact name.
  virtual ErrorCode Create(std::string_view path, FileHandle* file) = 0;
  // Reads up to size bytes from position; *done says how many came (fewer
  // only at the end of the file).
  virtual ErrorCode ReadAt(FileHandle file, std::uint64_t position, void* buffer, std::size_t size,
                           std::size_t* done) = 0;
  // Writes all size bytes at position. Any failure, a full disk included, is
  // WriteFault, as a short write is; what did reach the file stays.
  virtual ErrorCode WriteAt(FileHandle file, std::uint64_t position, const void* data,
                            std::size_t size) = 0;
  // Cuts the file to length bytes.
  virtual ErrorCode Truncate(FileHandle file, std::uint64_t length) = 0;
  // Closes the file and marks the handle as not open.
  virtual ErrorCode Close(FileHandle* file) = 0;

  // Lists a directory. PathNotFound when it does not exist; another error
  // when it cannot be read.
  virtual ErrorCode ListDirectory(std::string_view directory, ListingVisitor* visitor) = 0;
  // What path names, following symbolic links. FileNotFound when nothing is
  // there, PathNotFound when its directory is not.
  virtual ErrorCode Stat(std::string_view path, EntryInfo* info) = 0;
  // Renames a file, also into another directory, never replacing a target
  // of that exact name (AlreadyExists). NotSameDevice, changing nothing,
  // when the target is on another file system. The caller makes sure it is
  // a plain file, not a directory or a link.
  virtual ErrorCode Rename(std::string_view from, std::string_view to) = 0;
  // Renames a plain file over the one of that exact name in the same
  // directory, in one step: to names the old file or the new one, whatever
  // happens, never neither.
  virtual ErrorCode Replace(std::string_view from, std::string_view to) = 0;
  // Copies a plain file into a new file of that exact name (AlreadyExists
  // when one stands there), with its dates, and flushed to the disk; a copy
  // that cannot be completed goes again.
  virtual ErrorCode CopyNew(std::string_view from, std::string_view to) = 0;
  // Deletes a plain file (or a link) that is not read-only.
  virtual ErrorCode Delete(std::string_view path) = 0;

  // Takes directory for this process alone until *lock is closed or the
  // process ends, however it ends: SharingViolation when another process
  // holds it. It leaves no file behind.
  virtual ErrorCode LockDirectory(std::string_view directory, FileHandle* lock) = 0;

  virtual LocalDate Today() = 0;
  // Console output, unbuffered and in binary: the program ends its lines
  // with CR LF itself.
  virtual ErrorCode ConsoleWrite(Stream stream, const char* data, std::size_t size) = 0;
  // The running executable's full path as the OS reports it, with "\" as the
  // separator, cut to capacity bytes. Returns the length written.
  virtual std::size_t ExecutablePath(char* buffer, std::size_t capacity) = 0;
};

// The Env of the OS the program was built for. Called first by main, with
// the name the program was started by (argv[0]): a system that cannot tell
// the executable's path otherwise reports that one. From then on a closed
// pipe on standard output is a write error, and no OS dialog waits for a
// click nobody gives.
Env& RealEnv(const char* started_as = nullptr);

}  // namespace corvane::os

// Returns the error of expr from the calling function, if there is one.
#define CORVANE_RETURN_IF_ERROR(expr)                                                  \
  do {                                                                                 \
    if (const ::corvane::os::ErrorCode error_ = (expr); error_ != ::corvane::os::Ok) { \
      return error_;                                                                   \
    }                                                                                  \
  } while (false)

#endif  // CORVANE_PLATFORM_ENV_H_
