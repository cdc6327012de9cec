#include "inbound/ticket_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

// What the reader makes of a ticket's lines, each ended by CR LF.
TEST(TicketReader, LinesAreReadByTheirKeywords) {
  struct Case {
    std::vector<std::string> lines;
    std::string area = "", desc = "", file = "";
    NetAddress origin = {}, from = {};
  };
  const std::string a200(200, 'a'), b100(100, 'b'), d250(250, 'd');
  const Case cases[] = {
      {{"AREA  fileecho", "File a.zip"}, "FILEECHO", "", "A.ZIP"},
      {{"Area abcdefghijklmnopqrstuvwxyz x"}, "ABCDEFGHIJKLMNOPQRST"},
      // A TAB is no blank ending a keyword; "areadesc" is neither keyword.
      {{"Area\tfileecho", "Origin\t2:1/1", "Areadesc text", " Area indented"}},
      {{"desc First", "DESC Second", "Desc   indented "}, "", "First\rSecond\r  indented "},
      {{"Desc", "desc ", "desc A", "desc ", "desc B"}, "", "A\r\rB"},
      {{"Desc " + a200, "Desc " + b100, "Desc c"}, "", a200 + "\r" + b100.substr(0, 54)},
      {{"Area one", "Origin 1:1/1", "From 1:2/3", "area two", "origin 2:5020/1.5", "from 3:4/5"},
       "TWO",
       "",
       "",
       {2, 5020, 1, 5},
       {3, 4, 5, 0}},
      {{"Origin 2:123/45", "From 2:5020/1.3@fidonet"},
       "",
       "",
       "",
       {2, 123, 45, 0},
       {2, 5020, 1, 3}},
      {{"From "}, "", "", "", {}, {-1, -1, -1, -1}},
      {{"Area one",
        "\x1a"
        "Area two",
        "File x"},
       "ONE"},
      {{"Area right", "Desc " + d250 + "Area wrong"}, "RIGHT", d250},
      // The last "file" line names the file; its fifth character is skipped,
      // and any line starting with "file" is one ("Filedate" names "ATE").
      {{"File a.zip", "File verylongname.zip"}, "", "", "VERYLONGNAME"},
      {{"FILE\tb.zip"}, "", "", "B.ZIP"},
      {{"File a.zip", "Filedate 1700000000"}, "", "", "ATE"},
      // Names that are no plain file name, or are tickets, name no file.
      {{"File a.zip", "File ..\\x"}},
      {{"File sub/x"}},
      {{"File *.zip"}},
      {{"File c:x"}},
      {{"File .."}},
      {{"File"}},
      {{"File TK000001.TIC"}},
      {{"File x.TiC"}},
  };
  for (const Case& c : cases) {
    std::string text;
    for (const auto& line : c.lines) text += line + "\r\n";
    TicketRecord record;
    record.FileSize = 99;
    record.FileName = ShortText<12>("OLD.ZIP");
    record.Origin.Zone = record.From.Zone = 7;
    TextReader reader(text);
    ASSERT_EQ(ReadTicket(&reader, &record), os::Ok) << text;
    EXPECT_EQ(record.Area.View(), c.area) << text;
    EXPECT_EQ(record.Description.View(), c.desc) << text;
    EXPECT_EQ(record.FileName.View(), c.file) << text;
    EXPECT_EQ(record.FileSize, 0) << text;
    // An address of zone 0 is "not given": its other parts mean nothing.
    EXPECT_EQ(record.Origin.Zone, c.origin.Zone) << text;
    EXPECT_EQ(record.From.Zone, c.from.Zone) << text;
    if (c.origin.Zone != 0) {
      EXPECT_EQ(NetAddressText(record.Origin).View(), NetAddressText(c.origin).View()) << text;
    }
    if (c.from.Zone != 0) {
      EXPECT_EQ(NetAddressText(record.From).View(), NetAddressText(c.from).View()) << text;
    }
  }
}

// Line ends: CR, CR LF; an LF alone is part of the line, so a ticket of
// LF-only lines is one line, here an "area" line.
TEST(TicketReader, LineEnds) {
  for (const auto& [text, area] :
       std::vector<std::pair<std::string, std::string>>{{"Area a\rFile x\r", "A"},
                                                        {"Area b\r\n\r\nFile x", "B"},
                                                        {"Area c\nFile x\n", "C\nFILE"}}) {
    TicketRecord record;
    TextReader reader(text);
    ASSERT_EQ(ReadTicket(&reader, &record), os::Ok);
    EXPECT_EQ(record.Area.View(), area);
    EXPECT_EQ(record.FileName.View(), area == "C\nFILE" ? "" : "X");
  }
}

}  // namespace
}  // namespace corvane
