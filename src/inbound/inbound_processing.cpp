#include "inbound/inbound_processing.h"

#include "frame/console.h"
#include "frame/dir_search.h"
#include "frame/paths.h"
#include "frame/run_context.h"
#include "frame/run_stop.h"
#include "inbound/ticket_reader.h"
#include "platform/name_rules.h"
#include "platform/platform.h"
#include "store/ticket_database.h"

namespace corvane {
namespace {

// Exit code when the run is refused before anything was changed.
constexpr int kRefusedExitCode = 1;

TicketRecord& WorkingRecord() {
  static TicketRecord record;
  return record;
}

// Moves directory + name to another directory under the same name. A path
// that would pass 255 characters counts as a failed move.
bool MoveBetween(std::string_view from_dir, std::string_view to_dir, std::string_view name) {
  Text from;
  Text to;
  return BuildPath(from_dir, name, &from) && BuildPath(to_dir, name, &to) &&
         os::MoveFileTo(from.view(), to.view()) == os::kOk;
}

// True when the announced file, in either directory, would be the database
// itself: moving or clearing it would lose every record of the run.
bool NamesDatabase(std::string_view inbound, std::string_view bad_tics,
                   const TicketRecord& record) {
  const std::string_view database = Run().DatabaseName.view();
  if (!os::EqualIgnoringCase(record.FileName.view(), database)) return false;
  Text path;
  for (std::string_view directory : {inbound, bad_tics}) {
    if (BuildPath(directory, record.FileName.view(), &path) &&
        SameFilePath(path.view(), database)) {
      return true;
    }
  }
  return false;
}

void AppendToDatabase(std::string_view name, const TicketRecord& record) {
  TicketDatabase database;
  OpenDatabase(name, &database);
  SeekRecord(&database, RecordCount(database));
  WriteRecord(&database, EncodeTicketRecord(record));
  CloseDatabase(&database);
}

// Moves the announced file, then its ticket, into BadTics; brings the file
// back when the ticket cannot follow it.
void MoveTicketAside(std::string_view inbound, std::string_view bad_tics,
                     std::string_view ticket_name, const TicketRecord& record) {
  const std::string_view file_name = record.FileName.view();
  Text old_copy;
  if (BuildPath(bad_tics, file_name, &old_copy) && os::RemoveFile(old_copy.view()) == os::kOk) {
    WriteLine("Destination cleared");
  }
  if (!MoveBetween(inbound, bad_tics, file_name)) {
    WriteLine("Can't move a file");
    return;
  }
  // The ticket goes to BadTics under the name rebuilt from its key. When
  // that is not the name of the ticket that was read (a long name such as
  // newfiles01.tic), another ticket of the rebuilt name must stay where it
  // is. The ticket leaves by the name it was read by: another one differing
  // only in letter case may lie beside it.
  Text rebuilt(record.TicketKey.view());
  rebuilt.Append(".tic");
  Text from;
  Text to;
  if (os::EqualIgnoringCase(rebuilt.view(), ticket_name) &&
      BuildPath(inbound, ticket_name, &from) && BuildPath(bad_tics, rebuilt.view(), &to) &&
      os::MoveFileTo(from.view(), to.view()) == os::kOk) {
    return;
  }
  WriteLine("Can't move a TIC, returning file back");
  if (!MoveBetween(bad_tics, inbound, file_name)) WriteLine("Can't move a file back");
}

}  // namespace

void ProcessInbound() {
  const RunContext& run = Run();
  const std::string_view inbound = run.SecondParam.view();
  const std::string_view bad_tics = run.ThirdParam.view();
  // The same directory twice would delete every announced file as the "old
  // copy" of itself.
  if (os::SameEntry(inbound, bad_tics)) {
    WriteLine("Inbound and BadTics are the same directory; nothing done.");
    os::Exit(kRefusedExitCode);
  }
  CheckIo(CreateEmptyDatabase(run.DatabaseName.view()));
  WriteLine("Processing incoming TICs...");

  TicketRecord& record = WorkingRecord();
  Text mask;
  FileSearchState tickets;
  bool found = false;
  if (BuildPath(inbound, "*.tic", &mask)) {
    while (DirSearchStep(mask.view(), &tickets, &found)) {
      const std::string_view ticket_name = tickets.name.view();
      record.TicketKey = ShortText<8>(ticket_name);
      Text ticket_path;
      if (!BuildPath(inbound, ticket_name, &ticket_path)) continue;
      ReadTicketFile(ticket_path.view(), inbound, &record);
      if (record.FileSize == 0 || NamesDatabase(inbound, bad_tics, record)) continue;

      AppendToDatabase(run.DatabaseName.view(), record);
      Text stored(record.TicketKey.view());
      stored.Append(".TIC: ");
      stored.Append(record.FileName.view());
      WriteLine(stored.view());
      MoveTicketAside(inbound, bad_tics, ticket_name, record);
    }
  }
  WriteLine("Done.");
}

}  // namespace corvane
