#include "files/file_system.h"

#include <algorithm>

#include "platform/name_rules.h"

namespace corvane::os {

struct FileSystem::Directory {
  std::string OnDisk;  // "" (the current directory) or ending in a separator
  std::uint64_t Volume = 0;
  std::uint64_t Index = 0;
  bool Listed = false;
  // A directory that can be searched but not listed (POSIX: execute
  // permission only): names in it are used as given.
  bool Unreadable = false;
  NameListing Names;
  // The spellings already resolved to this directory.
  std::vector<std::string> Spellings;
};

FileSystem::FileSystem(Env* env) : env_(env) {}
FileSystem::~FileSystem() = default;

namespace {

constexpr std::string_view Separators = "\\/";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Where the name part of path begins.
std::size_t NameStartOf(std::string_view path) { return NameStart(path, Separators); }

// A path in a fixed buffer: directory and name joined.
struct Joined {
  char Text[MaxPath + 1];
  std::size_t Length = 0;
  bool Append(std::string_view part) {
    if (Length + part.size() > MaxPath) return false;
    std::copy(part.begin(), part.end(), Text + Length);
    Length += part.size();
    Text[Length] = '\0';
    return true;
  }
  std::string_view View() const { return {Text, Length}; }
};

}  // namespace

FileSystem::Directory* FileSystem::FindDirectory(std::string_view spelt, ErrorCode* error) {
  *error = Ok;
  for (const auto& directory : directories_) {
    if (std::ranges::find(directory->Spellings, spelt) != directory->Spellings.end()) {
      return directory.get();
    }
  }
  // Spelt as on disk: one Stat. Otherwise each component is looked up in
  // the listing of the one before it.
  std::string on_disk(spelt);
  EntryInfo info;
  const auto is_directory = [&](std::string_view path) {
    return env_->Stat(path.empty() ? std::string_view(".") : path, &info) == Ok &&
           info.Kind == EntryKind::Directory;
  };
  if (!is_directory(spelt) && (!SpellOnDisk(spelt, &on_disk, error) || !is_directory(on_disk))) {
    return nullptr;
  }
  // One directory reached by two spellings ("in\", ".\IN\") shares one
  // listing, so the program's own changes show in both.
  Directory* directory = nullptr;
  for (const auto& known : directories_) {
    if (known->Volume == info.Volume && known->Index == info.Index) directory = known.get();
  }
  if (directory == nullptr) {
    directories_.push_back(std::make_unique<Directory>());
    directory = directories_.back().get();
    directory->OnDisk = on_disk;
    directory->Volume = info.Volume;
    directory->Index = info.Index;
  }
  directory->Spellings.emplace_back(spelt);
  return directory;
}

bool FileSystem::SpellOnDisk(std::string_view spelt, std::string* on_disk, ErrorCode* error) {
  std::size_t at = std::min(spelt.find_first_not_of(Separators), spelt.size());
  on_disk->assign(spelt.substr(0, at));
  while (at < spelt.size()) {
    const std::size_t end = std::min(spelt.find_first_of(Separators, at), spelt.size());
    std::string_view name = spelt.substr(at, end - at);
    at = spelt.find_first_not_of(Separators, end);
    // The exact name wins, and asks for no listing of the parent.
    std::string exact = *on_disk;
    exact.append(name);
    EntryInfo info;
    const bool spelt_so = env_->Stat(exact, &info) == Ok && info.Kind == EntryKind::Directory;
    if (!spelt_so && name != "." && name != "..") {
      Directory* parent = FindDirectory(*on_disk, error);
      if (parent == nullptr || (*error = Listing(parent)) != Ok) return false;
      NameListing::Held held;
      const auto find = [&] {
        return parent->Unreadable ||
               (parent->Names.Find(name, &held) && held.Kind == EntryKind::Directory);
      };
      // A directory part that misses is rare enough to list again for: one
      // made since the listing is then found.
      if (!find()) {
        parent->Listed = false;
        if ((*error = Listing(parent)) != Ok || !find()) return false;
      }
      if (!parent->Unreadable) name = held.Name;
    }
    on_disk->append(name).push_back('\\');
  }
  return true;
}

ErrorCode FileSystem::Listing(Directory* directory) {
  if (directory->Listed) return Ok;
  directory->Names.Clear();
  const ErrorCode error = env_->ListDirectory(directory->OnDisk, &directory->Names);
  if (error != Ok && error != AccessDenied) return error;
  directory->Names.Seal();
  directory->Unreadable = error == AccessDenied;
  directory->Listed = true;
  return Ok;
}

ErrorCode FileSystem::Resolve(std::string_view path, Resolved* resolved) {
  *resolved = Resolved{};
  if (path.size() > MaxPath) return NameTooLong;
  const std::size_t name_at = NameStartOf(path);
  ErrorCode error = Ok;
  Directory* directory = FindDirectory(path.substr(0, name_at), &error);
  if (directory == nullptr) return error;
  CORVANE_RETURN_IF_ERROR(Listing(directory));
  const std::string_view asked = path.substr(name_at);
  std::string_view name = asked;
  resolved->Where = directory;
  if (asked.empty()) {
    resolved->Held = true;
    resolved->Kind = EntryKind::Directory;
  } else if (directory->Unreadable) {
    resolved->Held = true;  // unknown: the operation itself will tell
    resolved->Kind = EntryKind::Plain;
  } else {
    NameListing::Held held;
    resolved->Held = directory->Names.Find(asked, &held);
    if (resolved->Held) {
      name = held.Name;
      resolved->Kind = held.Kind;
      resolved->Link = held.Link;
    }
  }
  Joined joined;
  if (!joined.Append(directory->OnDisk) || !joined.Append(name)) return NameTooLong;
  std::copy(joined.Text, joined.Text + joined.Length + 1, resolved->Path);
  resolved->Length = joined.Length;
  resolved->NameAt = directory->OnDisk.size();
  return Ok;
}

bool FileSystem::ResolveAgain(std::string_view path, Resolved* resolved) {
  Directory* directory = resolved->Where;
  if (directory == nullptr || directory->Unreadable) return false;
  directory->Listed = false;
  return Resolve(path, resolved) == Ok && resolved->Held;
}

ErrorCode FileSystem::OpenExisting(std::string_view path, FileAccess access, FileHandle* file,
                                   std::uint64_t* length) {
  Resolved entry;
  CORVANE_RETURN_IF_ERROR(Resolve(path, &entry));
  if (entry.Where == nullptr) return PathNotFound;
  if (!entry.Held) return FileNotFound;
  ErrorCode error = env_->Open(entry.View(), access, file, length);
  if (error == FileNotFound && ResolveAgain(path, &entry)) {
    error = env_->Open(entry.View(), access, file, length);
  }
  return error;
}

ErrorCode FileSystem::CreateTruncated(std::string_view path, FileHandle* file) {
  Resolved entry;
  CORVANE_RETURN_IF_ERROR(Resolve(path, &entry));
  if (entry.Where == nullptr) return PathNotFound;
  if (!IsWin32Name(entry.Name())) return InvalidName;
  // Only plain files: a link that points nowhere would create its target,
  // under a name this run never asked for.
  if (entry.Held && entry.Kind == EntryKind::Other) return AccessDenied;
  const ErrorCode error = env_->Create(entry.View(), file);
  if (error == Ok && !entry.Held) entry.Where->Names.Add(entry.Name(), EntryKind::Plain);
  return error;
}

ErrorCode FileSystem::RemoveFile(std::string_view path) {
  Resolved entry;
  CORVANE_RETURN_IF_ERROR(Resolve(path, &entry));
  if (entry.Where == nullptr) return PathNotFound;
  if (!entry.Held) return FileNotFound;
  ErrorCode error = env_->Delete(entry.View());
  if (error == FileNotFound && ResolveAgain(path, &entry)) error = env_->Delete(entry.View());
  if (error == Ok) entry.Where->Names.Remove(entry.Name());
  return error;
}

ErrorCode FileSystem::Move(std::string_view from, std::string_view to, bool replace) {
  Resolved source;
  Resolved target;
  CORVANE_RETURN_IF_ERROR(Resolve(from, &source));
  CORVANE_RETURN_IF_ERROR(Resolve(to, &target));
  if (source.Where == nullptr || target.Where == nullptr) return PathNotFound;
  if (!IsWin32Name(target.Name())) return InvalidName;
  if (!source.Held) return FileNotFound;
  // Only a plain file moves, or is replaced: a link would leave its data
  // behind.
  if (source.Link || source.Kind != EntryKind::Plain) return AccessDenied;
  if (target.Held && !target.Where->Unreadable) {
    if (!replace) return AlreadyExists;
    if (target.Link || target.Kind != EntryKind::Plain) return AccessDenied;
  }
  const auto rename = [&] {
    return replace ? env_->Replace(source.View(), target.View())
                   : env_->Rename(source.View(), target.View());
  };
  ErrorCode error = rename();
  if (error == FileNotFound && ResolveAgain(from, &source)) error = rename();
  if (error == NotSameDevice && !replace) {
    error = CopyAcross(source.View(), target.View());
    // A copy that failed half-way may have taken the source: both
    // directories are listed afresh for what the caller looks at next.
    if (error != Ok) source.Where->Listed = target.Where->Listed = false;
  }
  if (error != Ok) return error;
  source.Where->Names.Remove(source.Name());
  if (!target.Held) target.Where->Names.Add(target.Name(), EntryKind::Plain);
  return Ok;
}

bool FileSystem::CopyNameFor(std::string_view to, std::string* copy) {
  const std::size_t name_at = NameStartOf(to);
  copy->assign(to.substr(0, name_at)).append(".").append(to.substr(name_at)).append(".part");
  return copy->size() <= MaxPath;
}

ErrorCode FileSystem::CopyAcross(std::string_view from, std::string_view to) {
  // The copy is made under a hidden name beside the target, which no search
  // delivers; the source goes once the copy is whole, and only then does the
  // copy take the target's name. A run killed at any point leaves the file
  // once, under its name or the hidden one, and FinishMove tells which.
  std::string copy;
  if (!CopyNameFor(to, &copy)) return NameTooLong;
  ErrorCode error = env_->CopyNew(from, copy);
  if (error == AlreadyExists) {  // its source is still there: a copy a killed run left
    (void)env_->Delete(copy);
    error = env_->CopyNew(from, copy);
  }
  if (error == Ok) error = env_->Delete(from);
  if (error != Ok) {
    (void)env_->Delete(copy);
    return error;
  }
  return env_->Rename(copy, to);
}

ErrorCode FileSystem::FinishMove(std::string_view from, std::string_view to) {
  std::string copy;
  Found found[3];
  if (!CopyNameFor(to, &copy)) return Ok;
  CORVANE_RETURN_IF_ERROR(Look(copy, &found[0]));
  if (found[0] != Found::PlainFile) return Ok;
  CORVANE_RETURN_IF_ERROR(Look(from, &found[1]));
  CORVANE_RETURN_IF_ERROR(Look(to, &found[2]));
  if (found[1] != Found::Nothing || found[2] != Found::Nothing) return RemoveFile(copy);
  return MoveFileTo(copy, to);
}

ErrorCode FileSystem::Look(std::string_view path, Found* found) {
  *found = Found::Nothing;
  Resolved entry;
  CORVANE_RETURN_IF_ERROR(Resolve(path, &entry));
  if (entry.Where == nullptr || !entry.Held) return Ok;
  EntryInfo info;
  if (entry.Where->Unreadable) {  // no listing to tell: ask the entry itself
    const ErrorCode error = env_->Stat(entry.View(), &info);
    if (error == FileNotFound) return Ok;
    CORVANE_RETURN_IF_ERROR(error);
    *found = info.Kind == EntryKind::Plain ? Found::PlainFile : Found::Other;
    return Ok;
  }
  *found = entry.Kind == EntryKind::Plain && !entry.Link ? Found::PlainFile : Found::Other;
  return Ok;
}

ErrorCode FileSystem::CheckDirectory(std::string_view path) {
  Joined spelt;
  if (!spelt.Append(path)) return PathNotFound;
  if (!path.empty() && !IsSeparator(path.back()) && !spelt.Append("\\")) return PathNotFound;
  ErrorCode error = Ok;
  return FindDirectory(spelt.View(), &error) != nullptr ? Ok : PathNotFound;
}

ErrorCode FileSystem::LockDirectory(std::string_view path, FileHandle* lock) {
  ErrorCode error = Ok;
  const Directory* directory = FindDirectory(path, &error);
  if (directory == nullptr) return error != Ok ? error : PathNotFound;
  return env_->LockDirectory(directory->OnDisk, lock);
}

bool FileSystem::SameEntry(std::string_view a, std::string_view b) {
  EntryInfo info[2];
  const std::string_view paths[2] = {a, b};
  for (int i = 0; i < 2; ++i) {
    const std::string_view path = paths[i];
    ErrorCode error = Ok;
    if (path.empty() || IsSeparator(path.back())) {
      const Directory* directory = FindDirectory(path, &error);
      if (directory == nullptr) return false;
      info[i].Volume = directory->Volume;
      info[i].Index = directory->Index;
    } else {
      Resolved entry;
      if (Resolve(path, &entry) != Ok || entry.Where == nullptr || !entry.Held ||
          env_->Stat(entry.View(), &info[i]) != Ok) {
        return false;
      }
    }
  }
  return info[0].Volume == info[1].Volume && info[0].Index == info[1].Index;
}

namespace {

// Collects the names of a listing that a search delivers.
class Matcher final : public ListingVisitor {
 public:
  Matcher(std::string_view pattern, std::string* names, std::vector<std::uint32_t>* offsets)
      : pattern_(pattern), names_(names), offsets_(offsets) {}
  void Visit(const ListedEntry& entry) override {
    if (entry.Kind != EntryKind::Plain || entry.Hidden || !IsDeliverableName(entry.Name) ||
        !WildcardMatch(pattern_, entry.Name)) {
      return;
    }
    offsets_->push_back(static_cast<std::uint32_t>(names_->size()));
    names_->push_back(static_cast<char>(entry.Name.size()));
    names_->append(entry.Name);
  }

 private:
  std::string_view pattern_;
  std::string* names_;
  std::vector<std::uint32_t>* offsets_;
};

bool Fill(std::string_view name, const EntryInfo& info, DirEntry* entry) {
  if (info.Kind != EntryKind::Plain || info.Hidden || !IsDeliverableName(name)) return false;
  std::copy(name.begin(), name.end(), entry->Name);
  entry->Name[name.size()] = '\0';
  entry->NameLength = name.size();
  entry->Size = info.Size;
  return true;
}

}  // namespace

std::string_view DirectorySearch::NameAt(std::uint32_t offset) const {
  return std::string_view(names_).substr(offset + 1, static_cast<unsigned char>(names_[offset]));
}

ErrorCode DirectorySearch::Start(FileSystem* fs, std::string_view mask, DirEntry* entry) {
  fs_ = fs;
  directory_.clear();
  names_.clear();
  offsets_.clear();
  next_ = 0;
  if (mask.size() > MaxPath) return NameTooLong;
  const std::size_t name_at = NameStartOf(mask);
  const std::string_view pattern = mask.substr(name_at);
  if (pattern.empty()) return FileNotFound;

  if (!HasWildcards(pattern)) {
    // A probe for one name: the listing answers, one Stat gives its size.
    if (!IsWin32Name(pattern)) return FileNotFound;
    FileSystem::Resolved found;
    CORVANE_RETURN_IF_ERROR(fs->Resolve(mask, &found));
    if (found.Where == nullptr) return PathNotFound;
    if (!found.Held) return FileNotFound;
    EntryInfo info;
    ErrorCode error = fs->OsEnv().Stat(found.View(), &info);
    if (error == FileNotFound && fs->ResolveAgain(mask, &found)) {
      error = fs->OsEnv().Stat(found.View(), &info);
    }
    return error == Ok && Fill(found.Name(), info, entry) ? Ok : FileNotFound;
  }

  ErrorCode error = Ok;
  const FileSystem::Directory* directory = fs->FindDirectory(mask.substr(0, name_at), &error);
  if (directory == nullptr) return error != Ok ? error : PathNotFound;
  directory_ = directory->OnDisk;
  // A listing of its own, keeping only the names that match: a search of
  // the markers among a hundred thousand moved files holds the markers.
  Matcher matcher(pattern, &names_, &offsets_);
  CORVANE_RETURN_IF_ERROR(fs->OsEnv().ListDirectory(directory_, &matcher));
  std::sort(offsets_.begin(), offsets_.end(),
            [this](std::uint32_t a, std::uint32_t b) { return NameBefore(NameAt(a), NameAt(b)); });
  return Next(entry) ? Ok : FileNotFound;
}

bool DirectorySearch::Next(DirEntry* entry) {
  while (next_ < offsets_.size()) {
    const std::string_view name = NameAt(offsets_[next_++]);
    Joined path;
    EntryInfo info;
    if (path.Append(directory_) && path.Append(name) &&
        fs_->OsEnv().Stat(path.View(), &info) == Ok && Fill(name, info, entry)) {
      return true;
    }
  }
  return false;
}

}  // namespace corvane::os
