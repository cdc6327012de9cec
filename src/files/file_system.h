// Files and directories as the program sees them: names matched without
// regard to ASCII letter case, as Win32 matches them, on every Env.
//
// The rule. A name reaches the entry of exactly that name when there is
// one, else the smallest in byte order of those equal to it ignoring case
// (two such entries can only exist on POSIX). Directory parts of a path are
// resolved by the same rule. A new entry gets exactly the name asked for; a
// name Win32 could not hold (IsWin32Name) is refused with InvalidName, so
// both builds reach the same files. Only plain files are opened, created,
// deleted or moved.
//
// How it is kept cheap. Each directory the run works in is listed once, the
// first time a name in it is looked up, and the listing is kept for the
// run. The program's own creates, moves and deletes go through this class,
// which updates the listings as it goes, so they never cost a second
// listing. A directory path spelt exactly as on disk costs one Stat, and is
// only listed component by component when that fails.
//
// Another program's changes during a run. The listing is trusted: an entry
// another program added after it was taken is not seen by this run (a ticket
// whose file arrives late stays in the inbound for the next run), and a
// create or move may then make a twin of it in another letter case. An entry
// another program removed or renamed is noticed when the operation on it
// fails with FileNotFound: the directory is listed again, and the
// operation is tried once more on what the new listing holds.
//
// Both builds use this one mechanism; the Win32 Env adds only its own
// refusal of names the OS would take for another entry (8.3 short names,
// trailing dots and blanks).
#ifndef CORVANE_FILES_FILE_SYSTEM_H_
#define CORVANE_FILES_FILE_SYSTEM_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "files/name_listing.h"
#include "platform/env.h"

namespace corvane::os {

// One entry as a search delivers it.
struct DirEntry {
  char Name[MaxPath + 1] = {};
  std::size_t NameLength = 0;
  std::uint64_t Size = 0;
  std::string_view View() const { return {Name, NameLength}; }
};

class FileSystem;

// A wildcard search in progress, owned by the caller.
class DirectorySearch {
 public:
  // Starts a search for mask: a directory followed by a pattern in which "*"
  // stands for any run of characters and "?" for one, letter case ignored,
  // matched against the whole name. Only plain files are delivered: not
  // directories, not hidden entries, not names Win32 could not hold. Entries
  // come sorted by name ignoring ASCII case, ties in byte order (as NTFS
  // lists them), each with the size it has when its turn comes; one that has
  // gone by then is passed over. A pattern without wildcards is a probe for
  // one name. Returns Ok with *entry filled; FileNotFound when nothing
  // matches; PathNotFound when the directory does not exist; another error
  // when the directory cannot be read.
  ErrorCode Start(FileSystem* fs, std::string_view mask, DirEntry* entry);
  // The next entry; false at the end.
  bool Next(DirEntry* entry);

 private:
  std::string_view NameAt(std::uint32_t offset) const;

  FileSystem* fs_ = nullptr;
  std::string directory_;
  // The matching names in one buffer, each after its length byte.
  std::string names_;
  std::vector<std::uint32_t> offsets_;
  std::size_t next_ = 0;
};

class FileSystem {
 public:
  explicit FileSystem(Env* env);
  ~FileSystem();
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;

  Env& OsEnv() const { return *env_; }

  // Opens an existing plain file; never creates one. *length gets its
  // length.
  ErrorCode OpenExisting(std::string_view path, FileAccess access, FileHandle* file,
                         std::uint64_t* length);
  // Creates a plain file, or truncates the one the name reaches (which keeps
  // the name it has on disk).
  ErrorCode CreateTruncated(std::string_view path, FileHandle* file);
  ErrorCode RemoveFile(std::string_view path);
  // Moves a plain file to another path, never replacing a target:
  // AlreadyExists when one stands there in any letter case.
  ErrorCode MoveFileTo(std::string_view from, std::string_view to) { return Move(from, to, false); }
  // Puts the plain file from in the place of the plain file to (or where
  // none is), in one step; both in the same directory.
  ErrorCode ReplaceFile(std::string_view from, std::string_view to) { return Move(from, to, true); }
  // Ends a move of from to to across file systems that a killed run left
  // half done. The copy is made under a hidden name beside to and the source
  // deleted before the copy takes its name, so a hidden copy whose source is
  // gone is the file itself and takes its name now; one whose source is
  // still there goes.
  ErrorCode FinishMove(std::string_view from, std::string_view to);
  // What a name reaches; an error when its directory cannot be read, for
  // no caller may take that for "nothing there".
  enum class Found { Nothing, PlainFile, Other };  // Other: a directory, link or device
  ErrorCode Look(std::string_view path, Found* found);
  // The hidden name a move across file systems copies to, beside to.
  static bool CopyNameFor(std::string_view to, std::string* copy);
  // Ok when path names an existing directory; PathNotFound otherwise.
  ErrorCode CheckDirectory(std::string_view path);
  // Env::LockDirectory on the directory path names, however it is spelt.
  ErrorCode LockDirectory(std::string_view path, FileHandle* lock);
  // True when both paths name one existing file or directory, however they
  // are spelt ("in\", "IN\", ".\in\").
  bool SameEntry(std::string_view a, std::string_view b);

 private:
  friend class DirectorySearch;

  struct Directory;
  // A path as the rule resolves it.
  struct Resolved {
    Directory* Where = nullptr;  // null when no such directory exists
    bool Held = false;           // the name part reaches an entry
    EntryKind Kind = EntryKind::Other;
    bool Link = false;
    char Path[MaxPath + 1] = {};  // the on-disk path (the name as asked when not held)
    std::size_t Length = 0;
    std::size_t NameAt = 0;
    std::string_view View() const { return {Path, Length}; }
    std::string_view Name() const { return View().substr(NameAt); }
  };

  // The on-disk spelling of a directory part ("" or ending in a separator);
  // null when it does not exist. *error gets a failure to read a directory.
  Directory* FindDirectory(std::string_view spelt, ErrorCode* error);
  // The on-disk spelling of a directory part that is not spelt as on disk:
  // each component looked up in the listing of the one before it. False
  // when one is not there.
  bool SpellOnDisk(std::string_view spelt, std::string* on_disk, ErrorCode* error);
  // The listing of a directory, taken now if it is not yet.
  ErrorCode Listing(Directory* directory);
  ErrorCode Resolve(std::string_view path, Resolved* resolved);
  ErrorCode Move(std::string_view from, std::string_view to, bool replace);
  // The move of from to to on another file system.
  ErrorCode CopyAcross(std::string_view from, std::string_view to);
  // After an operation on a held name failed with FileNotFound: lists the
  // directory again and resolves once more. True when the name now reaches
  // an entry, so the operation is worth one more try.
  bool ResolveAgain(std::string_view path, Resolved* resolved);

  Env* env_;
  std::vector<std::unique_ptr<Directory>> directories_;
};

}  // namespace corvane::os

#endif  // CORVANE_FILES_FILE_SYSTEM_H_
