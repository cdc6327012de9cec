#include "check/stored_ticket_check.h"

#include "base/console.h"
#include "base/dir_search.h"
#include "base/paths.h"
#include "base/status.h"
#include "base/text_helpers.h"
#include "store/ticket_database.h"

namespace corvane {
namespace {

// A marker named by the ticket's key and ".bad" in the BadTics directory. A
// key that is no plain name (a damaged or forged database) names no marker:
// "*" would find any marker, "..\x" one outside BadTics.
os::ErrorCode FindMarker(os::FileSystem& fs, std::string_view bad_tics, const TicketRecord& record,
                         bool* found) {
  *found = false;
  Text marker;
  if (!IsSafeFileName(record.TicketKey) ||
      !BuildPath(bad_tics, record.TicketKey, ".bad", &marker)) {
    return os::Ok;
  }
  FileSearchState search;
  return DirSearchStep(fs, marker, &search, found);
}

}  // namespace

os::ErrorCode CheckStoredTickets(os::FileSystem& fs, std::string_view bad_tics) {
  // Without it every ticket would read as ok.
  CORVANE_RETURN_IF_ERROR(fs.CheckDirectory(bad_tics));
  CORVANE_RETURN_IF_ERROR(WriteLine(fs.env(), "Checking stored info..."));
  TicketDatabase database(fs);
  CORVANE_RETURN_IF_ERROR(database.Open());
  TicketRecord record;
  while (!database.AtEnd()) {
    CORVANE_RETURN_IF_ERROR(database.ReadNext(&record));
    Text line = ZeroPadNumber(database.LastNumber(), 1);
    line.Append(". ");
    line.Append(record.FileName.View());
    line.Append(" is ");
    CORVANE_RETURN_IF_ERROR(WriteText(fs.env(), line));

    bool bad = false;
    CORVANE_RETURN_IF_ERROR(FindMarker(fs, bad_tics, record, &bad));
    if (bad) CORVANE_RETURN_IF_ERROR(database.MarkLast());
    CORVANE_RETURN_IF_ERROR(WriteLine(fs.env(), bad ? "bad" : "ok"));
  }
  CORVANE_RETURN_IF_ERROR(database.Close());
  return WriteLine(fs.env(), "Done.");
}

}  // namespace corvane
