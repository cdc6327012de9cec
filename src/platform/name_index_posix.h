// Case-insensitive path resolution for POSIX file systems.
//
// Win32 finds FILE.ZIP when the directory holds file.zip. To give the same
// effect on a file system that tells case apart, each path component is
// resolved to the directory entry whose name equals it ignoring ASCII case:
// the exact name when it exists, otherwise the smallest such name in byte
// order. The exact name is tried first with one direct probe; only when that
// misses is the directory's name index consulted.
//
// An index is built once per directory from one scan, kept current by the
// program's own changes, which all go through CreateEntry, RemoveEntry and
// RenameEntry below, and rebuilt when the directory's modification time
// shows that another program changed it. So a run over tens of thousands of
// entries stays linear, and what others add or remove is still seen.
//
// Limits: paths up to PathBuffer::Capacity bytes; names up to 255 bytes.
#ifndef CORVANE_PLATFORM_NAME_INDEX_POSIX_H_
#define CORVANE_PLATFORM_NAME_INDEX_POSIX_H_

#include <cstddef>
#include <string_view>

namespace corvane::os::posix {

// A path in a fixed buffer, always terminated by a NUL for the system calls:
// no heap per call.
class PathBuffer {
 public:
  static constexpr std::size_t Capacity = 4095;

  // Each returns false, leaving the text cut, when the capacity is passed.
  bool Assign(std::string_view text) {
    length_ = 0;
    text_[0] = '\0';
    return Append(text);
  }
  bool Append(std::string_view text);
  void Truncate(std::size_t length) {
    length_ = length;
    text_[length] = '\0';
  }
  void ReplaceAll(char from, char to) {
    for (std::size_t i = 0; i < length_; ++i) {
      if (text_[i] == from) text_[i] = to;
    }
  }

  const char* CStr() const { return text_; }
  std::string_view View() const { return {text_, length_}; }
  std::size_t Size() const { return length_; }
  bool Empty() const { return length_ == 0; }

 private:
  char text_[Capacity + 1] = {};
  std::size_t length_ = 0;
};

// Resolves a path written with "/" separators: each existing component is
// replaced by the on-disk entry it names. Components that do not exist are
// kept as given. Returns 0, or -1 with errno set when a directory on the way
// could not be read (too many open files, for example).
int ResolvePath(std::string_view path, PathBuffer* resolved);

// The changes the platform makes to directory entries, on resolved paths.
// Each returns what its system call returns, with errno set on failure, and
// keeps the indexes current.
int CreateEntry(const PathBuffer& path, int flags);  // open(2) with O_CREAT, mode 0666
int RemoveEntry(const PathBuffer& path);             // unlink(2)
// rename(2) that never replaces a target (RENAME_NOREPLACE where the file
// system has it; the caller has checked the target before).
int RenameEntry(const PathBuffer& from, const PathBuffer& to);

}  // namespace corvane::os::posix

#endif  // CORVANE_PLATFORM_NAME_INDEX_POSIX_H_
