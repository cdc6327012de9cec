#include "report/area_section_writer.h"

#include "base/dir_search.h"
#include "base/status.h"
#include "base/text_file.h"
#include "base/text_helpers.h"
#include "report/mask_match.h"
#include "store/net_address.h"
#include "store/ticket_database.h"

namespace corvane {
namespace {

constexpr std::size_t EntryIndent = 25;  // descriptions start in column 26
constexpr std::size_t DescBreak = 53;    // the most description characters on a line
constexpr std::size_t NameWidth = 12;
constexpr std::size_t SizeWidth = 11;

// Cuts the next line's worth of description off the front of rest: up to
// a CR within DescBreak characters (dropping it), else at the last space
// after the first character (dropping it), else after DescBreak characters.
void TakeDescriptionPart(ShortText<255>* rest, Text* line) {
  const std::string_view r = rest->View();
  const std::size_t cr = r.find(CarriageReturn);
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

os::ErrorCode WriteEntry(const TicketRecord& record, TextWriter* area_file) {
  Text line(" ");
  line.Append(PadRight(record.FileName, NameWidth).View());
  line.Append(PadLeft(ThousandsText(record.FileSize), SizeWidth).View());

  ShortText<255> rest = record.Description;
  do {
    // A size too wide for its column still leaves one space before the text.
    if (line.Size() >= EntryIndent) line.Append(' ');
    while (line.Size() < EntryIndent) line.Append(' ');
    TakeDescriptionPart(&rest, &line);
    std::size_t kept = line.Size();
    while (kept > 0 && line[kept - 1] == ' ') --kept;
    line.Truncate(kept);
    CORVANE_RETURN_IF_ERROR(area_file->WriteLine(line));
    line.Clear();
  } while (!rest.Empty());

  if (record.Origin.Zone != 0) {
    CORVANE_RETURN_IF_ERROR(area_file->WriteLine(""));
    Text origin = PadRight("", EntryIndent);
    origin.Append("Origin: ");
    origin.Append(NetAddressText(record.Origin).View());
    if (record.From.Zone != 0) {
      origin.Append(" (via ");
      origin.Append(NetAddressText(record.From).View());
      origin.Append(')');
    }
    CORVANE_RETURN_IF_ERROR(area_file->WriteLine(origin));
  }
  return area_file->WriteLine("");
}

// Adds the entry to the area's scratch file, made anew for the area's first
// entry of the run.
os::ErrorCode AppendEntry(os::FileSystem& fs, const AreaSlot& slot, const TicketRecord& record) {
  const Text name = ScratchFileName(slot.Key);
  TextWriter file;
  CORVANE_RETURN_IF_ERROR(slot.Files == 0 ? file.Create(fs, name) : file.OpenForAppend(fs, name));
  CORVANE_RETURN_IF_ERROR(WriteEntry(record, &file));
  return file.Close();
}

// The key an area file's name stands for, when it is one: 8 hexadecimal
// digits (any letter case) and the extension the mask asked for.
bool KeyOfAreaFile(std::string_view name, std::uint32_t* key) {
  if (name.size() != 12) return false;
  *key = 0;
  for (const char c : name.substr(0, 8)) {
    const char digit = os::FoldCase(c);
    if (digit >= '0' && digit <= '9') {
      *key = *key << 4 | static_cast<std::uint32_t>(digit - '0');
    } else if (digit >= 'A' && digit <= 'F') {
      *key = *key << 4 | static_cast<std::uint32_t>(digit - 'A' + 10);
    } else {
      return false;
    }
  }
  return true;
}

// Scratch files a stopped run left go; left-over area files get their slots
// first, so their entries open their areas' sections. An empty one (a run
// stopped as it created it) holds nothing and goes.
os::ErrorCode TakeUpLeftOvers(os::FileSystem& fs, AreaTable* table) {
  FileSearchState search;
  bool found = false;
  for (const std::string_view mask : {"????????.tmp", "????????.nef"}) {
    const bool scratch = mask.ends_with(".tmp");
    for (;;) {
      CORVANE_RETURN_IF_ERROR(DirSearchStep(fs, mask, &search, &found));
      if (!found) break;
      std::uint32_t key = 0;
      if (!KeyOfAreaFile(search.Name, &key)) continue;
      if (scratch || search.Size == 0) {
        CORVANE_RETURN_IF_ERROR(fs.RemoveFile(search.Name));
      } else if (const std::size_t number = ClaimSlot(key, table); number != 0) {
        (*table)[number].LeftOver = true;
      }
    }
  }
  return os::Ok;
}

}  // namespace

Text ScratchFileName(std::uint32_t key) {
  Text name = HexText(key, 8);
  name.Append(".tmp");
  return name;
}

Text LeftOverFileName(std::uint32_t key) {
  Text name = HexText(key, 8);
  name.Append(".nef");
  return name;
}

os::ErrorCode CollectNewFiles(os::FileSystem& fs, std::string_view mask, AreaTable* table,
                              DatabaseRewrite* rewrite, std::uint32_t* left_for_later) {
  *table = AreaTable{};
  *left_for_later = 0;
  CORVANE_RETURN_IF_ERROR(TakeUpLeftOvers(fs, table));

  TicketDatabase database(fs);
  CORVANE_RETURN_IF_ERROR(database.Open());
  CORVANE_RETURN_IF_ERROR(rewrite->Start());
  TicketRecord record;
  while (!database.AtEnd()) {
    CORVANE_RETURN_IF_ERROR(database.ReadNext(&record));
    RecordImage image = database.LastImage();
    if (record.FileSize > 0 && MaskMatch(mask, record.Area)) {
      const std::size_t slot_number = AreaKey(record.Area, table);
      if (slot_number == 0) {
        ++*left_for_later;
      } else {
        AreaSlot& slot = (*table)[slot_number];
        if (slot.Files == 0) slot.Name = record.Area;
        CORVANE_RETURN_IF_ERROR(AppendEntry(fs, slot, record));
        slot.Bytes += record.FileSize;
        slot.Files += 1;
        SetImageFileSize(&image, 0);
      }
    }
    CORVANE_RETURN_IF_ERROR(rewrite->Append(image));
  }
  return database.Close();
}

}  // namespace corvane
