#include "platform/name_index_posix.h"

#include <dirent.h>
#include <sys/stat.h>

#include <map>
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

struct ModTime {
  timespec when{};
  bool operator==(const ModTime& other) const {
    return when.tv_sec == other.when.tv_sec && when.tv_nsec == other.when.tv_nsec;
  }
};

// The names of one directory, keyed by their case-folded form. Several names
// may share a key; a lookup resolves to the smallest in byte order.
struct DirIndex {
  ModTime built_at;
  std::unordered_multimap<std::string, std::string> by_folded;
};

std::map<DirIdentity, DirIndex>& Indexes() {
  static std::map<DirIdentity, DirIndex> indexes;
  return indexes;
}

std::string Folded(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = FoldCase(c);
  return folded;
}

void AddName(DirIndex& index, std::string_view name) {
  const std::string key = Folded(name);
  auto [first, last] = index.by_folded.equal_range(key);
  for (auto it = first; it != last; ++it) {
    if (it->second == name) return;
  }
  index.by_folded.emplace(key, name);
}

void RemoveName(DirIndex& index, std::string_view name) {
  auto [first, last] = index.by_folded.equal_range(Folded(name));
  for (auto it = first; it != last; ++it) {
    if (it->second == name) {
      index.by_folded.erase(it);
      return;
    }
  }
}

// The smallest name in byte order equal to name ignoring case, or nullptr.
const std::string* FindName(const DirIndex& index, std::string_view name) {
  const std::string* best = nullptr;
  auto [first, last] = index.by_folded.equal_range(Folded(name));
  for (auto it = first; it != last; ++it) {
    if (best == nullptr || it->second < *best) best = &it->second;
  }
  return best;
}

bool StatDirectory(const std::string& dir, DirIdentity* id, ModTime* mtime) {
  struct stat st {};
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  *id = DirIdentity{st.st_dev, st.st_ino};
  *mtime = ModTime{st.st_mtim};
  return true;
}

// The index of dir, built or rebuilt when missing or out of date; nullptr
// when dir cannot be read.
DirIndex* CurrentIndex(const std::string& dir) {
  DirIdentity id;
  ModTime mtime;
  if (!StatDirectory(dir, &id, &mtime)) return nullptr;
  auto found = Indexes().find(id);
  if (found != Indexes().end() && found->second.built_at == mtime) return &found->second;

  DIR* stream = opendir(dir.c_str());
  if (stream == nullptr) return nullptr;
  DirIndex fresh;
  fresh.built_at = mtime;
  while (const dirent* entry = readdir(stream)) {
    const std::string_view name(entry->d_name);
    if (name != "." && name != "..") AddName(fresh, name);
  }
  closedir(stream);
  return &(Indexes()[id] = std::move(fresh));
}

std::string ParentOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string_view BaseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string_view(path)
                                    : std::string_view(path).substr(slash + 1);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string ResolvePath(std::string_view path) {
  std::string exact(path);
  if (exact.empty() || Exists(exact)) return exact;

  std::string resolved;
  std::size_t start = 0;
  if (path.front() == '/') {
    resolved = "/";
    start = 1;
  }
  bool parent_exists = true;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view component = path.substr(start, end - start);
    if (!component.empty()) {
      const std::size_t before = resolved.size();
      resolved.append(component);
      if (parent_exists && component != "." && component != ".." && !Exists(resolved)) {
        const std::string dir = before == 0 ? std::string(".") : resolved.substr(0, before);
        const DirIndex* index = CurrentIndex(dir);
        const std::string* match = index ? FindName(*index, component) : nullptr;
        if (match != nullptr) {
          resolved.replace(before, component.size(), *match);
        } else {
          parent_exists = false;
        }
      }
    }
    if (end < path.size()) resolved.push_back('/');
    start = end + 1;
  }
  return resolved;
}

void BeginEntryChange(const std::string& path) {
  DirIdentity id;
  ModTime mtime;
  if (!StatDirectory(ParentOf(path), &id, &mtime)) return;
  auto found = Indexes().find(id);
  // Changed by someone else since it was built: drop it, the next lookup
  // rebuilds it.
  if (found != Indexes().end() && !(found->second.built_at == mtime)) Indexes().erase(found);
}

void EndEntryChange(const std::string& path, bool exists_now) {
  DirIdentity id;
  ModTime mtime;
  if (!StatDirectory(ParentOf(path), &id, &mtime)) return;
  auto found = Indexes().find(id);
  if (found == Indexes().end()) return;
  DirIndex& index = found->second;
  const std::string_view name = BaseName(path);
  if (exists_now) {
    AddName(index, name);
  } else {
    RemoveName(index, name);
  }
  index.built_at = mtime;
}

}  // namespace corvane::os::posix
