// The pure pieces at the edges the end-to-end suite cannot reach: text
// helpers, addresses, the ticket reader, the report's formatting and the
// name rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/paths.h"
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
Str S(const Str& text) { return text; }
Str S(std::int64_t number) { return std::to_string(number); }
// What the calls gave, "|" after each.
template <typename... Got>
Str J(const Got&... got) {
  return (Str() + ... + (S(got) + "|"));
}
// Cases "input=want", ", " between them: what `make` gives for each input
// must be its want.
template <typename Make>
void Walk(const Str& cases, Make make) {
  for (std::size_t at = 0, end = 0; end != Str::npos; at = end + 2) {
    end = cases.find(", ", at);
    const Str c = cases.substr(at, end - at);
    EXPECT_EQ(make(c.substr(0, c.rfind('='))), c.substr(c.rfind('=') + 1)) << c;
  }
}

TEST(PureHelpers, TextsTheyMake) {
  const os::LocalDate day{1999, 11, 20, 6};
  const Str x250(250, 'x');
  EXPECT_EQ(J(HexText(0, 8), HexText(4294967295u, 8), HexText(255, 1), HexText(10, 2),
              HexText(0, 0), HexText(1, 10)),
            "00000000|FFFFFFFF|FF|0A|0|0000000001|");
  EXPECT_EQ(J(ZeroPadNumber(7, 2), ZeroPadNumber(123, 2), ZeroPadNumber(0, 1), ZeroPadNumber(-5, 3),
              ZeroPadNumber(12345678901LL, 1), ThousandsText(0), ThousandsText(999999)),
            "07|123|0|0-5|12345678901|0|999,999|");
  EXPECT_EQ(J(LowerText(Text("AbZ@[\xC4")), UpperText(Text("aZz`{\xE4"))), "abz@[\xC4|AZZ`{\xE4|");
  EXPECT_EQ(J(RunTimeStopLine(999), ProgramFileName("D:corvane/x.exe")),
            "Runtime error 999|corvane/x.exe|");
  EXPECT_EQ(
      J(FormatDateStamp(day), FormatDateStamp({2000, 1, 1, 6}), FormatDateStamp({2026, 12, 6, 0})),
      "Saturday 20-Nov-99|Saturday 01-Jan-00|Sunday 06-Dec-26|");
  EXPECT_EQ(J(ExpandTemplateLine(x250 + "@pid", day), ExpandTemplateLine(x250 + "@x", day)),
            J(x250 + "Corva", x250 + "@x"));
  EXPECT_EQ(J(TextCrc(""), TextCrc("abc")), J(0xFFFFFFFFu, 0xCADBBE3Du));
  EXPECT_NE(TextCrc(Str(255, 'a')), TextCrc(Str(254, 'a')));
}

TEST(PureHelpers, TextToNumber) {
  const Str numbers =
      "2=2, +7=7,  12=12, 12 =-1, =-1, -=-1, $=-1,    =-1, \t1=-1, $ff=255, $FF=255, $Aa=170, "
      "$100000000=-1, $000000001=1, $FFFFFFFF=-1, 2147483647=2147483647, 2147483648=-1, "
      "4294967296=-1, -2147483648=-1, -2147483647=-2147483647, $80000000=-2147483648, -$10=-16, "
      "1a=-1, $1g=-1, --1=-1";
  Walk(numbers, [](const Str& text) { return S(TextToNumber(text)); });
}

// "pattern|name=MW": M as a report mask (a name's start, no backtracking),
// W as a file pattern (the whole name); names sort ignoring case, ties in byte
// order, letters compared as capitals. A blank is a character of a name like
// any other; a control byte is in no name a search delivers nor in a ticket's
// file name, which is no directory either.
TEST(PureHelpers, MasksPatternsAndNameOrder) {
  const Str matches =
      "|=11, |ANY=10, NEWS|NEW=00, N?WS|NEWS=11, N*S|NEWSX=10, N*S|NEWT=00, *B|XB=11, "
      "NEWS*|NEWS=11, *|=11, \xE4|\xC4=00, **|A=11, A*C|ABCBC=11, *.tic|.tic=11, "
      "*.tic|a.tic.bak=10, *.tic|atic=00, ?.tic|ab.tic=00, a?c|ABC=11, a*b*c|aXXbYYc=11, "
      "a*b*c|aXXbYY=00, *ab|aab=01, a?|A=00, aa*a*|aab=00";
  Walk(matches, [](const Str& c) {
    const Str pattern = c.substr(0, c.find('|')), name = c.substr(c.find('|') + 1);
    return S(MaskMatch(pattern, name)) + S(os::WildcardMatch(pattern, name));
  });
  // A pattern ends with its view, whatever follows it in memory.
  EXPECT_FALSE(os::WildcardMatch(std::string_view("a*", 1), "ab"));
  EXPECT_TRUE(os::WildcardMatch(std::string_view("a*", 1), "a"));
  EXPECT_EQ(J(os::EqualIgnoringCase("News.Zip", "NEWS.ZIP"), os::EqualIgnoringCase("a.zip", "a.zi"),
              os::EqualIgnoringCase("b.zip", "a.zip")),
            "1|0|0|");
  EXPECT_EQ(J(os::IsDeliverableName(Str(255, 'n')), os::IsDeliverableName(Str(256, 'n')),
              os::IsDeliverableName("a b.tic"), os::IsDeliverableName("a\x1f.tic"),
              IsSafeFileName("a b.zip"), IsSafeFileName(""), IsSafeFileName("."),
              IsSafeFileName(".."), IsSafeFileName("a\x1f")),
            "1|0|1|0|1|0|0|0|0|");
  // A directory of 236 characters, given with or without its closing
  // backslash, is the longest with room for every name a run makes there.
  const Str room(236, 'd');
  const auto fits = [](const Str& dir) { return FitsShortNames(dir, AsDirectory(dir).View()); };
  EXPECT_EQ(J(fits(room), fits(room + "\\"), fits(room + "d"), fits(room + "d\\")), "1|1|0|0|");
  const char* sorted[] = {"a.tic", "ab", "AB.tic", "ab.tic", "abc", "a_", "B.tic", "c.tic"};
  for (std::size_t i = 0; i < std::size(sorted); ++i) {
    EXPECT_FALSE(os::NameBefore(sorted[i], sorted[i])) << sorted[i];
    for (std::size_t j = i + 1; j < std::size(sorted); ++j) {
      EXPECT_TRUE(os::NameBefore(sorted[i], sorted[j]) && !os::NameBefore(sorted[j], sorted[i]))
          << sorted[i] << " " << sorted[j];
    }
  }
}

// An address as its four parts.
Str Parts(const NetAddress& a) { return J(a.Zone, a.Net, a.Node, a.Point); }

// Each address parsed over 7:7/7.7: its parts, then how it prints back.
TEST(PureHelpers, NetAddressParsedAndPrinted) {
  const Str addresses =
      "2:123/45=2|123|45|0|2:123/45, 2:123/45.6@othernet=2|123|45|6|2:123/45.6, "
      "2:123/45@othernet=2|123|-1|0|2:123/?, 2:123/45@fido.net=2|123|-1|-1|2:123/?.?, "
      "2:123/*=2|123|-32767|0|2:123/*, 2:?/*.5=2|-9|-32767|5|2:?/*.5, "
      "2:???\?/1=2|-9999|1|0|2:???\?/1, 2:????\?/1=2|-1|1|0|2:?/1, 2:??*/1=2|-32767|1|0|2:*/1, "
      "2:*?/1=2|-1|1|0|2:?/1, 2:123=2|-1|-1|-1|2:?/?.?, 123/45=-1|-1|-1|-1|?:?/?.?, "
      "=-1|-1|-1|-1|?:?/?.?, 2:40000/1=2|-25536|1|0|2:*/1, 2:$1F/1=2|31|1|0|2:31/1, "
      "0:0/0=0|0|0|0|0:0/0, 2:-10000/-1000=2|-10000|-1000|0|2:*/????, "
      "2:-150/1=2|-150|1|0|2:??\?/1, 2:-10/-100.-1000=2|-10|-100|-1000|2:?\?/??\?.??\??";
  Walk(addresses, [](const Str& text) {
    NetAddress a{7, 7, 7, 7};
    ParseNetAddress(text, &a);
    return Parts(a) + S(NetAddressText(a));
  });
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
  for (const NetAddress& a : {record.Origin, record.From})
    read.append("/").append(a.Zone ? Parts(a) : "");
  return read;
}

// A TAB is no blank ending a keyword, but the fifth character of a "File"
// line is skipped whatever it is; an LF alone is part of the line, a lone CR
// ends one, and a NUL is a character like any other. Lines are cut at 255
// characters, the fields at their capacity.
TEST(PureHelpers, TicketLinesAreReadByTheirKeywords) {
  const Str a200(200, 'a'), b100(100, 'b'), d250(250, 'd');
  const std::pair<Str, Str> cases[] = {
      {"AREA  fileecho|File a.zip|", "FILEECHO//A.ZIP//"},
      {"Area abcdefghijklmnopqrstuvwxyz x|", "ABCDEFGHIJKLMNOPQRST////"},
      {"Area\tfileecho|Origin\t2:1/1|Areadesc text| Area indented|", "////"},
      {"desc First|DESC Second|Desc   indented |", "/First\rSecond\r  indented ///"},
      {"Desc|desc |desc A|desc |desc B|", "/A\r\rB///"},
      {"Desc " + a200 + "|Desc " + b100 + "|Desc c|",
       "/" + a200 + "\r" + b100.substr(0, 54) + "///"},
      {"Area one|Origin 1:1/1|From 1:2/3|area two|origin 2:5020/1.5|from 3:4/5|",
       "TWO///2|5020|1|5|/3|4|5|0|"},
      {"From |", "////-1|-1|-1|-1|"},
      {"Area one|\x1a"
       "Area two|File x|",
       "ONE////"},
      {"Area right|Desc " + d250 + "Area wrong|", "RIGHT/" + d250 + "///"},
      {"FILE\tb.zip|", "//B.ZIP//"},
      {"File a.zip|File ..\\x|", "////"},
      {"Area a\rFile x\r", "A//X//"},
      {"Area b||File x", "B//X//"},
      {"Area c\nFile x\n", "C\nFILE////"},
      {Str("Area d|") + '\0' + "line|File x|", "D//X//"}};
  for (const auto& [lines, want] : cases) EXPECT_EQ(Read(lines), want) << lines;
}

// Numbers lie little-endian whatever the machine: every byte of a size and
// of both addresses, and back again.
TEST(PureHelpers, RecordNumbersLieLittleEndian) {
  TicketRecord record;
  record.FileSize = 0x12345678;
  record.Origin = {2, 5020, -1042, 7};
  record.From = {-9, 0x1234, 1, 0};
  const RecordImage image = EncodeTicketRecord(record);
  const std::vector<int> bytes(image.begin() + FileSizeOffset, image.end());
  EXPECT_EQ(bytes, (std::vector<int>{0x78, 0x56, 0x34, 0x12, 2,    0,    0x9C, 0x13, 0xEE, 0xFB,
                                     7,    0,    0xF7, 0xFF, 0x34, 0x12, 1,    0,    0,    0}));
  const TicketRecord back = DecodeTicketRecord(image);
  EXPECT_EQ(back.FileSize, record.FileSize);
  EXPECT_EQ(NetAddressText(back.Origin).View(), "2:5020/????.7");
  EXPECT_EQ(NetAddressText(back.From).View(), "?:4660/1");
}

}  // namespace
}  // namespace corvane
