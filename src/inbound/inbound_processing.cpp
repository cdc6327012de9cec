#include "inbound/inbound_processing.h"

#include "base/console.h"
#include "base/dir_search.h"
#include "base/paths.h"
#include "base/status.h"
#include "inbound/ticket_reader.h"
#include "platform/name_rules.h"
#include "store/ticket_database.h"

namespace corvane {
namespace {

// Moves directory + name to another directory under the same name. A path
// that would pass 255 characters counts as a failed move.
bool MoveBetween(os::FileSystem& fs, std::string_view from_dir, std::string_view to_dir,
                 std::string_view name) {
  Text from;
  Text to;
  return BuildPath(from_dir, name, &from) && BuildPath(to_dir, name, &to) &&
         fs.MoveFileTo(from, to) == os::Ok;
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

// The size of the plain file name in directory (low 32 bits), 0 when there
// is none.
os::ErrorCode SizeOfFile(os::FileSystem& fs, std::string_view directory, std::string_view name,
                         std::int32_t* size) {
  *size = 0;
  Text path;
  if (name.empty() || !BuildPath(directory, name, &path)) return os::Ok;
  FileSearchState lookup;
  bool found = false;
  CORVANE_RETURN_IF_ERROR(DirSearchStep(fs, path, &lookup, &found));
  if (found) *size = static_cast<std::int32_t>(lookup.Size);
  return os::Ok;
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

// Opened and closed per ticket, so every record appended before a stop is in
// the file.
os::ErrorCode AppendToDatabase(os::FileSystem& fs, const TicketRecord& record) {
  TicketDatabase database(fs);
  CORVANE_RETURN_IF_ERROR(database.Open());
  CORVANE_RETURN_IF_ERROR(database.Append(record));
  return database.Close();
}

// Moves the announced file, then its ticket, into BadTics; brings the file
// back when the ticket cannot follow it. The file was found in the inbound
// just before, as a plain file, so an old copy in BadTics goes only when
// its replacement is there.
os::ErrorCode MoveTicketAside(os::FileSystem& fs, const InboundJob& job,
                              std::string_view ticket_name, const TicketRecord& record) {
  const std::string_view file_name = record.FileName;
  Text old_copy;
  if (BuildPath(job.BadTics, file_name, &old_copy) && fs.RemoveFile(old_copy) == os::Ok) {
    CORVANE_RETURN_IF_ERROR(WriteLine(fs.env(), "Destination cleared"));
  }
  if (!MoveBetween(fs, job.Inbound, job.BadTics, file_name))
    return WriteLine(fs.env(), "Can't move a file");
  // The ticket goes to BadTics under the name rebuilt from its key. When
  // that is not the name of the ticket that was read (a long name such as
  // newfiles01.tic), another ticket of the rebuilt name must stay where it
  // is. The ticket leaves by the name it was read by: another one differing
  // only in letter case may lie beside it.
  Text rebuilt(record.TicketKey.View());
  rebuilt.Append(".tic");
  Text from;
  Text to;
  if (os::EqualIgnoringCase(rebuilt, ticket_name) && BuildPath(job.Inbound, ticket_name, &from) &&
      BuildPath(job.BadTics, rebuilt, &to) && fs.MoveFileTo(from, to) == os::Ok) {
    return os::Ok;
  }
  CORVANE_RETURN_IF_ERROR(WriteLine(fs.env(), "Can't move a TIC, returning file back"));
  if (!MoveBetween(fs, job.BadTics, job.Inbound, file_name))
    return WriteLine(fs.env(), "Can't move a file back");
  return os::Ok;
}

// Takes in the tickets once the directories are known to be fit and held.
os::ErrorCode TakeIn(os::FileSystem& fs, const InboundJob& job) {
  // The inbound is listed before the database of the last run is emptied: a
  // directory that cannot be read, or a path with no room for a ticket's
  // name, stops the run with that database as it was.
  Text mask;
  if (!BuildPath(job.Inbound, "*.tic", &mask)) return os::NameTooLong;
  FileSearchState tickets;
  bool found = false;
  CORVANE_RETURN_IF_ERROR(DirSearchStep(fs, mask, &tickets, &found));
  CORVANE_RETURN_IF_ERROR(TicketDatabase::CreateEmpty(fs));
  CORVANE_RETURN_IF_ERROR(WriteLine(fs.env(), "Processing incoming TICs..."));

  TicketRecord record;
  while (found) {
    const Text ticket_name = tickets.Name;
    CORVANE_RETURN_IF_ERROR(ReadTicketAt(fs, job, ticket_name, &record));
    // A ticket whose file is not there (yet) stays for a later run.
    if (record.FileSize != 0) {
      CORVANE_RETURN_IF_ERROR(AppendToDatabase(fs, record));
      Text stored(record.TicketKey.View());
      stored.Append(".TIC: ");
      stored.Append(record.FileName.View());
      CORVANE_RETURN_IF_ERROR(WriteLine(fs.env(), stored));
      CORVANE_RETURN_IF_ERROR(MoveTicketAside(fs, job, ticket_name, record));
    }
    CORVANE_RETURN_IF_ERROR(DirSearchStep(fs, mask, &tickets, &found));
  }
  return WriteLine(fs.env(), "Done.");
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
        WriteLine(fs.env(), "Inbound and BadTics are the same directory; nothing done."));
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
    error = WriteLine(fs.env(), "Another run is working in this directory; nothing done.");
    if (error == os::Ok) error = RunRefused;
  } else if (error == os::Ok) {
    error = TakeIn(fs, job);
  }
  for (os::FileHandle& lock : locks) {
    if (lock.IsOpen()) (void)fs.env().Close(&lock);
  }
  return error;
}

}  // namespace corvane
