// Mode 0 seen from outside: which tickets reach ticbase.dat, what the
// console says, and where every ticket and file ends up.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "harness.h"

namespace corvane::test {
namespace {

// A ticket as a tosser writes it, with every keyword this program ignores.
const std::string kRealTicket =
    "Area NODEDIFF|Origin 2:5020/1042|From 2:5020/1042.7|To Ivan Petrov, 2:5020/9|"
    "File nodediff.a22|Lfile nodediff.a22|Size 11|Date 1650000000|"
    "Desc Weekly nodelist difference |Ldesc Weekly nodelist difference for zone 2|"
    "Replaces nodediff.a15|Crc 1A2B3C4D|Created by Hatcher 2.0|"
    "Path 2:5020/1042 1650000000 Sat Apr 16 2022|Seenby 2:5020/1042|Seenby 2:5020/9|Desc|Pw ";

// A ticket without a usable file is skipped silently; so is one whose lines
// end in LF alone: its whole text is one line that names no file. A ticket
// names a file, not a path or a pattern: such names must never reach a
// lookup, delete or move, wherever they would point; nor may the database
// itself, with the current directory as inbound or BadTics. Every run starts
// from an empty database.
TEST(Inbound, TicketsWithoutUsableFileAreLeftAlone) {
  struct Case {
    std::string lines, ticket = "q/in/TK000001.tic", inbound = "q/in", bad = "q/bad", eol = "\r\n";
  };
  std::vector<Case> cases = {{"File news.zip", "q/in/.TK00001.tic"},
                             {kRealTicket, "q/in/TK000001.tic", "q/in", "q/bad", "\n"},
                             {"File TicBase.Dat", "TK000001.tic", ".", "q/bad"},
                             {"File TicBase.Dat", "q/in/TK000001.tic", "q/in", "."}};
  for (const std::string lines :
       {"", "Area x|Desc y", "File missing.zip", "File empty.zip", "File .news.zip", "File sub",
        "File|Area x", "File ..\\..\\x", "File ../../x", "File sub/x", "File sub\\x", "File *.zip",
        "File ?.zip", "File c:x", "File ..", "File ."}) {
    cases.push_back({lines});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ticket + ": " + c.lines);
    Sandbox box;
    box.Populate(
        Files("x=outside q/in/sub/x=nested q/in/a.zip=in q/in/news.zip=abc q/in/empty.zip= "
              "q/in/.news.zip=abc q/in/ticbase.dat=x q/in/nodediff.a22=diff q/bad/b.zip=kept "
              "ticbase.dat=@db",
              {{"db", std::string(2 * kRecordSize, 'r')}}));
    box.Write(c.ticket, CrLf(Split(c.lines), c.eol));
    const Tree before = box.Snapshot();
    const RunResult run = box.Run({"0", c.inbound, c.bad});
    EXPECT_EQ(run.out, Mode0Out(""));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(box.Read("ticbase.dat"), "");
    EXPECT_EQ(box.Snapshot(), before);
  }
}

// Where tickets and files end up. Tickets are taken in name order, letter
// case ignored. The old copy goes before the file arrives; a file whose
// ticket cannot follow it goes back, so that ticket and file are never
// parted. A ticket is moved by its key and ".tic": when that is not its own
// name the move must fail rather than carry off some other ticket. The
// record is written before any move and stays whatever the moves do.
TEST(Inbound, WhereTicketsAndFilesEndUp) {
  const Tree texts = {{"tic", CrLf({"Area echo", "File news.zip"})},
                      {"t1", CrLf({"Area one", "File news.zip"})},
                      {"t2", CrLf({"Area two", "File testfile.txt"})},
                      {"t3", CrLf({"Area three", "File missing.zip"})},
                      {"plain", CrLf({"File news.zip"})},
                      {"gone", CrLf({"File gone.zip"})}};
  const std::string one = "in/TK000001.tic=@tic in/NEWS.ZIP=new ";
  const std::string moved = "TK000001.TIC: NEWS.ZIP",
                    back = "|Can't move a TIC, returning file back";
  struct Case {
    const char* why;
    std::string files, bad, lines;
    std::string after, stored;  // after "": as before; stored: key file area size
    bool posix_only = false;    // Windows cannot hold two names differing in case only
  };
  const Case cases[] = {
      {"name order",
       "in/TK000002.TIC=@t2 in/TestFile.TXT=four in/tk000001.tic=@t1 in/NEWS.ZIP=x "
       "in/Tk000003.tic=@t3 bad/",
       "bad", "tk000001.TIC: NEWS.ZIP|TK000002.TIC: TESTFILE.TXT",
       "in/Tk000003.tic=@t3 bad/NEWS.ZIP=x bad/TESTFILE.TXT=four bad/TK000002.tic=@t2 "
       "bad/tk000001.tic=@t1",
       "tk000001 NEWS.ZIP ONE 1|TK000002 TESTFILE.TXT TWO 4"},
      {"old copy in BadTics", one + "bad/news.zip=old", "bad", moved + "|Destination cleared",
       "bad/NEWS.ZIP=new bad/TK000001.tic=@tic in/", "TK000001 NEWS.ZIP ECHO 3"},
      {"ticket already in BadTics", one + "bad/TK000001.TIC=older", "bad", moved + back, "",
       "TK000001 NEWS.ZIP ECHO 3"},
      {"old copy and ticket already in BadTics", one + "bad/NEWS.ZIP=old bad/TK000001.tic=older",
       "bad", moved + "|Destination cleared" + back, one + "bad/TK000001.tic=older",
       "TK000001 NEWS.ZIP ECHO 3"},
      {"short ticket name", "in/ab.tic=@plain in/NEWS.ZIP=data bad/", "bad",
       "ab.tic.TIC: NEWS.ZIP" + back, "", "ab.tic NEWS.ZIP  4"},
      {"long ticket name", "in/newfiles01.tic=@plain in/NEWS.ZIP=data bad/", "bad",
       "newfiles.TIC: NEWS.ZIP" + back, "", "newfiles NEWS.ZIP  4"},
      {"long ticket name beside its key's ticket",
       "in/newfiles01.tic=@plain in/NEWS.ZIP=data in/NEWFILES.TIC=@gone bad/", "bad",
       "newfiles.TIC: NEWS.ZIP" + back, "", "newfiles NEWS.ZIP  4"},
      // The way back is blocked by a file of the same name in another case.
      {"file cannot come back", one + "in/news.zip=other bad/TK000001.tic=older", "bad",
       moved + back + "|Can't move a file back",
       "in/news.zip=other in/TK000001.tic=@tic bad/NEWS.ZIP=new bad/TK000001.tic=older",
       "TK000001 NEWS.ZIP ECHO 3", true},
      // The one read is the one that moves, whatever the other holds.
      {"two tickets differing in case",
       "in/TK000001.TIC=@t3 in/TK000001.TiC=@plain in/news.zip=r bad/", "bad", moved,
       "in/TK000001.TIC=@t3 bad/NEWS.ZIP=r bad/TK000001.tic=@plain", "TK000001 NEWS.ZIP  1", true}};
  for (const Case& c : cases) {
    if (c.posix_only && UnderLauncher()) continue;
    SCOPED_TRACE(c.why);
    Sandbox box;
    box.Populate(Files(c.files, texts));
    const RunResult run = box.Run({"0", "in", c.bad});
    EXPECT_EQ(run.out, Mode0Out(c.lines));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_code, 0);
    std::string stored;
    for (const auto& t : DecodeTicbase(box.Read("ticbase.dat"))) {
      stored += (stored.empty() ? "" : "|") + std::get<0>(t) + " " + std::get<1>(t) + " " +
                std::get<3>(t) + " " + std::to_string(std::get<2>(t));
    }
    EXPECT_EQ(stored, c.stored);
    EXPECT_EQ(box.Snapshot(), Files(c.after.empty() ? c.files : c.after, texts));
  }
}

// The reader's keyword rules have their unit table; here a whole real ticket
// and a second "file" line go through the program, file lookup and all.
// Every ticket starts with "File a.zip"; the inbound directory holds a.zip
// (3 bytes), VeryLongName (6 bytes) and nodediff.a22 (4 bytes).
TEST(Inbound, TicketLinesAreReadByTheirKeywords) {
  struct Case {
    std::string why, lines, area = "", desc = "", origin = "", from = "", file = "A.ZIP";
    int size = 3;
  };
  const Case cases[] = {
      {"second file line", "File verylongname.zip", "", "", "", "", "VERYLONGNAME", 6},
      {"real ticket", kRealTicket, "NODEDIFF", "Weekly nodelist difference ", "2:5020/1042.0",
       "2:5020/1042.7", "NODEDIFF.A22", 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Sandbox box;
    box.Populate(
        Files("in/TK000001.tic=@tic in/a.zip=abc in/VeryLongName=abcdef in/nodediff.a22=diff bad/",
              {{"tic", CrLf(Split("File a.zip|" + c.lines))}}));
    const RunResult run = box.Run({"0", "in", "bad"});
    EXPECT_EQ(run.out, Mode0Out("TK000001.TIC: " + c.file));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_code, 0);
    const auto db = DecodeTicbase(box.Read("ticbase.dat"));
    // The file moves under its upper-cased name, the ticket under its key.
    EXPECT_EQ(box.Snapshot().count("bad/" + c.file), 1u);
    EXPECT_EQ(box.Snapshot().count("bad/TK000001.tic"), 1u);
    ASSERT_EQ(db.size(), 1u);
    EXPECT_EQ(db[0], std::tuple("TK000001", c.file, c.size, c.area, c.desc, c.origin, c.from));
  }
}

// Nothing of one ticket carries over to the next: the second ticket names a
// file and nothing else.
TEST(Inbound, EachTicketStartsFromAnEmptyRecord) {
  Sandbox box;
  box.Populate(
      Files("in/TK000001.tic=@full in/TK000002.tic=@bare in/a.zip=abc in/b.zip=b bad/",
            {{"full", CrLf(Split("Area one|Desc text|Origin 1:2/3|From 4:5/6.7|File a.zip"))},
             {"bare", CrLf({"File b.zip"})}}));
  ASSERT_EQ(box.Run({"0", "in", "bad"}).exit_code, 0);
  EXPECT_EQ(DecodeTicbase(box.Read("ticbase.dat")),
            (std::vector<Fields>{{"TK000001", "A.ZIP", 3, "ONE", "text", "1:2/3.0", "4:5/6.7"},
                                 {"TK000002", "B.ZIP", 1, "", "", "", ""}}));
}

}  // namespace
}  // namespace corvane::test
