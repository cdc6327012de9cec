#include "check/stored_ticket_check.h"

#include "frame/console.h"
#include "frame/dir_search.h"
#include "frame/paths.h"
#include "frame/run_context.h"
#include "frame/text_helpers.h"
#include "store/ticket_database.h"

namespace corvane {
namespace {

// A marker named by the ticket's key and ".bad" in the BadTics directory. A
// key that is no plain name (a damaged or forged database) names no marker:
// "*" would find any marker, "..\\x" one outside BadTics.
bool MarkerPresent(std::string_view bad_tics, const TicketRecord& record) {
  Text marker;
  if (!IsSafeFileName(record.TicketKey.view()) ||
      !BuildPath(bad_tics, record.TicketKey.view(), ".bad", &marker)) {
    return false;
  }
  FileSearchState search;
  bool found = false;
  return DirSearchStep(marker.view(), &search, &found);
}

}  // namespace

void CheckStoredTickets() {
  const RunContext& run = Run();
  WriteLine("Checking stored info...");
  TicketDatabase database;
  OpenDatabase(run.DatabaseName.view(), &database);
  RecordImage image;
  while (!AtEnd(database)) {
    const std::uint32_t number = CurrentRecordNumber(database);
    ReadRecord(&database, &image);
    const TicketRecord record = DecodeTicketRecord(image);

    Text line = ZeroPadNumber(static_cast<std::int32_t>(number), 1);
    line.Append(". ");
    line.Append(record.FileName.view());
    line.Append(" is ");
    WriteText(line.view());

    if (MarkerPresent(run.SecondParam.view(), record)) {
      SetImageFileSize(&image, 0);
      SeekRecord(&database, number);
      WriteRecord(&database, image);
      WriteLine("bad");
    } else {
      WriteLine("ok");
    }
  }
  CloseDatabase(&database);
  WriteLine("Done.");
}

}  // namespace corvane
