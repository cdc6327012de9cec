#include "platform/name_index_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <memory_resource>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/name_rules.h"

namespace corvane::os::posix {
namespace {

struct DirIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator<(const DirIdentity& other) const {
    return std::pair(device, inode) < std::pair(other.device, other.inode);
  }
};

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Hashes std::pmr::string keys and std::string_view probes alike, so a
// lookup needs no string of its own.
struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const {
    return std::hash<std::string_view>{}(name);
  }
};

// The names of one directory, keyed by their case-folded form. Several names
// may share a key; a lookup resolves to the smallest in byte order. Names
// live in an arena that grows in large steps, so adding one is not a heap
// allocation of its own.
struct DirIndex {
  explicit DirIndex(const timespec& mtime) : built_at(mtime) {}
  timespec built_at;
  std::pmr::monotonic_buffer_resource arena;
  std::pmr::unordered_multimap<std::pmr::string, std::pmr::string, NameHash, std::equal_to<>>
      by_folded{&arena};
};

std::map<DirIdentity, std::unique_ptr<DirIndex>>& Indexes() {
  static std::map<DirIdentity, std::unique_ptr<DirIndex>> indexes;
  return indexes;
}

// The case-folded form of a name; names are at most 255 bytes long.
class FoldedName {
 public:
  explicit FoldedName(std::string_view name) : length_(name.size() < 256 ? name.size() : 256) {
    for (std::size_t i = 0; i < length_; ++i) text_[i] = FoldCase(name[i]);
  }
  std::string_view View() const { return {text_, length_}; }

 private:
  char text_[256];
  std::size_t length_;
};

void AddName(DirIndex& index, std::string_view name) {
  const FoldedName key(name);
  auto [first, last] = index.by_folded.equal_range(key.View());
  for (auto it = first; it != last; ++it) {
    if (it->second == name) return;
  }
  index.by_folded.emplace(std::piecewise_construct, std::forward_as_tuple(key.View()),
                          std::forward_as_tuple(name));
}

void RemoveName(DirIndex& index, std::string_view name) {
  auto [first, last] = index.by_folded.equal_range(FoldedName(name).View());
  for (auto it = first; it != last; ++it) {
    if (it->second == name) {
      index.by_folded.erase(it);
      return;
    }
  }
}

// The smallest name in byte order equal to name ignoring case, or empty.
std::string_view FindName(const DirIndex& index, std::string_view name) {
  std::string_view best;
  auto [first, last] = index.by_folded.equal_range(FoldedName(name).View());
  for (auto it = first; it != last; ++it) {
    const std::string_view candidate(it->second);
    if (best.empty() || candidate < best) best = candidate;
  }
  return best;
}

bool StatDirectory(const char* dir, DirIdentity* id, timespec* mtime) {
  struct stat st {};
  if (stat(dir, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  *id = DirIdentity{st.st_dev, st.st_ino};
  *mtime = st.st_mtim;
  return true;
}

// The index of dir, built or rebuilt when missing or out of date; nullptr,
// with errno set, when dir cannot be read.
const DirIndex* CurrentIndex(const char* dir) {
  DirIdentity id;
  timespec mtime{};
  if (!StatDirectory(dir, &id, &mtime)) return nullptr;
  auto found = Indexes().find(id);
  if (found != Indexes().end() && SameTime(found->second->built_at, mtime)) {
    return found->second.get();
  }
  DIR* stream = opendir(dir);
  if (stream == nullptr) return nullptr;
  auto fresh = std::make_unique<DirIndex>(mtime);
  while (const dirent* entry = readdir(stream)) {
    const std::string_view name(entry->d_name);
    if (name != "." && name != "..") AddName(*fresh, name);
  }
  closedir(stream);
  return (Indexes()[id] = std::move(fresh)).get();
}

bool Exists(const char* path) {
  struct stat st {};
  return lstat(path, &st) == 0;
}

// The directory part of a resolved path ("." when there is none).
void ParentOf(std::string_view path, PathBuffer* parent) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string_view::npos) {
    parent->Assign(".");
  } else {
    parent->Assign(path.substr(0, slash == 0 ? 1 : slash));
  }
}

std::string_view BaseName(std::string_view path) { return path.substr(path.find_last_of('/') + 1); }

// Brackets a change to the entry at path: before it, an index that someone
// else made stale is dropped; after it, a current one learns the change, so
// no rescan is needed.
void BeginEntryChange(std::string_view path) {
  PathBuffer dir;
  ParentOf(path, &dir);
  DirIdentity id;
  timespec mtime{};
  if (!StatDirectory(dir.CStr(), &id, &mtime)) return;
  auto found = Indexes().find(id);
  // Changed by someone else since it was built: drop it, the next lookup
  // rebuilds it.
  if (found != Indexes().end() && !SameTime(found->second->built_at, mtime)) {
    Indexes().erase(found);
  }
}

void EndEntryChange(std::string_view path, bool exists_now) {
  const int saved = errno;  // the caller reports the change's own errno
  PathBuffer dir;
  ParentOf(path, &dir);
  DirIdentity id;
  timespec mtime{};
  if (!StatDirectory(dir.CStr(), &id, &mtime)) {
    errno = saved;
    return;
  }
  auto found = Indexes().find(id);
  if (found == Indexes().end()) {
    errno = saved;
    return;
  }
  DirIndex& index = *found->second;
  if (exists_now) {
    AddName(index, BaseName(path));
  } else {
    RemoveName(index, BaseName(path));
  }
  index.built_at = mtime;
  errno = saved;
}

void ForgetIndexes() { Indexes().clear(); }

}  // namespace

bool PathBuffer::Append(std::string_view text) {
  const std::size_t room = Capacity - length_;
  const std::size_t count = text.size() < room ? text.size() : room;
  std::memcpy(text_ + length_, text.data(), count);
  Truncate(length_ + count);
  return count == text.size();
}

int ResolvePath(std::string_view path, PathBuffer* resolved) {
  resolved->Assign(path);
  if (path.empty() || Exists(resolved->CStr())) return 0;

  resolved->Truncate(0);
  std::size_t start = 0;
  if (path.front() == '/') {
    resolved->Append("/");
    start = 1;
  }
  bool parent_exists = true;
  PathBuffer dir;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view component = path.substr(start, end - start);
    if (!component.empty()) {
      const std::size_t before = resolved->Size();
      resolved->Append(component);
      if (parent_exists && component != "." && component != ".." && !Exists(resolved->CStr())) {
        dir.Assign(before == 0 ? std::string_view(".") : resolved->View().substr(0, before));
        const DirIndex* index = CurrentIndex(dir.CStr());
        if (index == nullptr && errno != ENOENT && errno != ENOTDIR) return -1;
        const std::string_view match = index ? FindName(*index, component) : std::string_view();
        if (!match.empty()) {
          resolved->Truncate(before);
          resolved->Append(match);  // same length as component
        } else {
          parent_exists = false;
        }
      }
    }
    if (end < path.size()) resolved->Append("/");
    start = end + 1;
  }
  return 0;
}

int CreateEntry(const PathBuffer& path, int flags) {
  BeginEntryChange(path.View());
  const int fd = open(path.CStr(), flags | O_CREAT, 0666);
  EndEntryChange(path.View(), fd >= 0);
  // A file created through a symbolic link may have appeared in any
  // directory: no index can be trusted after it.
  struct stat st {};
  if (fd >= 0 && lstat(path.CStr(), &st) == 0 && S_ISLNK(st.st_mode)) ForgetIndexes();
  return fd;
}

int RemoveEntry(const PathBuffer& path) {
  BeginEntryChange(path.View());
  const int result = unlink(path.CStr());
  EndEntryChange(path.View(), result != 0);
  return result;
}

int RenameEntry(const PathBuffer& from, const PathBuffer& to) {
  BeginEntryChange(from.View());
  BeginEntryChange(to.View());
  int result = renameat2(AT_FDCWD, from.CStr(), AT_FDCWD, to.CStr(), RENAME_NOREPLACE);
  if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
    // No atomic no-replace on this file system; the caller's check stands.
    result = rename(from.CStr(), to.CStr());
  }
  EndEntryChange(from.View(), result != 0);
  EndEntryChange(to.View(), result == 0);
  return result;
}

}  // namespace corvane::os::posix
