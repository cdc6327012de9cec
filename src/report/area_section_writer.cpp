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

// Appends the entry to its area file in one write. A new file (the first
// entry of the area) gets the heading in the same write. When the write
// fails, the file goes back to what it held before, and a new one goes
// altogether: no half entry is ever reported, nor a section without heading.
os::ErrorCode AppendEntry(os::FileSystem& fs, const AreaSlot& slot, const TicketRecord& record) {
  const Text name = AreaFileName(slot.Key);
  TextWriter area_file;
  // Only a missing file is made anew: one that exists but cannot be opened
  // (another program holds it) keeps entries whose tickets are already
  // marked reported, and creating it would empty it.
  const os::ErrorCode opened = area_file.OpenForAppend(fs, name);
  if (opened != os::Ok && opened != os::FileNotFound) return opened;
  const bool created = opened != os::Ok;
  if (created) {
    CORVANE_RETURN_IF_ERROR(area_file.Create(fs, name));
    Text heading(" Area : ");
    heading.Append(record.Area.View());
    CORVANE_RETURN_IF_ERROR(area_file.WriteLine(heading));
    CORVANE_RETURN_IF_ERROR(area_file.WriteLine(SeparatorLine));
  }
  const std::uint64_t before = area_file.Length();
  os::ErrorCode error = WriteEntry(record, &area_file);
  if (error == os::Ok) error = area_file.Flush();
  if (error != os::Ok) {
    (void)area_file.CutBack(before);
    (void)area_file.Close();
    if (created) (void)fs.RemoveFile(name);
    return error;
  }
  return area_file.Close();
}

// The key an area file's name stands for, when it is one: 8 hexadecimal
// digits (any letter case) and ".nef".
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

// Adds the entries of an area file to the slot's sums. An entry begins with
// its name and size line, the only line of an entry whose second character
// is not a blank; the size stands after the 12 columns of the name.
os::ErrorCode CountEntries(os::FileSystem& fs, std::string_view name, AreaSlot* slot) {
  TextReader area_file;
  CORVANE_RETURN_IF_ERROR(area_file.Open(fs, name));
  Text line;
  for (int heading = 0; heading < 2 && area_file.ReadLine(&line); ++heading) {
  }
  while (area_file.ReadLine(&line)) {
    if (line.Size() < 2 || line[1] == ' ') continue;
    std::size_t at = 1 + NameWidth;
    while (at < line.Size() && line[at] == ' ') ++at;
    std::int64_t size = 0;
    for (; at < line.Size() && line[at] != ' '; ++at) {
      if (line[at] >= '0' && line[at] <= '9') size = size * 10 + (line[at] - '0');
    }
    slot->Bytes += size;
    slot->Files += 1;
  }
  CORVANE_RETURN_IF_ERROR(area_file.Error());
  return area_file.Close();
}

// Takes up the area files a stopped run left in the working directory: their
// entries are marked reported in the database, so these files are the only
// place they still stand. An empty one (a run stopped as it created it) has
// nothing to report and goes.
os::ErrorCode TakeUpLeftOvers(os::FileSystem& fs, AreaTable* table) {
  FileSearchState search;
  bool found = false;
  for (;;) {
    CORVANE_RETURN_IF_ERROR(DirSearchStep(fs, "????????.nef", &search, &found));
    if (!found) return os::Ok;
    std::uint32_t key = 0;
    if (!KeyOfAreaFile(search.Name, &key)) continue;
    if (search.Size == 0) {
      CORVANE_RETURN_IF_ERROR(fs.RemoveFile(search.Name));
      continue;
    }
    const std::size_t number = ClaimSlot(key, table);
    if (number != 0) CORVANE_RETURN_IF_ERROR(CountEntries(fs, search.Name, &(*table)[number]));
  }
}

}  // namespace

Text AreaFileName(std::uint32_t key) {
  Text name = HexText(key, 8);
  name.Append(".nef");
  return name;
}

os::ErrorCode CollectNewFiles(os::FileSystem& fs, std::string_view mask, AreaTable* table,
                              std::uint32_t* left_for_later) {
  *table = AreaTable{};
  *left_for_later = 0;
  CORVANE_RETURN_IF_ERROR(TakeUpLeftOvers(fs, table));

  TicketDatabase database(fs);
  CORVANE_RETURN_IF_ERROR(database.Open());
  TicketRecord record;
  while (!database.AtEnd()) {
    CORVANE_RETURN_IF_ERROR(database.ReadNext(&record));
    if (record.FileSize <= 0 || !MaskMatch(mask, record.Area)) continue;

    const std::size_t slot_number = AreaKey(record.Area, table);
    if (slot_number == 0) {
      ++*left_for_later;
      continue;
    }
    AreaSlot& slot = (*table)[slot_number];
    CORVANE_RETURN_IF_ERROR(AppendEntry(fs, slot, record));
    slot.Bytes += record.FileSize;
    slot.Files += 1;
    CORVANE_RETURN_IF_ERROR(database.MarkLast());
  }
  return database.Close();
}

}  // namespace corvane
