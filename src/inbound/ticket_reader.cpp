#include "inbound/ticket_reader.h"

#include "base/paths.h"
#include "base/text_helpers.h"
#include "platform/name_rules.h"
#include "store/word_splitter.h"

namespace corvane {
namespace {

// Column of a keyword's value; "origin " is two letters longer.
constexpr std::size_t ValueColumn = 6;
constexpr std::size_t OriginValueColumn = 8;

Text FirstWordFrom(const Text& line, std::size_t column) {
  return NextWord(line.View(), &column, Blanks);
}

void AppendDescription(const Text& line, ShortText<255>* description) {
  if (!description->Empty()) description->Append(CarriageReturn);
  if (line.Size() >= ValueColumn) description->Append(line.View().substr(ValueColumn - 1));
}

// The file a "file" line names, or nothing when the name could reach
// another directory, act as a wildcard, or take a ticket for a file (its
// move would clear the already moved ticket of that name as an "old copy").
ShortText<12> FileNameOf(const Text& line) {
  ShortText<12> name(UpperText(FirstWordFrom(line, ValueColumn)).View());
  if (!IsSafeFileName(name) || os::WildcardMatch("*.tic", name)) name.Clear();
  return name;
}

}  // namespace

os::ErrorCode ReadTicket(TextReader* ticket, TicketRecord* record) {
  // What a ticket leaves out it does not have. The parts of an address with
  // zone 0 are never looked at, so they may keep old values.
  record->FileSize = 0;
  record->Origin.Zone = 0;
  record->From.Zone = 0;
  record->Description.Clear();
  record->Area.Clear();
  record->FileName.Clear();

  Text line;
  while (ticket->ReadLine(&line)) {
    const Text lower = LowerText(line);
    const std::string_view keyword = lower.View();
    if (keyword.starts_with("area ")) {
      record->Area = ShortText<20>(UpperText(FirstWordFrom(line, ValueColumn)).View());
    } else if (keyword.starts_with("desc ")) {
      AppendDescription(line, &record->Description);
    } else if (keyword.starts_with("from ")) {
      ParseNetAddress(FirstWordFrom(line, ValueColumn).View(), &record->From);
    } else if (keyword.starts_with("origin ")) {
      ParseNetAddress(FirstWordFrom(line, OriginValueColumn).View(), &record->Origin);
    } else if (keyword.starts_with("file")) {
      record->FileName = FileNameOf(line);
    }
  }
  return ticket->Error();
}

}  // namespace corvane
