#include "inbound/inbound_processing.h"

#include <cstdint>
#include <string>
#include <utility>

#include "base/console.h"
#include "base/dir_search.h"
#include "base/paths.h"
#include "base/status.h"
#include "inbound/ticket_reader.h"
#include "platform/name_rules.h"
#include "store/ticket_database.h"

namespace corvane {
namespace {

using Found = os::FileSystem::Found;

// A take-in is one transaction over two directories and the database. Its
// record is stored first, unsettled: FileSize holds the file's size negated,
// which no report takes. Then the file moves (an old copy of it in BadTics
// set aside under a hidden name first), then the ticket; then the old copy
// goes and the record is settled. A failure puts back what moved and removes
// the record; a run stopped half-way is settled by the next take-in, from
// what the directories show (Settle).

// The names one take-in works with, and what each reaches now.
struct TicketPaths {
  Text InboundFile;
  Text BadFile;
  Text OldCopy;  // where an old copy of the file waits for its replacement
  Text InboundTicket;
  Text BadTicket;
};
struct Seen {
  Found InboundFile = Found::Nothing;
  Found BadFile = Found::Nothing;
  Found OldCopy = Found::Nothing;
  Found InboundTicket = Found::Nothing;
  Found BadTicket = Found::Nothing;
};

// False when a path would pass 255 characters.
bool BuildTicketPaths(const InboundJob& job, const TicketRecord& record, TicketPaths* paths) {
  Text ticket(record.TicketKey.View());
  Text hidden(".");
  return ticket.Append(".tic") && hidden.Append(record.FileName.View()) && hidden.Append(".old") &&
         BuildPath(job.Inbound, record.FileName, &paths->InboundFile) &&
         BuildPath(job.BadTics, record.FileName, &paths->BadFile) &&
         BuildPath(job.BadTics, hidden, &paths->OldCopy) &&
         BuildPath(job.Inbound, ticket, &paths->InboundTicket) &&
         BuildPath(job.BadTics, ticket, &paths->BadTicket);
}

os::ErrorCode LookAt(os::FileSystem& fs, const TicketPaths& paths, Seen* seen) {
  const std::pair<const Text*, Found*> names[] = {{&paths.InboundFile, &seen->InboundFile},
                                                  {&paths.BadFile, &seen->BadFile},
                                                  {&paths.OldCopy, &seen->OldCopy},
                                                  {&paths.InboundTicket, &seen->InboundTicket},
                                                  {&paths.BadTicket, &seen->BadTicket}};
  for (const auto& [path, found] : names) CORVANE_RETURN_IF_ERROR(fs.Look(*path, found));
  return os::Ok;
}

// Puts the old copy set aside back in its place, if its place is free.
os::ErrorCode RestoreOldCopy(os::FileSystem& fs, const TicketPaths& paths) {
  Seen seen;
  CORVANE_RETURN_IF_ERROR(LookAt(fs, paths, &seen));
  if (seen.OldCopy != Found::PlainFile || seen.BadFile != Found::Nothing) return os::Ok;
  return fs.MoveFileTo(paths.OldCopy, paths.BadFile);
}

// A ticket in both directories that is one file (a rename by link and
// unlink, cut between the two) leaves the inbound. A file cut so needs
// nothing of its own: the one in BadTics is taken for an old copy, which the
// take-in replaces.
os::ErrorCode DropTwin(os::FileSystem& fs, const Text& inbound, const Text& bad) {
  return fs.SameEntry(inbound, bad) ? fs.RemoveFile(inbound) : os::Ok;
}

enum class Settled { TakenIn, Undone, Elsewhere };

// Brings a take-in that a stopped run left unsettled to one end. It is done
// when the ticket reached BadTics, or when the file did and the ticket can
// follow it now; otherwise it is undone and the ticket, still whole in the
// inbound, is read again by this run. A ticket in neither directory belongs
// to a run with another inbound (several may share a working directory):
// it waits for that one.
os::ErrorCode Settle(os::FileSystem& fs, const TicketPaths& paths, Settled* settled) {
  Seen seen;
  CORVANE_RETURN_IF_ERROR(LookAt(fs, paths, &seen));
  std::string ticket_copy;
  Found copied = Found::Nothing;
  if (os::FileSystem::CopyNameFor(paths.BadTicket, &ticket_copy)) {
    CORVANE_RETURN_IF_ERROR(fs.Look(ticket_copy, &copied));
  }
  if (seen.InboundTicket == Found::Nothing && seen.BadTicket == Found::Nothing &&
      copied == Found::Nothing) {
    *settled = Settled::Elsewhere;
    return os::Ok;
  }
  CORVANE_RETURN_IF_ERROR(fs.FinishMove(paths.InboundFile, paths.BadFile));
  CORVANE_RETURN_IF_ERROR(fs.FinishMove(paths.BadFile, paths.InboundFile));
  CORVANE_RETURN_IF_ERROR(fs.FinishMove(paths.InboundTicket, paths.BadTicket));
  CORVANE_RETURN_IF_ERROR(DropTwin(fs, paths.InboundTicket, paths.BadTicket));
  CORVANE_RETURN_IF_ERROR(LookAt(fs, paths, &seen));
  if (seen.BadTicket == Found::Nothing && seen.InboundFile == Found::Nothing &&
      seen.BadFile == Found::PlainFile && seen.InboundTicket == Found::PlainFile) {
    CORVANE_RETURN_IF_ERROR(fs.MoveFileTo(paths.InboundTicket, paths.BadTicket));
    seen.BadTicket = Found::PlainFile;
  }
  if (seen.BadTicket == Found::Nothing) {
    *settled = Settled::Undone;
    return RestoreOldCopy(fs, paths);
  }
  *settled = Settled::TakenIn;
  return seen.OldCopy == Found::Nothing ? os::Ok : fs.RemoveFile(paths.OldCopy);
}

// The size the record stores for the plain file name in directory, 0 when
// there is none.
os::ErrorCode SizeOfFile(os::FileSystem& fs, std::string_view directory, std::string_view name,
                         std::int32_t* size) {
  *size = 0;
  Text path;
  if (name.empty() || !BuildPath(directory, name, &path)) return os::Ok;
  FileSearchState lookup;
  bool found = false;
  CORVANE_RETURN_IF_ERROR(DirSearchStep(fs, path, &lookup, &found));
  if (found) *size = StoredSize(lookup.Size);
  return os::Ok;
}

// Settles what a stopped run left, then keeps the records a report may still
// owe: while no report has completed since the last take-in (no
// ticbase.rep), every record not yet reported; after one, only the records
// settled now and those of other inbounds still unsettled. Reported and bad
// records go, and so, on a node whose reports leave some areas out on
// purpose, do those areas' records at the first take-in after a report.
os::ErrorCode PrepareDatabase(os::FileSystem& fs, const InboundJob& job) {
  Found mark = Found::Nothing;
  CORVANE_RETURN_IF_ERROR(fs.Look(ReportedMarkName, &mark));
  const bool reported = mark == Found::PlainFile;
  TicketDatabase database(fs);
  const os::ErrorCode opened = database.Open();
  if (opened != os::Ok && opened != os::FileNotFound) return opened;
  DatabaseRewrite rewrite(fs);
  if (opened == os::Ok) CORVANE_RETURN_IF_ERROR(rewrite.Start());
  // A part record at the end (a damaged file) holds nothing to keep.
  bool changed = opened != os::Ok || database.HasPartRecord();
  std::uint32_t kept = 0;
  TicketRecord record;
  for (std::uint32_t left = opened == os::Ok ? database.WholeRecords() : 0; left > 0; --left) {
    CORVANE_RETURN_IF_ERROR(database.ReadNext(&record));
    RecordImage image = database.LastImage();
    bool keep = record.FileSize > 0 && !reported;
    if (record.FileSize < 0 && record.FileSize != INT32_MIN) {
      TicketPaths paths;
      Settled settled = Settled::Elsewhere;
      if (BuildTicketPaths(job, record, &paths))
        CORVANE_RETURN_IF_ERROR(Settle(fs, paths, &settled));
      keep = settled != Settled::Undone;
      if (settled == Settled::TakenIn) {
        // The size of the file that arrived, should a cut write have left
        // the record's own one damaged.
        std::int32_t size = 0;
        CORVANE_RETURN_IF_ERROR(SizeOfFile(fs, job.BadTics, record.FileName, &size));
        SetImageFileSize(&image, size > 0 ? size : -record.FileSize);
      }
      changed = changed || settled != Settled::Elsewhere;
    }
    changed = changed || !keep;
    if (keep) {
      CORVANE_RETURN_IF_ERROR(rewrite.Append(image));
      ++kept;
    }
  }
  if (opened == os::Ok) CORVANE_RETURN_IF_ERROR(database.Close());
  // Gone before the records go: a run stopped between the two keeps more
  // the next time, never less.
  if (reported) CORVANE_RETURN_IF_ERROR(fs.RemoveFile(ReportedMarkName));
  if (!changed) return os::Ok;
  if (kept == 0) return TicketDatabase::CreateEmpty(fs);
  return rewrite.Commit();
}

// True when the announced file, in either directory, would be the database
// itself: moving or clearing it would lose every record of the run.
bool NamesDatabase(os::FileSystem& fs, const InboundJob& job, std::string_view file_name) {
  if (!os::EqualIgnoringCase(file_name, DatabaseName)) return false;
  Text path;
  for (const Text* directory : {&job.Inbound, &job.BadTics}) {
    if (BuildPath(*directory, file_name, &path) && SameFilePath(fs, path, DatabaseName))
      return true;
  }
  return false;
}

// Reads the ticket and looks its file up. A ticket that cannot be opened
// leaves FileSize 0, so it is passed over; a failed read is an error.
os::ErrorCode ReadTicketAt(os::FileSystem& fs, const InboundJob& job, std::string_view ticket_name,
                           TicketRecord* record) {
  record->TicketKey = ShortText<8>(ticket_name);
  record->FileSize = 0;
  Text path;
  TextReader ticket;
  if (!BuildPath(job.Inbound, ticket_name, &path) || ticket.Open(fs, path) != os::Ok) return os::Ok;
  CORVANE_RETURN_IF_ERROR(ReadTicket(&ticket, record));
  CORVANE_RETURN_IF_ERROR(ticket.Close());
  if (NamesDatabase(fs, job, record->FileName)) return os::Ok;
  return SizeOfFile(fs, job.Inbound, record->FileName, &record->FileSize);
}

// A move that failed because another program holds the file leaves the
// ticket whole for the next run; any other failure stops this one.
os::ErrorCode LeftForNextRun(os::ErrorCode error) {
  return error == os::SharingViolation ? os::Ok : error;
}

// One take-in (see the top of this file). A ticket that cannot move at all
// (its file a link, or its name taken in BadTics) stays whole in the
// inbound, unstored, and says so.
os::ErrorCode TakeInTicket(os::FileSystem& fs, const InboundJob& job, std::string_view ticket_name,
                           const TicketRecord& record, TicketDatabase* database) {
  TicketPaths paths;
  Text read_as;
  Seen seen;
  const bool fit =
      BuildTicketPaths(job, record, &paths) && BuildPath(job.Inbound, ticket_name, &read_as);
  if (fit) CORVANE_RETURN_IF_ERROR(LookAt(fs, paths, &seen));
  const bool file_can_move =
      fit && seen.InboundFile == Found::PlainFile && seen.BadFile != Found::Other;
  // The ticket arrives as its key and ".tic": one read by another name
  // (newfiles01.tic, ab.tic) cannot, nor one whose name an older ticket in
  // BadTics holds (ticket numbers wrap).
  Text rebuilt(record.TicketKey.View());
  const bool ticket_can_move = fit && rebuilt.Append(".tic") &&
                               os::EqualIgnoringCase(rebuilt, ticket_name) &&
                               seen.BadTicket == Found::Nothing;

  TicketRecord unsettled = record;
  unsettled.FileSize = -record.FileSize;
  std::uint32_t number = 0;
  if (file_can_move && ticket_can_move) {
    CORVANE_RETURN_IF_ERROR(database->Append(unsettled, &number));
  }
  Text stored(record.TicketKey.View());
  stored.Append(".TIC: ");
  stored.Append(record.FileName.View());
  CORVANE_RETURN_IF_ERROR(WriteLine(fs.OsEnv(), stored));
  if (!file_can_move) return WriteLine(fs.OsEnv(), "Can't move a file");
  if (!ticket_can_move) return WriteLine(fs.OsEnv(), "Can't move a TIC, returning file back");

  bool old_copy = seen.BadFile == Found::PlainFile;
  os::ErrorCode error = os::Ok;
  if (old_copy) {
    // One left by a clean-up that failed: no unsettled record owns it now.
    if (seen.OldCopy != Found::Nothing) error = fs.RemoveFile(paths.OldCopy);
    if (error == os::Ok) error = fs.MoveFileTo(paths.BadFile, paths.OldCopy);
    if (error == os::FileNotFound) {  // another program cleared it first
      old_copy = false;
      error = os::Ok;
    }
  }
  if (error == os::Ok) error = fs.MoveFileTo(paths.InboundFile, paths.BadFile);
  if (error != os::Ok) {
    CORVANE_RETURN_IF_ERROR(WriteLine(fs.OsEnv(), "Can't move a file"));
    // A move across file systems that failed after its source went leaves
    // the file under its hidden name: the record stays unsettled, and the
    // next take-in ends the move.
    Found source = Found::Nothing;
    CORVANE_RETURN_IF_ERROR(fs.Look(paths.InboundFile, &source));
    if (source == Found::Nothing) return error;
    CORVANE_RETURN_IF_ERROR(RestoreOldCopy(fs, paths));
    CORVANE_RETURN_IF_ERROR(database->KeepFirst(number));
    return LeftForNextRun(error);
  }
  error = fs.MoveFileTo(read_as, paths.BadTicket);
  if (error != os::Ok) {
    CORVANE_RETURN_IF_ERROR(WriteLine(fs.OsEnv(), "Can't move a TIC, returning file back"));
    Found source = Found::Nothing;
    CORVANE_RETURN_IF_ERROR(fs.Look(read_as, &source));
    if (source == Found::Nothing) return error;  // half-moved, as above
    // Unmoved, the file leaves the record unsettled: the next take-in moves
    // the ticket after it.
    const os::ErrorCode back = fs.MoveFileTo(paths.BadFile, paths.InboundFile);
    if (back != os::Ok) {
      CORVANE_RETURN_IF_ERROR(WriteLine(fs.OsEnv(), "Can't move a file back"));
      return back;
    }
    CORVANE_RETURN_IF_ERROR(RestoreOldCopy(fs, paths));
    CORVANE_RETURN_IF_ERROR(database->KeepFirst(number));
    return LeftForNextRun(error);
  }
  // The old copy goes before the record is settled: if it cannot, the next
  // take-in settles the record and clears it.
  if (old_copy) CORVANE_RETURN_IF_ERROR(fs.RemoveFile(paths.OldCopy));
  CORVANE_RETURN_IF_ERROR(database->SetFileSize(number, record.FileSize));
  return old_copy ? WriteLine(fs.OsEnv(), "Destination cleared") : os::Ok;
}

// Takes in the tickets once the directories are known to be fit and held.
os::ErrorCode TakeIn(os::FileSystem& fs, const InboundJob& job) {
  // The inbound is listed before the database of the last run changes: a
  // directory that cannot be read, or a path with no room for a ticket's
  // name, stops the run with that database as it was.
  Text mask;
  if (!BuildPath(job.Inbound, "*.tic", &mask)) return os::NameTooLong;
  FileSearchState tickets;
  bool found = false;
  CORVANE_RETURN_IF_ERROR(DirSearchStep(fs, mask, &tickets, &found));
  CORVANE_RETURN_IF_ERROR(PrepareDatabase(fs, job));
  CORVANE_RETURN_IF_ERROR(WriteLine(fs.OsEnv(), "Processing incoming TICs..."));

  TicketDatabase database(fs);
  CORVANE_RETURN_IF_ERROR(database.Open());
  TicketRecord record;
  while (found) {
    const Text ticket_name = tickets.Name;
    CORVANE_RETURN_IF_ERROR(ReadTicketAt(fs, job, ticket_name, &record));
    // A ticket whose file is not there (yet) stays for a later run.
    if (record.FileSize != 0) {
      CORVANE_RETURN_IF_ERROR(TakeInTicket(fs, job, ticket_name, record, &database));
    }
    CORVANE_RETURN_IF_ERROR(DirSearchStep(fs, mask, &tickets, &found));
  }
  CORVANE_RETURN_IF_ERROR(database.Close());
  return WriteLine(fs.OsEnv(), "Done.");
}

}  // namespace

os::ErrorCode ProcessInbound(os::FileSystem& fs, const InboundJob& job) {
  // A typo in a directory must not empty the database of the last run.
  CORVANE_RETURN_IF_ERROR(fs.CheckDirectory(job.Inbound));
  CORVANE_RETURN_IF_ERROR(fs.CheckDirectory(job.BadTics));
  // The same directory twice would delete every announced file as the "old
  // copy" of itself.
  if (fs.SameEntry(job.Inbound, job.BadTics)) {
    CORVANE_RETURN_IF_ERROR(
        WriteLine(fs.OsEnv(), "Inbound and BadTics are the same directory; nothing done."));
    return RunRefused;
  }
  // Two runs from two working directories must not share an inbound or a
  // BadTics either. The working directory is held already.
  os::FileHandle locks[2];
  os::ErrorCode error = os::Ok;
  const Text* directories[2] = {&job.Inbound, &job.BadTics};
  for (int i = 0; i < 2 && error == os::Ok; ++i) {
    if (!fs.SameEntry(*directories[i], "")) error = fs.LockDirectory(*directories[i], &locks[i]);
  }
  if (error == os::SharingViolation) {
    error = WriteLine(fs.OsEnv(), "Another run is working in this directory; nothing done.");
    if (error == os::Ok) error = RunRefused;
  } else if (error == os::Ok) {
    error = TakeIn(fs, job);
  }
  for (os::FileHandle& lock : locks) {
    if (lock.IsOpen()) (void)fs.OsEnv().Close(&lock);
  }
  return error;
}

}  // namespace corvane
