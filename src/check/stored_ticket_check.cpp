#include "check/stored_ticket_check.h"

#include "base/console.h"
#include "base/dir_search.h"
#include "base/paths.h"
#include "base/status.h"
#include "base/text_helpers.h"
#include "files/name_listing.h"
#include "store/ticket_database.h"

namespace corvane {
namespace {

// The markers of BadTics, read with one search of "*.bad" at the start:
// BadTics also holds every moved file and ticket, a hundred thousand names
// on a busy node, and only the markers are worth holding.
os::ErrorCode ReadMarkers(os::FileSystem& fs, std::string_view bad_tics, os::NameListing* markers) {
  Text mask;
  if (!BuildPath(bad_tics, "*.bad", &mask)) return os::NameTooLong;
  FileSearchState search;
  bool found = false;
  for (;;) {
    CORVANE_RETURN_IF_ERROR(DirSearchStep(fs, mask, &search, &found));
    if (!found) break;
    markers->Visit({search.Name, os::EntryKind::Plain, false});
  }
  markers->Seal();
  return os::Ok;
}

// Whether the ticket has a marker: its key and ".bad", in any letter case.
// A key that is no plain name (a damaged or forged database) names no
// marker: "*" would find any marker, "..\x" one outside BadTics.
bool HasMarker(const os::NameListing& markers, const TicketRecord& record) {
  Text marker(record.TicketKey.View());
  os::NameListing::Held held;
  return IsSafeFileName(record.TicketKey) && marker.Append(".bad") && markers.Find(marker, &held);
}

}  // namespace

os::ErrorCode CheckStoredTickets(os::FileSystem& fs, std::string_view bad_tics) {
  // Without it every ticket would read as ok.
  CORVANE_RETURN_IF_ERROR(fs.CheckDirectory(bad_tics));
  CORVANE_RETURN_IF_ERROR(WriteLine(fs.OsEnv(), "Checking stored info..."));
  TicketDatabase database(fs);
  CORVANE_RETURN_IF_ERROR(database.Open());
  os::NameListing markers;
  CORVANE_RETURN_IF_ERROR(ReadMarkers(fs, bad_tics, &markers));
  TicketRecord record;
  while (!database.AtEnd()) {
    CORVANE_RETURN_IF_ERROR(database.ReadNext(&record));
    Text line = ZeroPadNumber(database.LastNumber(), 1);
    line.Append(". ");
    line.Append(record.FileName.View());
    line.Append(" is ");
    CORVANE_RETURN_IF_ERROR(WriteText(fs.OsEnv(), line));

    const bool bad = HasMarker(markers, record);
    // An unsettled take-in (size below 0) keeps its size for the take-in
    // that settles it; the check after that one marks it.
    if (bad && record.FileSize >= 0) {
      CORVANE_RETURN_IF_ERROR(database.SetFileSize(database.LastNumber(), 0));
    }
    CORVANE_RETURN_IF_ERROR(WriteLine(fs.OsEnv(), bad ? "bad" : "ok"));
  }
  CORVANE_RETURN_IF_ERROR(database.Close());
  return WriteLine(fs.OsEnv(), "Done.");
}

}  // namespace corvane
