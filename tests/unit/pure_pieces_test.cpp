// The pure pieces at the edges the end-to-end suite cannot reach: text
// helpers, addresses, stored records, the ticket reader, the report's
// formatting and the name rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "base/text_helpers.h"
#include "inbound/ticket_reader.h"
#include "platform/name_rules.h"
#include "program/program.h"
#include "report/crc_key.h"
#include "report/mask_match.h"
#include "report/report_format.h"
#include "store/net_address.h"
#include "store/ticket_record.h"

namespace corvane {
namespace {
using Str = std::string;
template <std::size_t N>
Str S(const ShortText<N>& text) {
  return Str(text.View());
}

// One row of a table: what a helper gave, and what it must give.
struct Row {
  Str got, want;
};
template <std::size_t N>
Row R(const ShortText<N>& got, const Str& want) {
  return {S(got), want};
}
Row R(const Str& got, const Str& want) { return {got, want}; }
Row R(std::int64_t got, std::int64_t want) { return {std::to_string(got), std::to_string(want)}; }
template <typename... Rows>
void ExpectRows(const Rows&... rows) {
  const Row all[] = {rows...};
  for (std::size_t i = 0; i < sizeof...(rows); ++i)
    EXPECT_EQ(all[i].got, all[i].want) << "row " << i;
}

TEST(PureHelpers, TextsTheyMake) {
  const os::LocalDate day{1999, 11, 20, 6};
  const Str x250(250, 'x');
  ExpectRows(
      R(HexText(0, 8), "00000000"), R(HexText(4294967295u, 8), "FFFFFFFF"),
      R(HexText(255, 1), "FF"), R(HexText(10, 2), "0A"), R(HexText(0, 0), "0"),
      R(HexText(0x5C7CFCB7u, 8), "5C7CFCB7"), R(HexText(0x1234, 2), "1234"),
      R(HexText(1, 10), "0000000001"), R(ZeroPadNumber(7, 2), "07"),
      R(ZeroPadNumber(123, 2), "123"), R(ZeroPadNumber(0, 1), "0"),
      R(ZeroPadNumber(12345678901LL, 1), "12345678901"), R(ThousandsText(0), "0"),
      R(ThousandsText(7), "7"), R(ThousandsText(999), "999"), R(ThousandsText(1000), "1,000"),
      R(ThousandsText(999999), "999,999"), R(ThousandsText(1000000), "1,000,000"),
      R(ThousandsText(2147483647), "2,147,483,647"),
      R(ThousandsText(15000000000LL), "15,000,000,000"), R(PadRight("abc", 5), "abc  "),
      R(PadRight("12345", 4), "12345"), R(PadLeft("1,234", 11), "      1,234"),
      R(PadLeft("1,000,000,000", 11), "1,000,000,000"),
      R(LowerText(Text("AbZ@[\xC4")), "abz@[\xC4"), R(UpperText(Text("aZz`{\xE4")), "AZZ`{\xE4"),
      R(RunTimeStopLine(5), "Runtime error 5: access denied"),
      R(RunTimeStopLine(100), "Runtime error 100: read error"),
      R(RunTimeStopLine(999), "Runtime error 999"),
      R(ProgramFileName("C:\\FIDO\\BIN\\corvane.exe"), "corvane.exe"),
      R(ProgramFileName("D:corvane/x.exe"), "corvane/x.exe"),
      R(FormatDateStamp(day), "Saturday 20-Nov-99"),
      R(FormatDateStamp({2000, 1, 1, 6}), "Saturday 01-Jan-00"),
      R(FormatDateStamp({1999, 9, 1, 3}), "Wednesday 01-Sep-99"),
      R(FormatDateStamp({2026, 12, 6, 0}), "Sunday 06-Dec-26"),
      R(ExpandTemplateLine("Made @date", day), "Made Saturday 20-Nov-99"),
      R(ExpandTemplateLine("", day), ""), R(ExpandTemplateLine(x250 + "@pid", day), x250 + "Corva"),
      R(ExpandTemplateLine(x250 + "@x", day), x250 + "@x"), R(TextCrc(""), 0xFFFFFFFFu),
      R(TextCrc("abc"), 0xCADBBE3Du), R(TextCrc("ABC"), 0x5C7CFCB7u));
  EXPECT_NE(TextCrc(Str(255, 'a')), TextCrc(Str(254, 'a')));
}

TEST(PureHelpers, TextToNumber) {
  const auto N = [](const char* text, std::int64_t value) { return R(TextToNumber(text), value); };
  ExpectRows(N("2", 2), N("+7", 7), N(" 12", 12), N("12 ", -1), N("", -1), N("-", -1), N("+", -1),
             N("$", -1), N("   ", -1), N("x", -1), N("\t1", -1), N("$ff", 255), N("$FF", 255),
             N("$100000000", -1), N("$000000001", 1), N("$FFFFFFFF", -1),
             N("2147483647", 2147483647), N("2147483648", -1), N("4294967296", -1),
             N("-2147483648", -1), N("-2147483647", -2147483647), N("$80000000", INT32_MIN),
             N("-$10", -16), N("007", 7), N("1a", -1), N("$1g", -1), N("--1", -1));
}

// Report masks match a name's start, file patterns the whole name; names
// sort ignoring case, ties in byte order, letters compared as capitals.
TEST(PureHelpers, MasksPatternsAndNameOrder) {
  const auto M = MaskMatch, W = os::WildcardMatch;
  ExpectRows(R(M("*", "X"), 1), R(M("", ""), 1), R(M("", "ANY"), 1), R(M("NEWS", "NEWS"), 1),
             R(M("NEWS", "NEWSLETTER"), 1), R(M("NEWS", "news"), 1), R(M("news", "NEWS"), 1),
             R(M("NEWS", "NEST"), 0), R(M("N?WS", "NEWS"), 1), R(M("N?WS", "NOWS"), 1),
             R(M("N*S", "NEWS"), 1), R(M("N*S", "NETS"), 1), R(M("N*S", "NEWSX"), 1),
             R(M("N*S", "NEWT"), 0), R(M("*B", "XB"), 1), R(M("NEWS*", "NEWS"), 1),
             R(M("NEWS", "NEW"), 0), R(M("*", ""), 1), R(M("\xE4", "\xC4"), 0), R(M("**", "A"), 1),
             R(M("A*C", "ABCBC"), 1), R(W("*.tic", "TK000001.TIC"), 1), R(W("*.tic", "a.tic"), 1),
             R(W("*.tic", ".tic"), 1), R(W("*.tic", "a.tic.bak"), 0), R(W("*.tic", "atic"), 0),
             R(W("?.tic", "ab.tic"), 0), R(W("a?c", "ABC"), 1), R(W("*", ""), 1),
             R(W("a*b*c", "aXXbYYc"), 1), R(W("a*b*c", "aXXbYY"), 0),
             R(W("FILE.ZIP", "file.zip"), 1), R(W("*ab", "aab"), 1),
             R(os::EqualIgnoringCase("News.Zip", "NEWS.ZIP"), 1),
             R(os::EqualIgnoringCase("news.zip", "news.zi"), 0));
  const char* sorted[] = {"a.tic", "ab", "AB.tic", "ab.tic", "abc", "a_", "B.tic", "c.tic"};
  for (std::size_t i = 0; i < std::size(sorted); ++i) {
    EXPECT_EQ(os::CompareNames(sorted[i], sorted[i]), 0) << sorted[i];
    for (std::size_t j = i + 1; j < std::size(sorted); ++j) {
      EXPECT_LT(os::CompareNames(sorted[i], sorted[j]), 0) << sorted[i] << " " << sorted[j];
      EXPECT_GT(os::CompareNames(sorted[j], sorted[i]), 0) << sorted[i] << " " << sorted[j];
    }
  }
}

// Each address parsed over 7:7/7.7: its parts, then how it prints back.
Str Parsed(const char* text) {
  NetAddress a{7, 7, 7, 7};
  ParseNetAddress(text, &a);
  return std::to_string(a.Zone) + " " + std::to_string(a.Net) + " " + std::to_string(a.Node) + " " +
         std::to_string(a.Point) + " " + S(NetAddressText(a));
}
TEST(PureHelpers, NetAddressParsedAndPrinted) {
  ExpectRows(
      R(Parsed("2:123/45"), "2 123 45 0 2:123/45"),
      R(Parsed("2:123/45.6"), "2 123 45 6 2:123/45.6"),
      R(Parsed("2:123/45.0"), "2 123 45 0 2:123/45"),
      R(Parsed("2:123/45.6@othernet"), "2 123 45 6 2:123/45.6"),
      R(Parsed("2:123/45@othernet"), "2 123 -1 0 2:123/?"),
      R(Parsed("2:123/45@fido.net"), "2 123 -1 -1 2:123/?.?"),
      R(Parsed("2:123/*"), "2 123 -32767 0 2:123/*"), R(Parsed("2:?/*.5"), "2 -9 -32767 5 2:?/*.5"),
      R(Parsed("2:???\?/1"), "2 -9999 1 0 2:???\?/1"), R(Parsed("2:????\?/1"), "2 -1 1 0 2:?/1"),
      R(Parsed("2:??*/1"), "2 -32767 1 0 2:*/1"), R(Parsed("2:*?/1"), "2 -1 1 0 2:?/1"),
      R(Parsed("2:123"), "2 -1 -1 -1 2:?/?.?"), R(Parsed("123/45"), "-1 -1 -1 -1 ?:?/?.?"),
      R(Parsed(""), "-1 -1 -1 -1 ?:?/?.?"), R(Parsed("2:40000/1"), "2 -25536 1 0 2:*/1"),
      R(Parsed("2:$1F/1"), "2 31 1 0 2:31/1"), R(Parsed("0:0/0"), "0 0 0 0 0:0/0"),
      R(Parsed("2:-10000/-1000"), "2 -10000 -1000 0 2:*/????"),
      R(Parsed("2:-150/1"), "2 -150 1 0 2:??\?/1"));
}

// Records keep negative numbers as two's complement, little-endian; length
// bytes past a field's capacity read as the capacity; marking changes the
// four FileSize bytes and nothing else, meaningless bytes included.
TEST(PureHelpers, TicketRecordImage) {
  TicketRecord record;
  record.FileSize = -2;
  record.Origin = NetAddress{2, -32767, 0x1234, -1};
  const RecordImage encoded = EncodeTicketRecord(record);
  const std::uint8_t expected[] = {0xFE, 0xFF, 0xFF, 0xFF, 2,    0,
                                   0x01, 0x80, 0x34, 0x12, 0xFF, 0xFF};
  EXPECT_TRUE(std::equal(expected, expected + 12, encoded.begin() + FileSizeOffset));
  const TicketRecord back = DecodeTicketRecord(encoded);
  EXPECT_EQ((std::array<int, 3>{back.FileSize, back.Origin.Net, back.Origin.Point}),
            (std::array<int, 3>{-2, -32767, -1}));
  RecordImage image;
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 1);
  image[TicketKeyOffset] = 200;
  image[FileNameOffset] = 5;
  image[AreaOffset] = 21;
  const TicketRecord clamped = DecodeTicketRecord(image);
  EXPECT_EQ(clamped.TicketKey.Size(), 8u);
  EXPECT_EQ(S(clamped.FileName), Str(image.begin() + 10, image.begin() + 15));
  EXPECT_EQ(clamped.Area.Size(), 20u);
  EXPECT_EQ(EncodeTicketRecord(clamped)[DescriptionOffset], image[DescriptionOffset]);
  RecordImage marked = image;
  SetImageFileSize(&marked, 0);
  for (std::size_t i = 0; i < image.size(); ++i) {
    EXPECT_EQ(marked[i], i >= FileSizeOffset && i < FileSizeOffset + 4 ? 0 : image[i]) << i;
  }
}

// What the reader makes of a ticket given as lines with "|" for CR LF, over
// a record filled beforehand: "area/description/file/origin/from", an address
// as its four parts, or nothing when its zone is 0 ("not given").
Str Read(const Str& lines) {
  Str text;
  for (const char c : lines) text += c == '|' ? Str("\r\n") : Str(1, c);
  TicketRecord record;
  record.FileSize = 99;
  record.FileName = ShortText<12>("OLD.ZIP");
  record.Origin = record.From = NetAddress{7, 7, 7, 7};
  TextReader reader(text);
  EXPECT_EQ(ReadTicket(&reader, &record), os::Ok) << text;
  EXPECT_EQ(record.FileSize, 0) << text;
  Str read = S(record.Area) + "/" + S(record.Description) + "/" + S(record.FileName);
  for (const NetAddress& a : {record.Origin, record.From}) {
    read += a.Zone == 0 ? "/"
                        : "/" + std::to_string(a.Zone) + " " + std::to_string(a.Net) + " " +
                              std::to_string(a.Node) + " " + std::to_string(a.Point);
  }
  return read;
}

// A TAB is no blank ending a keyword; an LF alone is part of the line. The
// last "file" line names the file; its fifth character is skipped, and any
// line starting with "file" is one ("Filedate" names "ATE"); names that are no
// plain file name, or are tickets, name no file.
TEST(PureHelpers, TicketLinesAreReadByTheirKeywords) {
  const Str a200(200, 'a'), b100(100, 'b'), d250(250, 'd');
  ExpectRows(
      R(Read("AREA  fileecho|File a.zip|"), "FILEECHO//A.ZIP//"),
      R(Read("Area abcdefghijklmnopqrstuvwxyz x|"), "ABCDEFGHIJKLMNOPQRST////"),
      R(Read("Area\tfileecho|Origin\t2:1/1|Areadesc text| Area indented|"), "////"),
      R(Read("desc First|DESC Second|Desc   indented |"), "/First\rSecond\r  indented ///"),
      R(Read("Desc|desc |desc A|desc |desc B|"), "/A\r\rB///"),
      R(Read("Desc " + a200 + "|Desc " + b100 + "|Desc c|"),
        "/" + a200 + "\r" + b100.substr(0, 54) + "///"),
      R(Read("Area one|Origin 1:1/1|From 1:2/3|area two|origin 2:5020/1.5|from 3:4/5|"),
        "TWO///2 5020 1 5/3 4 5 0"),
      R(Read("Origin 2:123/45|From 2:5020/1.3@fidonet|"), "///2 123 45 0/2 5020 1 3"),
      R(Read("From |"), "////-1 -1 -1 -1"),
      R(Read("Area one|\x1a"
             "Area two|File x|"),
        "ONE////"),
      R(Read("Area right|Desc " + d250 + "Area wrong|"), "RIGHT/" + d250 + "///"),
      R(Read("File a.zip|File verylongname.zip|"), "//VERYLONGNAME//"),
      R(Read("FILE\tb.zip|"), "//B.ZIP//"), R(Read("File a.zip|Filedate 1700000000|"), "//ATE//"),
      R(Read("File a.zip|File ..\\x|"), "////"), R(Read("File sub/x|"), "////"),
      R(Read("File *.zip|"), "////"), R(Read("File c:x|"), "////"), R(Read("File ..|"), "////"),
      R(Read("File|"), "////"), R(Read("File TK000001.TIC|"), "////"),
      R(Read("File x.TiC|"), "////"), R(Read("Area a\rFile x\r"), "A//X//"),
      R(Read("Area b||File x"), "B//X//"), R(Read("Area c\nFile x\n"), "C\nFILE////"));
}

}  // namespace
}  // namespace corvane
