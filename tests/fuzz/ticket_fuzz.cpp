// Ticket bytes to record: what a ticket may put into the record, however it
// is built.
#include "base/paths.h"
#include "fuzz_check.h"
#include "inbound/ticket_reader.h"

// Reads a ticket into a record full of an earlier ticket's values: what the
// ticket describes must be cleared, the key kept.
static RecordImage Read(std::string_view bytes, char fill, TicketRecord* record) {
  const std::string filler = "TK000001" + std::string(247, fill);
  const std::string_view old = filler;  // each field takes what fits
  *record = {old, old, old, old, 1234, {fill}, {fill}};
  TextReader reader(bytes);
  CORVANE_REQUIRE(ReadTicket(&reader, record) == os::Ok && record->TicketKey.View() == "TK000001");
  return EncodeTicketRecord(*record);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TicketRecord record, again;
  const RecordImage image = Read(bytes, 'x', &record);
  // A file name that could leave the inbound directory, act as a wildcard or
  // name a ticket never reaches the moves; the area is one upper-case word
  // of one line (other control bytes, as the LF of LF-ended lines, may stay).
  const std::string_view name = record.FileName, area = record.Area;
  CORVANE_REQUIRE(name.empty() || (IsSafeFileName(name) && !name.ends_with(".TIC")));
  for (const std::string_view word : {name, area})
    CORVANE_REQUIRE(Folded(word) == word && word.find_first_of(" \t\r\x1a") == word.npos);
  CORVANE_REQUIRE(Read(bytes, '\0', &again) == image);
  return 0;
}
