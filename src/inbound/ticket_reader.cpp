#include "inbound/ticket_reader.h"

#include "frame/dir_search.h"
#include "frame/paths.h"
#include "frame/text_file.h"
#include "frame/text_helpers.h"
#include "store/word_splitter.h"

namespace corvane {
namespace {

// Column of a keyword's value; "origin " is two letters longer.
constexpr std::size_t kValueColumn = 6;
constexpr std::size_t kOriginValueColumn = 8;

Text FirstWordFrom(const Text& line, std::size_t column) {
  return NextWord(line.view(), &column, Blanks);
}

void AppendDescription(const Text& line, ShortText<255>* description) {
  if (!description->empty()) description->Append(kCarriageReturn);
  if (line.size() >= kValueColumn) description->Append(line.view().substr(kValueColumn - 1));
}

// Takes the file a "file" line names, and its size when it is present.
void TakeFile(const Text& line, std::string_view inbound, TicketRecord* record) {
  record->FileName = ShortText<12>(UpperText(FirstWordFrom(line, kValueColumn)).view());
  if (!IsSafeFileName(record->FileName.view())) {
    record->FileSize = 0;  // never looked up, deleted or moved
    return;
  }
  Text mask;
  if (!BuildPath(inbound, record->FileName.view(), &mask)) return;
  FileSearchState lookup;
  bool found = false;
  if (DirSearchStep(mask.view(), &lookup, &found)) {
    record->FileSize = static_cast<std::int32_t>(lookup.size);
  }
}

}  // namespace

void ReadTicketFile(std::string_view path, std::string_view inbound, TicketRecord* record) {
  // A ticket says nothing of the fields it leaves out; the parts of an
  // address with zone 0 are never looked at, so they may keep old values.
  record->FileSize = 0;
  record->Origin.Zone = 0;
  record->From.Zone = 0;
  record->Description.Clear();
  record->Area.Clear();

  TextReader ticket;
  if (ticket.Open(path) != os::kOk) return;
  while (!ticket.AtEnd()) {
    const Text line = ticket.ReadLine();
    const Text lower = LowerText(line);
    const std::string_view keyword = lower.view();
    if (keyword.starts_with("area ")) {
      record->Area = ShortText<20>(UpperText(FirstWordFrom(line, kValueColumn)).view());
    } else if (keyword.starts_with("desc ")) {
      AppendDescription(line, &record->Description);
    } else if (keyword.starts_with("from ")) {
      ParseNetAddress(FirstWordFrom(line, kValueColumn).view(), &record->From);
    } else if (keyword.starts_with("origin ")) {
      ParseNetAddress(FirstWordFrom(line, kOriginValueColumn).view(), &record->Origin);
    } else if (keyword.starts_with("file")) {
      TakeFile(line, inbound, record);
    }
  }
  ticket.Close();
}

}  // namespace corvane
