// Ticket bytes to record: what a ticket may put into the record, however it
// is built.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "inbound/ticket_reader.h"

namespace corvane::fuzz {
namespace {

// A record full of a previous ticket's values: reading must clear what a
// ticket describes and leave the key alone.
TicketRecord Used(char fill) {
  const std::string filler(255, fill);  // each field takes what fits
  TicketRecord record;
  record.TicketKey = std::string_view(filler);
  record.FileName = std::string_view(filler);
  record.Description = std::string_view(filler);
  record.Area = std::string_view(filler);
  record.FileSize = 1234;
  record.Origin = {fill, fill, fill, fill};
  record.From = {fill, fill, fill, fill};
  return record;
}

TicketRecord Read(std::string_view bytes, const TicketRecord& before) {
  TextReader reader(bytes);
  TicketRecord record = before;
  CORVANE_REQUIRE(ReadTicket(&reader, &record) == os::Ok);
  return record;
}

// Equal in all a ticket sets: an address with zone 0 counts as not given,
// so only its zone is compared.
bool SameTicket(const TicketRecord& a, const TicketRecord& b) {
  const auto same_address = [](const NetAddress& x, const NetAddress& y) {
    return x.Zone == 0 ? y.Zone == 0 : SameAddress(x, y);
  };
  return a.FileName == b.FileName && a.Area == b.Area && a.Description == b.Description &&
         a.FileSize == b.FileSize && same_address(a.Origin, b.Origin) &&
         same_address(a.From, b.From);
}

bool HasAny(std::string_view text, std::string_view bytes) {
  return text.find_first_of(bytes) != std::string_view::npos;
}

bool HasSmallLetter(std::string_view text) {
  return text.find_first_of("abcdefghijklmnopqrstuvwxyz") != std::string_view::npos;
}

bool HasControl(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 32) return true;
  }
  return false;
}

// The same ticket with every line ended by CR LF where it ended by a CR
// alone.
std::string WithCrLf(std::string_view bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    text += bytes[i];
    if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) text += '\n';
  }
  return text;
}

}  // namespace
}  // namespace corvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvane;
  using namespace corvane::fuzz;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const TicketRecord record = Read(bytes, Used('x'));

  CORVANE_REQUIRE(record.TicketKey == Used('x').TicketKey);
  CORVANE_REQUIRE(record.FileSize == 0);  // only the caller's lookup sets it
  // A file name that could leave the inbound directory, act as a wildcard or
  // name a ticket must never reach the moves.
  const std::string_view name = record.FileName;
  CORVANE_REQUIRE(!HasSmallLetter(name) && !HasControl(name) && !HasAny(name, "\\/:*? "));
  CORVANE_REQUIRE(name != "." && name != "..");
  CORVANE_REQUIRE(!name.ends_with(".TIC"));
  // An area is one word of one line: other control bytes (an LF of a ticket
  // with LF line ends) may stay in it.
  CORVANE_REQUIRE(!HasSmallLetter(record.Area) && !HasAny(record.Area, " \t\r\x1a"));
  // Lines never hold a CR, so each one in the description joins two lines,
  // and nothing joins to an empty description.
  CORVANE_REQUIRE(!record.Description.View().starts_with('\r'));
  CORVANE_REQUIRE(!HasAny(record.Description, "\x1a"));

  CORVANE_REQUIRE(SameTicket(record, Read(bytes, Used('\0'))));
  CORVANE_REQUIRE(SameTicket(record, Read(WithCrLf(bytes), Used('x'))));
  // Nothing after a Ctrl-Z counts.
  if (const std::size_t end = bytes.find('\x1a'); end != std::string_view::npos) {
    CORVANE_REQUIRE(SameTicket(record, Read(bytes.substr(0, end), Used('x'))));
  }
  return 0;
}
