#include "report/area_section_writer.h"

#include "frame/run_context.h"
#include "frame/run_stop.h"
#include "frame/text_file.h"
#include "frame/text_helpers.h"
#include "report/mask_match.h"
#include "report/report_format.h"
#include "store/net_address.h"
#include "store/ticket_database.h"

namespace corvane {
namespace {

constexpr std::size_t EntryIndent = 25;  // descriptions start in column 26
constexpr std::size_t DescBreak = 53;    // the most description characters on a line
constexpr std::size_t kSizeWidth = 11;

// Cuts the next line's worth of description off the front of rest: up to
// a CR within DescBreak characters (dropping it), else at the last space
// after the first character (dropping it), else after DescBreak characters.
void TakeDescriptionPart(ShortText<255>* rest, Text* line) {
  const std::string_view r = rest->view();
  const std::size_t cr = r.find(kCarriageReturn);
  const bool break_at_cr = cr != std::string_view::npos && cr < DescBreak;
  const std::size_t brk = break_at_cr ? cr + 1 : DescBreak;  // 1-based
  if (r.size() <= brk) {
    line->Append(r);
    rest->Clear();
  } else if (break_at_cr) {
    line->Append(r.substr(0, brk - 1));
    rest->DropFront(brk);
  } else {
    const std::size_t space = r.substr(1, DescBreak - 1).rfind(' ');
    if (space != std::string_view::npos) {
      line->Append(r.substr(0, space + 1));
      rest->DropFront(space + 2);
    } else {
      line->Append(r.substr(0, DescBreak));
      rest->DropFront(DescBreak);
    }
  }
}

void WriteEntry(const TicketRecord& record, TextWriter* area_file) {
  Text line(" ");
  line.Append(PadRight(record.FileName.view(), 12).view());
  line.Append(PadLeftAtLeast(ThousandsText(record.FileSize).view(), kSizeWidth).view());

  ShortText<255> rest = record.Description;
  do {
    // A size too wide for its column still leaves one space before the text.
    if (line.size() >= EntryIndent) line.Append(' ');
    while (line.size() < EntryIndent) line.Append(' ');
    TakeDescriptionPart(&rest, &line);
    std::size_t kept = line.size();
    while (kept > 0 && line[kept - 1] == ' ') --kept;
    line.Truncate(kept);
    area_file->WriteLine(line.view());
    line.Clear();
  } while (!rest.empty());

  if (record.Origin.Zone != 0) {
    area_file->WriteLine("");
    Text origin = PadRight("", EntryIndent);
    origin.Append("Origin: ");
    origin.Append(NetAddressText(record.Origin).view());
    if (record.From.Zone != 0) {
      origin.Append(" (via ");
      origin.Append(NetAddressText(record.From).view());
      origin.Append(')');
    }
    area_file->WriteLine(origin.view());
  }
  area_file->WriteLine("");
}

// Opens the area file at its end; a new one (the first entry of the area
// in this run) gets the area heading. One left by a stopped run is extended.
void OpenAreaFile(const AreaSlot& slot, const TicketRecord& record, TextWriter* area_file) {
  const Text name = AreaFileName(slot.Key);
  if (area_file->OpenForAppend(name.view()) == os::kOk) return;
  CheckIo(area_file->Create(name.view()));
  Text heading(" Area : ");
  heading.Append(record.Area.view());
  area_file->WriteLine(heading.view());
  area_file->WriteLine(kSeparatorLine);
}

}  // namespace

Text AreaFileName(std::uint32_t key) {
  Text name = HexText(key, 8);
  name.Append(".nef");
  return name;
}

std::uint32_t CollectNewFiles(AreaTable* table) {
  const RunContext& run = Run();
  *table = AreaTable{};
  std::uint32_t left_for_later = 0;

  TicketDatabase database;
  OpenDatabase(run.DatabaseName.view(), &database);
  RecordImage image;
  TextWriter area_file;
  while (!AtEnd(database)) {
    const std::uint32_t number = CurrentRecordNumber(database);
    ReadRecord(&database, &image);
    const TicketRecord record = DecodeTicketRecord(image);
    if (record.FileSize <= 0 || !MaskMatch(run.SecondParam.view(), record.Area.view())) continue;

    const std::size_t slot_number = AreaKey(record.Area.view(), table);
    if (slot_number == 0) {
      ++left_for_later;
      continue;
    }
    AreaSlot& slot = (*table)[slot_number];
    slot.Bytes += record.FileSize;
    slot.Files += 1;

    OpenAreaFile(slot, record, &area_file);
    WriteEntry(record, &area_file);
    area_file.Close();

    SetImageFileSize(&image, 0);
    SeekRecord(&database, number);
    WriteRecord(&database, image);
  }
  CloseDatabase(&database);
  return left_for_later;
}

}  // namespace corvane
