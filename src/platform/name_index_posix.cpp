#include "platform/name_index_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/name_rules.h"

namespace corvane::os::posix {
namespace {

// FNV-1a over the name (case-folded or as it stands), then Murmur3's
// finaliser, so that the low bits a table keeps depend on every byte.
std::uint64_t HashName(std::string_view name, bool folded) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char c : name) {
    hash ^= static_cast<unsigned char>(folded ? FoldCase(c) : c);
    hash *= 1099511628211ULL;
  }
  hash ^= hash >> 33;
  hash *= 0xFF51AFD7ED558CCDULL;
  hash ^= hash >> 33;
  hash *= 0xC4CEB9FE1A85EC53ULL;
  return hash ^ (hash >> 33);
}

// The names of one directory. One arena holds each name after two bytes, its
// length and its kind; an open-addressing table with linear probing holds
// the arena offsets, placed by the case-folded name, so names equal ignoring
// case lie in one probe run. A removed name leaves a dead record, reclaimed
// when dead records outweigh live ones. The table is kept between a quarter
// and half full: each name takes its length plus 10 to 18 bytes, with no
// allocation per name.
class NameTable {
 public:
  static constexpr std::uint32_t None = 0xFFFFFFFF;

  // The record of the exact name when held, else of the smallest in byte
  // order of those equal to it ignoring case; None when there is none.
  std::uint32_t Find(std::string_view name) const {
    std::uint32_t best = None;
    if (slots_.empty()) return best;
    for (std::size_t i = Home(name); slots_[i] != 0; i = (i + 1) & (slots_.size() - 1)) {
      const std::uint32_t record = slots_[i] - 1;
      const std::string_view held = NameAt(record);
      if (!EqualIgnoringCase(held, name)) continue;
      if (held == name) return record;
      if (best == None || held < NameAt(best)) best = record;
    }
    return best;
  }
  std::string_view NameAt(std::uint32_t record) const {
    return {arena_.data() + record + 2, static_cast<unsigned char>(arena_[record])};
  }
  EntryKind KindAt(std::uint32_t record) const {
    return static_cast<EntryKind>(arena_[record + 1]);
  }
  std::size_t Count() const { return count_; }
  // The sum of the hashes of the names held: two listings with the same
  // count and signature hold the same names.
  std::uint64_t Signature() const { return signature_; }

  void Add(std::string_view name, EntryKind kind) {
    if (name.empty() || name.size() > 255) return;
    if (const std::size_t slot = SlotOf(name); slot != slots_.size()) {
      arena_[slots_[slot]] = static_cast<char>(kind);  // the kind byte of the record
      return;
    }
    if ((count_ + 1) * 2 > slots_.size()) Rebuild(std::max<std::size_t>(16, slots_.size() * 2));
    const auto record = static_cast<std::uint32_t>(arena_.size());
    arena_.push_back(static_cast<char>(name.size()));
    arena_.push_back(static_cast<char>(kind));
    arena_.insert(arena_.end(), name.begin(), name.end());
    Place(record);
    ++count_;
    signature_ += HashName(name, false);
  }

  void Remove(std::string_view name) {
    std::size_t hole = SlotOf(name);
    if (hole == slots_.size()) return;
    arena_[slots_[hole]] = DeadRecord;
    dead_bytes_ += 2 + name.size();
    --count_;
    signature_ -= HashName(name, false);
    // Backward-shift deletion: a later entry of the run moves into the hole
    // unless its home slot lies cyclically in (hole, its slot].
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = (hole + 1) & mask; slots_[i] != 0; i = (i + 1) & mask) {
      const std::size_t home = Home(NameAt(slots_[i] - 1));
      const bool stays = hole < i ? hole < home && home <= i : hole < home || home <= i;
      if (!stays) {
        slots_[hole] = slots_[i];
        hole = i;
      }
    }
    slots_[hole] = 0;
    if (dead_bytes_ > 4096 && dead_bytes_ > arena_.size() / 2) Rebuild(slots_.size());
  }

  void Clear() {
    arena_.clear();
    std::fill(slots_.begin(), slots_.end(), 0);
    count_ = dead_bytes_ = 0;
    signature_ = 0;
  }

 private:
  static constexpr char DeadRecord = 0x7F;

  std::size_t Home(std::string_view name) const {
    return HashName(name, true) & (slots_.size() - 1);
  }
  // The slot holding exactly name, or slots_.size().
  std::size_t SlotOf(std::string_view name) const {
    if (slots_.empty()) return 0;
    for (std::size_t i = Home(name); slots_[i] != 0; i = (i + 1) & (slots_.size() - 1)) {
      if (NameAt(slots_[i] - 1) == name) return i;
    }
    return slots_.size();
  }
  void Place(std::uint32_t record) {
    std::size_t i = Home(NameAt(record));
    while (slots_[i] != 0) i = (i + 1) & (slots_.size() - 1);
    slots_[i] = record + 1;
  }
  // Drops the dead records from the arena and places every name again in a
  // table of slot_count slots.
  void Rebuild(std::size_t slot_count) {
    const auto record_size = [this](std::size_t at) {
      return 2 + static_cast<std::size_t>(static_cast<unsigned char>(arena_[at]));
    };
    if (dead_bytes_ > 0) {
      std::vector<char> live;
      live.reserve(arena_.size() - dead_bytes_);
      for (std::size_t at = 0; at < arena_.size(); at += record_size(at)) {
        if (arena_[at + 1] != DeadRecord) {
          live.insert(live.end(), arena_.begin() + static_cast<std::ptrdiff_t>(at),
                      arena_.begin() + static_cast<std::ptrdiff_t>(at + record_size(at)));
        }
      }
      arena_.swap(live);
      dead_bytes_ = 0;
    }
    slots_.assign(slot_count, 0);
    for (std::size_t at = 0; at < arena_.size(); at += record_size(at)) {
      Place(static_cast<std::uint32_t>(at));
    }
  }

  std::vector<char> arena_;
  std::vector<std::uint32_t> slots_;  // record offset + 1; 0 is a free slot
  std::size_t count_ = 0;
  std::size_t dead_bytes_ = 0;
  std::uint64_t signature_ = 0;
};

EntryKind KindOf(unsigned char type) {
  switch (type) {
    case DT_REG:
      return EntryKind::Plain;
    case DT_DIR:
      return EntryKind::Directory;
    case DT_LNK:
      return EntryKind::Link;
    case DT_UNKNOWN:
      return EntryKind::Unknown;
    default:
      return EntryKind::Other;
  }
}

bool Later(const timespec& a, const timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// After this many rescans that followed the program's own changes and found
// nothing new, the directory's clock is taken not to be this machine's.
constexpr int MaxClockDisagreements = 3;

// The part of a name after its last dot ("" when it has none).
std::string_view ExtensionOf(std::string_view name) {
  const std::size_t dot = name.find_last_of('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

// Which names an index holds. A directory is mostly asked for one kind of
// name (the markers in BadTics, say, among thousands of moved files), so an
// index holds only the names with the extension first asked for, ignoring
// case; a name with another extension makes it hold every name. Names equal
// ignoring case have equal extensions, so a held name's case twins are held
// too. The cost: at most one scan more per directory.
class Coverage {
 public:
  bool Covers(std::string_view name) const { return Holds(ExtensionOf(name)); }
  void Widen(std::string_view name) { Add(ExtensionOf(name)); }
  void Widen(const Coverage& other) {
    if (other.all_) all_ = true;
    if (other.set_) Add(other.extension_);
  }

 private:
  bool Holds(std::string_view extension) const {
    return all_ || (set_ && EqualIgnoringCase(extension, extension_));
  }
  void Add(std::string_view extension) {
    if (!set_) {
      extension_.assign(extension);
      set_ = true;
    }
    all_ = all_ || !Holds(extension);
  }

  bool set_ = false;
  bool all_ = false;
  std::string extension_;
};

// The index of one directory, shared by every spelling of it.
struct DirIndex {
  dev_t Device = 0;
  ino_t Inode = 0;
  bool Built = false;          // names hold a listing, kept current since
  timespec Seen{};             // the modification time the names answer for
  bool OwnChange = false;      // the program changed the directory since
  timespec OwnChangeTime{};    // the clock just after its last change there
  int ClockDisagreements = 0;  // see MaxClockDisagreements
  Coverage Covered;            // which names a scan keeps
  NameTable Names;
};

}  // namespace

// One spelling of a directory part, as the program writes it, and where it
// leads on disk.
struct DirSpelling {
  std::string Given;          // "" or ending in "/"
  std::string OnDisk;         // the same, each component as it stands on disk
  DirIndex* Index = nullptr;  // null once the directory has gone from there
};

namespace {

struct Registry {
  std::vector<std::unique_ptr<DirIndex>> Indexes;
  std::vector<std::unique_ptr<DirSpelling>> Spellings;
  std::size_t Scans = 0;
};

// Kept until the process ends; nothing to tear down at exit.
Registry& State() {
  static Registry& registry = *new Registry;
  return registry;
}

const char* DirPath(const std::string& on_disk) { return on_disk.empty() ? "." : on_disk.c_str(); }

DirIndex* IndexOf(const struct stat& st) {
  for (const auto& index : State().Indexes) {
    if (index->Device == st.st_dev && index->Inode == st.st_ino) return index.get();
  }
  auto& index = State().Indexes.emplace_back(std::make_unique<DirIndex>());
  index->Device = st.st_dev;
  index->Inode = st.st_ino;
  return index.get();
}

// Reads the directory into its index (another index when another directory
// now stands at its path). 0, or -1 with errno set.
int Scan(DirSpelling* dir) {
  const int fd = open(DirPath(dir->OnDisk), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  DIR* stream = fstat(fd, &st) == 0 ? fdopendir(fd) : nullptr;
  if (stream == nullptr) {
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  const DirIndex* const before = dir->Index;
  dir->Index = IndexOf(st);
  DirIndex& index = *dir->Index;
  if (before != nullptr) index.Covered.Widen(before->Covered);
  index.Names.Clear();
  index.Built = false;
  errno = 0;
  while (const dirent* entry = readdir(stream)) {
    const std::string_view name(entry->d_name);
    if (name != "." && name != ".." && index.Covered.Covers(name)) {
      index.Names.Add(name, KindOf(entry->d_type));
    }
  }
  const int error = errno;
  closedir(stream);
  if (error != 0) {
    errno = error;
    return -1;
  }
  index.Built = true;
  index.Seen = st.st_mtim;
  index.OwnChange = false;
  ++State().Scans;
  return 0;
}

// True when index, built, still answers for the directory whose stat is st:
// the modification time it answers for, or a later one that the program's
// own changes account for (then taken as seen).
bool StillCurrent(DirIndex* index, const struct stat& st) {
  const bool after_own_change = index->OwnChange;
  index->OwnChange = false;
  if (!Later(st.st_mtim, index->Seen) && !Later(index->Seen, st.st_mtim)) return true;
  if (after_own_change && (index->ClockDisagreements >= MaxClockDisagreements ||
                           !Later(st.st_mtim, index->OwnChangeTime))) {
    index->Seen = st.st_mtim;
    return true;
  }
  return false;
}

// Makes dir's index answer for the directory as it stands: one stat, and a
// rescan when another program changed it. 0, or -1 with errno set.
int Check(DirSpelling* dir) {
  DirIndex* index = dir->Index;
  if (!index->Built) return Scan(dir);
  struct stat st {};
  if (stat(DirPath(dir->OnDisk), &st) != 0) return -1;
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return -1;
  }
  if (st.st_dev != index->Device || st.st_ino != index->Inode) return Scan(dir);
  const bool after_own_change = index->OwnChange;
  if (StillCurrent(index, st)) return 0;
  const std::size_t count = index->Names.Count();
  const std::uint64_t signature = index->Names.Signature();
  if (Scan(dir) != 0) return -1;
  if (after_own_change && dir->Index == index && index->Names.Count() == count &&
      index->Names.Signature() == signature) {
    ++index->ClockDisagreements;  // stamped later than this machine's clock, yet unchanged
  }
  return 0;
}

void NoteOwnChange(DirIndex* index) {
  index->OwnChange = true;
  clock_gettime(CLOCK_REALTIME, &index->OwnChangeTime);
}

void ForgetAll() {
  for (const auto& index : State().Indexes) index->Built = false;
}

enum class Answer { Held, Missing, Unlisted, DirectoryGone };

struct Match {
  Answer Result = Answer::Missing;
  std::string_view Name;  // the held name; valid until the index changes
  EntryKind Kind = EntryKind::Unknown;
};

// Looks name up in dir's index, built first if need be; when it is not held
// and on_miss says so, checks the directory and looks again. 0, or -1 with
// errno set when the directory cannot be read.
int FindIn(DirSpelling* dir, std::string_view name, OnMiss on_miss, Match* match) {
  if (DirIndex* index = dir->Index; !index->Covered.Covers(name)) {
    index->Covered.Widen(name);
    index->Built = false;
  }
  const bool checked = !dir->Index->Built;
  int result = checked ? Scan(dir) : 0;
  std::uint32_t record = NameTable::None;
  if (result == 0) record = dir->Index->Names.Find(name);
  if (result == 0 && record == NameTable::None && on_miss == OnMiss::CheckDirectory && !checked) {
    result = Check(dir);
    if (result == 0) record = dir->Index->Names.Find(name);
  }
  if (result != 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      dir->Index = nullptr;
      match->Result = Answer::DirectoryGone;
      return 0;
    }
    if (errno != EACCES) return -1;
    match->Result = Answer::Unlisted;
    return 0;
  }
  if (record == NameTable::None) {
    match->Result = Answer::Missing;
  } else {
    *match = {Answer::Held, dir->Index->Names.NameAt(record), dir->Index->Names.KindAt(record)};
  }
  return 0;
}

// The spelling record of the directory part given ("" or ending in "/");
// *dir stays null when no such directory exists. 0, or -1 with errno set
// when a directory on the way cannot be read.
int SpellingOf(std::string_view given, DirSpelling** dir) {
  *dir = nullptr;
  DirSpelling* known = nullptr;
  for (const auto& spelling : State().Spellings) {
    if (spelling->Given == given) known = spelling.get();
  }
  if (known != nullptr && known->Index != nullptr) {
    *dir = known;
    return 0;
  }
  std::string on_disk(given);
  struct stat st {};
  if (stat(DirPath(on_disk), &st) != 0) {
    // Not there as spelt: its last component may be there in another case.
    std::string_view body = given;
    while (!body.empty() && body.back() == '/') body.remove_suffix(1);
    const std::size_t name_at = body.find_last_of('/') + 1;
    const std::string_view component = body.substr(name_at);
    if (component.empty() || component == "." || component == "..") return 0;
    DirSpelling* parent = nullptr;
    if (SpellingOf(given.substr(0, name_at), &parent) != 0) return -1;
    // Twice at most: a name the parent's index held may have gone.
    for (int attempt = 0;; ++attempt) {
      Match match;
      if (parent == nullptr || FindIn(parent, component, OnMiss::CheckDirectory, &match) != 0) {
        return parent == nullptr ? 0 : -1;
      }
      if (match.Result != Answer::Held) return 0;
      on_disk = parent->OnDisk;
      on_disk.append(match.Name).append("/");
      if (stat(on_disk.c_str(), &st) == 0) break;
      if (errno != ENOENT || attempt > 0 || parent->Index == nullptr) return 0;
      parent->Index->Names.Remove(
          std::string_view(on_disk).substr(parent->OnDisk.size(), match.Name.size()));
    }
  }
  if (!S_ISDIR(st.st_mode)) return 0;
  // Another directory may stand where one was indexed before (its inode
  // freed and used again): an index that no longer answers is read again,
  // for the names asked for from now on.
  DirIndex* index = IndexOf(st);
  if (index->Built && !StillCurrent(index, st)) {
    index->Built = false;
    index->Covered = Coverage();
  }
  if (known == nullptr) {
    known = State().Spellings.emplace_back(std::make_unique<DirSpelling>()).get();
    known->Given = given;
  }
  known->OnDisk = std::move(on_disk);
  known->Index = index;
  *dir = known;
  return 0;
}

}  // namespace

// Everything that fills or follows a Lookup.
class Resolver {
 public:
  static int Resolve(std::string_view path, Lookup* lookup, OnMiss on_miss) {
    const std::size_t name_at = path.find_last_of('/') + 1;
    const std::string_view name = path.substr(name_at);
    lookup->path_.Assign(path);
    lookup->name_at_ = name_at;
    lookup->directory_ = nullptr;
    lookup->found_ = false;
    lookup->kind_ = EntryKind::Unknown;
    lookup->asked_length_ = std::min(name.size(), sizeof lookup->asked_);
    std::memcpy(lookup->asked_, name.data(), lookup->asked_length_);
    // A directory that has gone from where its spelling led is looked for
    // once more from the start.
    for (int attempt = 0; attempt < 2; ++attempt) {
      DirSpelling* dir = nullptr;
      if (SpellingOf(path.substr(0, name_at), &dir) != 0) return -1;
      if (dir == nullptr) return 0;
      Match match;
      if (name.empty()) {
        match = {Answer::Held, name, EntryKind::Directory};
      } else if (name == "." || name == ".." || name.size() > 255) {
        match.Result = name.size() > 255 ? Answer::Missing : Answer::Held;
        match.Name = name;
      } else if (FindIn(dir, name, on_miss, &match) != 0) {
        return -1;
      }
      if (match.Result == Answer::DirectoryGone) continue;
      lookup->directory_ = dir;
      lookup->found_ = match.Result != Answer::Missing;
      lookup->kind_ = match.Kind;
      lookup->path_.Assign(dir->OnDisk);
      lookup->name_at_ = lookup->path_.Size();
      lookup->path_.Append(match.Result == Answer::Held ? match.Name : name);
      return 0;
    }
    return 0;
  }

  static bool ResolveAgain(Lookup* lookup) {
    DirSpelling* const dir = lookup->directory_;
    struct stat st {};
    // Still there (a link to nothing, say): the index was right.
    if (!lookup->found_ || dir == nullptr || lstat(lookup->path_.CStr(), &st) == 0) {
      errno = ENOENT;
      return false;
    }
    if (const std::string_view name = lookup->Name(); name.empty() || name == "." || name == "..") {
      dir->Index = nullptr;  // the directory itself has gone
    } else if (DirIndex* index = BuiltIndex(lookup)) {
      index->Names.Remove(name);
    }
    PathBuffer path;
    path.Assign(dir->Given);
    path.Append({lookup->asked_, lookup->asked_length_});
    const bool again = Resolve(path.View(), lookup, OnMiss::CheckDirectory) == 0 && lookup->found_;
    errno = ENOENT;
    return again;
  }

  static int Create(Lookup* lookup, int flags) {
    if (lookup->found_ && (flags & O_EXCL) == 0 &&
        lookup->Name() != std::string_view(lookup->asked_, lookup->asked_length_)) {
      // A name in another case is opened as it is, so that if it has gone
      // meanwhile the new file gets the name asked, not that one.
      const int fd =
          OnEntry(lookup, [flags](const char* path) { return open(path, flags & ~O_CREAT); });
      if (fd >= 0 || errno != ENOENT) return fd;
    }
    const bool existed = lookup->found_;
    const int fd = open(lookup->path_.CStr(), flags | O_CREAT, 0666);
    if (fd < 0) return fd;
    struct stat st {};
    if (lookup->kind_ == EntryKind::Link ||
        (existed && lookup->kind_ == EntryKind::Unknown && lstat(lookup->path_.CStr(), &st) == 0 &&
         S_ISLNK(st.st_mode))) {
      // Created through a symbolic link: it may have appeared in any
      // directory, so no index can be trusted after it.
      ForgetAll();
    } else if (!existed) {
      Learn(lookup, EntryKind::Plain);
    }
    return fd;
  }

  static int Remove(Lookup* lookup) {
    const int result = unlink(lookup->path_.CStr());
    const int error = errno;
    DirIndex* index = BuiltIndex(lookup);
    if (index != nullptr && (result == 0 || error == ENOENT)) {
      index->Names.Remove(lookup->Name());
      if (result == 0) NoteOwnChange(index);
    }
    if (result == 0 || error == ENOENT) lookup->found_ = false;
    errno = error;
    return result;
  }

  static int Rename(Lookup* from, Lookup* to) {
    const char* source = from->path_.CStr();
    const char* target = to->path_.CStr();
    int result = renameat2(AT_FDCWD, source, AT_FDCWD, target, RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
      // No atomic no-replace on this file system; the caller's check stands.
      result = rename(source, target);
    }
    if (result != 0) return result;
    if (DirIndex* index = BuiltIndex(from)) {
      index->Names.Remove(from->Name());
      NoteOwnChange(index);
    }
    from->found_ = false;
    Learn(to, from->kind_);
    return 0;
  }

 private:
  static DirIndex* BuiltIndex(const Lookup* lookup) {
    DirIndex* index = lookup->directory_ != nullptr ? lookup->directory_->Index : nullptr;
    return index != nullptr && index->Built ? index : nullptr;
  }
  // The entry lookup names now exists, made by the program.
  static void Learn(Lookup* lookup, EntryKind kind) {
    lookup->found_ = true;
    lookup->kind_ = kind;
    if (DirIndex* index = BuiltIndex(lookup)) {
      if (index->Covered.Covers(lookup->Name())) index->Names.Add(lookup->Name(), kind);
      NoteOwnChange(index);
    }
  }
};

bool PathBuffer::Append(std::string_view text) {
  const std::size_t room = Capacity - length_;
  const std::size_t count = text.size() < room ? text.size() : room;
  std::memcpy(text_ + length_, text.data(), count);
  Truncate(length_ + count);
  return count == text.size();
}

int Resolve(std::string_view path, Lookup* lookup, OnMiss on_miss) {
  return Resolver::Resolve(path, lookup, on_miss);
}

bool ResolveAgain(Lookup* lookup) { return Resolver::ResolveAgain(lookup); }

int CreateEntry(Lookup* lookup, int flags) { return Resolver::Create(lookup, flags); }

int RemoveEntry(Lookup* lookup) { return Resolver::Remove(lookup); }

int RenameEntry(Lookup* from, Lookup* to) { return Resolver::Rename(from, to); }

std::size_t ScanCount() { return State().Scans; }

}  // namespace corvane::os::posix
