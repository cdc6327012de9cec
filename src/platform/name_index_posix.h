// Case-insensitive path resolution for POSIX file systems.
//
// Win32 finds FILE.ZIP when the directory holds file.zip. To give the same
// effect on a file system that tells case apart, each path component is
// resolved to the directory entry whose name equals it ignoring ASCII case.
// The exact name is always tried first with one direct probe; only when that
// misses is the directory's name index consulted. Indexes are built once per
// directory and kept current by the platform's own changes, and rebuilt when
// the directory's modification time shows that something else changed it, so
// a run over tens of thousands of entries stays linear. Paths live in fixed
// buffers and indexes in arenas, so a lookup does not touch the heap.
#ifndef CORVANE_PLATFORM_NAME_INDEX_POSIX_H_
#define CORVANE_PLATFORM_NAME_INDEX_POSIX_H_

#include <cstddef>
#include <string_view>

namespace corvane::os::posix {

// A path of at most kCapacity bytes in a fixed buffer, always terminated by
// a NUL for the system calls.
class PathBuffer {
 public:
  static constexpr std::size_t kCapacity = 4095;

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

  const char* c_str() const { return text_; }
  std::string_view view() const { return {text_, length_}; }
  std::size_t size() const { return length_; }
  bool empty() const { return length_ == 0; }

 private:
  char text_[kCapacity + 1] = {};
  std::size_t length_ = 0;
};

// The program's path with each "\" turned into "/". False when too long.
bool NativePath(std::string_view path, PathBuffer* native);

// The directory part of path ("." when there is none, "/" for the root).
void ParentOf(std::string_view path, PathBuffer* parent);

// The part of path after its last "/".
std::string_view BaseName(std::string_view path);

// Resolves a path written with "/" separators: each existing component is
// replaced by the on-disk entry it names (exact name first, otherwise the
// smallest name in byte order among those equal ignoring case). Components
// that do not exist are kept as given. False when the result is too long.
bool ResolvePath(std::string_view path, PathBuffer* resolved);

// Brackets a change the platform makes to a directory entry at path (already
// resolved): BeginEntryChange before, EndEntryChange after, with whether the
// entry now exists. Keeps a built index current without a rescan.
void BeginEntryChange(std::string_view path);
void EndEntryChange(std::string_view path, bool exists_now);

// Drops every index, for a change whose place is not known: a file created
// through a symbolic link may have appeared in any directory.
void ForgetIndexes();

}  // namespace corvane::os::posix

#endif  // CORVANE_PLATFORM_NAME_INDEX_POSIX_H_
