// Mode 0 seen from outside: which tickets reach ticbase.dat, what the
// console says, and where every ticket and file ends up.
#include "harness.h"

namespace corvane::test {

// A ticket as a tosser writes it, with every keyword this program ignores.
const std::string kRealTicket =
    "Area NODEDIFF|Origin 2:5020/1042|From 2:5020/1042.7|To Ivan Petrov, 2:5020/9|"
    "File nodediff.a22|Lfile nodediff.a22|Size 11|Date 1650000000|"
    "Desc Weekly nodelist difference |Ldesc Weekly nodelist difference for zone 2|"
    "Replaces nodediff.a15|Crc 1A2B3C4D|Created by Hatcher 2.0|"
    "Path 2:5020/1042 1650000000 Sat Apr 16 2022|Seenby 2:5020/1042|Seenby 2:5020/9|Desc|Pw ";

// A ticket without a usable file is skipped silently; so is one with lines
// ending in LF alone (one line naming no file). A ticket names a file, never
// a path or pattern that a lookup, delete or move would follow; nor the
// database, with the current directory as inbound or BadTics. A run after a
// completed report (ticbase.rep) empties the database it starts from.
TEST(Inbound, TicketsWithoutUsableFileAreLeftAlone) {
  struct Case {
    std::string lines, ticket = "q/in/TK000001.tic", dirs = "q/in|q/bad", eol = "\r\n";
  };
  std::vector<Case> cases = {{"File news.zip", "q/in/.TK00001.tic"},
                             {kRealTicket, "q/in/TK000001.tic", "q/in|q/bad", "\n"},
                             {"File TicBase.Dat", "TK000001.tic", ".|q/bad"},
                             {"File TicBase.Dat", "q/in/TK000001.tic", "q/in|."}};
  for (const std::string lines :
       {"", "Area x|Desc y", "File missing.zip", "File empty.zip", "File .news.zip", "File sub",
        "File|Area x", "File ..\\..\\x", "File ../../x", "File sub/x", "File sub\\x", "File *.zip",
        "File ?.zip", "File c:x", "File ..", "File ."}) {
    cases.push_back({lines});
  }
  for (const Case& c : cases) {
    const std::string node =
        "x=outside q/in/sub/x=nested q/in/a.zip=in q/in/news.zip=abc q/in/empty.zip= "
        "q/in/.news.zip=abc q/in/ticbase.dat=x q/in/nodediff.a22=diff q/bad/b.zip=kept " +
        c.ticket + "=@tic";
    ExpectScenario(
        {"0|" + c.dirs, node + " ticbase.dat=@db ticbase.rep=", Mode0Out(""), 0,
         node + " ticbase.dat="},
        {{"db", std::string(2 * kRecordSize, 'r')}, {"tic", CrLf(Split(c.lines), c.eol)}});
  }
}

// Where tickets and files end up, and what is stored. Tickets are taken in
// name order, letter case ignored, each from an empty record; the last File
// line counts, a real ticket is read by its keywords. The old copy goes once
// its replacement and that one's ticket are in BadTics. A ticket is moved by
// its key and ".tic": one that cannot be (another name, or that name taken
// in BadTics) stays whole in the inbound with its file and old copy
// untouched, and is not stored. Without a completed report since the last
// run, the records not yet reported stay. A missing inbound or BadTics is stop 3 before anything
// changes (not an emptied database and "Done."); an empty name is the
// current directory; a ticbase.dat in another directory is a file like any
// other. A ticket whose last File names a missing file (or "ATE" from
// "Filedate", a directory, a *.tic name) is no ticket to take in: nothing is
// stored, moved or deleted, least of all an old copy in BadTics.
TEST(Inbound, WhereTicketsAndFilesEndUp) {
  const Tree texts = {{"tic", Lines("Area echo|File news.zip")},
                      {"t1", Lines("Area one|Desc text|Origin 1:2/3|From 4:5/6.7|File news.zip")},
                      {"t2", Lines("File testfile.txt")},
                      {"t3", Lines("Area three|File missing.zip")},
                      {"plain", Lines("File news.zip")},
                      {"gone", Lines("File gone.zip")},
                      {"second", Lines("File a.zip|File verylongname.zip")},
                      {"real", Lines("File a.zip|" + kRealTicket)},
                      {"a", Lines("File a.zip")},
                      {"db", Database({{"X", "A.ZIP", 3}})},
                      {"missing", Lines("File a.zip|File missing.zip")},
                      {"date", Lines("File a.zip|Filedate 1700000000")},
                      {"dir", Lines("File a.zip|File subdir")},
                      {"self", Lines("File TK000001.TIC")},
                      {"lower", Lines("Area x|File tk000001.tic")},
                      {"junk", std::string(kRecordSize, 'r')},
                      {"base", Lines("File TicBase.Dat")}};
  const std::string one = "in/TK000001.tic=@tic in/NEWS.ZIP=new ",
                    echo = "TK000001,NEWS.ZIP,3,ECHO,,,";
  const std::string moved = "TK000001.TIC: NEWS.ZIP",
                    back = "|Can't move a TIC, returning file back";
  const std::string keyed =
      "in/TK000001.tic=@second in/a.zip=abc in/VeryLongName=abcdef in/nodediff.a22=diff bad/";
  const std::string node = "in/TK000001.tic=@a in/a.zip=abc bad/ ticbase.dat=@db";
  std::vector<Scenario> cases = {
      {"0|in|bad",
       "in/TK000002.TIC=@t2 in/TestFile.TXT=four in/tk000001.tic=@t1 in/NEWS.ZIP=x "
       "in/Tk000003.tic=@t3 bad/",
       Mode0Out("tk000001.TIC: NEWS.ZIP|TK000002.TIC: TESTFILE.TXT"), 0,
       "in/Tk000003.tic=@t3 bad/NEWS.ZIP=x bad/TESTFILE.TXT=four bad/TK000002.tic=@t2 "
       "bad/tk000001.tic=@t1",
       "tk000001,NEWS.ZIP,1,ONE,text,1:2/3.0,4:5/6.7|TK000002,TESTFILE.TXT,4,,,,"},
      {"0|in|bad", one + "bad/news.zip=old", Mode0Out(moved + "|Destination cleared"), 0,
       "bad/NEWS.ZIP=new bad/TK000001.tic=@tic in/", echo},
      {"0|in|bad", one + "bad/TK000001.TIC=older", Mode0Out(moved + back), 0, "", ""},
      {"0|in|bad", one + "bad/NEWS.ZIP=old bad/TK000001.tic=older", Mode0Out(moved + back), 0, "",
       ""},
      {"0|in|bad", "in/ab.tic=@plain in/NEWS.ZIP=data bad/",
       Mode0Out("ab.tic.TIC: NEWS.ZIP" + back), 0, "", ""},
      {"0|in|bad", "in/newfiles01.tic=@plain in/NEWS.ZIP=data in/NEWFILES.TIC=@gone bad/",
       Mode0Out("newfiles.TIC: NEWS.ZIP" + back), 0, "", ""},
      {"0|in|bad", keyed, Mode0Out("TK000001.TIC: VERYLONGNAME"), 0,
       "in/a.zip=abc in/nodediff.a22=diff bad/VERYLONGNAME=abcdef bad/TK000001.tic=@second",
       "TK000001,VERYLONGNAME,6,,,,"},
      {"0|in|bad", keyed + " in/TK000001.tic=@real", Mode0Out("TK000001.TIC: NODEDIFF.A22"), 0,
       "in/a.zip=abc in/VeryLongName=abcdef bad/NODEDIFF.A22=diff bad/TK000001.tic=@real",
       "TK000001,NODEDIFF.A22,4,NODEDIFF,Weekly nodelist difference ,2:5020/1042.0,2:5020/1042.7"},
      {"0|nothere|bad", node, Preamble(0), 3},
      {"0|in|nothere", node, Preamble(0), 3},
      {"0|in/nothere/|nothere\\bad", node, Preamble(0), 3},
      {"1|nothere|.", node, Preamble(1), 3},
      {"0||bad", "bad/ ticbase.dat=@db ticbase.rep=", Mode0Out(""), 0, "bad/ ticbase.dat="},
      {"0|in|", "in/ ticbase.dat=@db", Mode0Out(""), 0},
      {"0|in|bad", "in/TK000001.tic=@base in/ticbase.dat=db bad/",
       Mode0Out("TK000001.TIC: TICBASE.DAT"), 0, "in/ bad/TICBASE.DAT=db bad/TK000001.tic=@base",
       "TK000001,TICBASE.DAT,2,,,,"},
      {"1||.", "ticbase.dat=@db",
       Preamble(1) + Lines("Checking stored info...|0. A.ZIP is ok|Done.")}};
  for (const std::string files :
       {"in/TK000001.tic=@missing in/a.zip=abc", "in/TK000001.tic=@date in/a.zip=abc",
        "in/TK000001.tic=@dir in/a.zip=abc in/subdir/x=inside",
        "in/TK000002.tic=@self in/TK000001.TIC=@gone",
        "in/TK000002.tic=@lower in/TK000001.TIC=@gone"}) {
    const std::string all = files + " bad/MISSING.ZIP=old bad/ATE=old bad/TK000001.tic=older";
    cases.push_back({"0|in|bad", all + " ticbase.dat=@junk ticbase.rep=", Mode0Out(""), 0,
                     all + " ticbase.dat="});
  }
  // Windows cannot hold two names differing in case only: of two tickets the
  // one read is the one that moves.
  if (!WindowsProgram()) {
    cases.push_back({"0|in|bad", "in/TK000001.TIC=@t3 in/TK000001.TiC=@plain in/news.zip=r bad/",
                     Mode0Out(moved), 0,
                     "in/TK000001.TIC=@t3 bad/NEWS.ZIP=r bad/TK000001.tic=@plain",
                     "TK000001,NEWS.ZIP,1,,,,"});
  }
  for (const Scenario& c : cases) ExpectScenario(c, texts);
  // A file that is a link stays with its ticket, and its old copy with them.
  if (!WindowsProgram()) {
    Sandbox box(Files(one + "bad/NEWS.ZIP=old x=new", texts));
    fs::remove(box.Path("in/NEWS.ZIP"));
    fs::create_symlink("../x", box.Path("in/NEWS.ZIP"));
    EXPECT_EQ(box.Run({"0", "in", "bad"}).out, Mode0Out(moved + "|Can't move a file"));
    EXPECT_EQ(Slurp(box.Path("bad/NEWS.ZIP")), "old");
    EXPECT_TRUE(fs::is_symlink(box.Path("in/NEWS.ZIP")));
    EXPECT_EQ(Stored(Slurp(box.Path("ticbase.dat"))), "");
  }
}

// ticbase.dat holds what a report still owes. A second take-in before any
// report keeps the records not yet reported, and the report then announces
// each once; a take-in after a completed report starts afresh, so an area
// no report takes (LOCAL here) does not pile up.
TEST(Inbound, DatabaseHoldsWhatAReportStillOwes) {
  const Tree texts = {{"fido", Lines("Area FIDO|File a.zip")},
                      {"local", Lines("Area LOCAL|File b.zip")},
                      {"late", Lines("Area FIDO|File c.zip")}};
  Sandbox box(
      Files("in/TK000001.tic=@fido in/a.zip=a in/TK000002.tic=@local in/b.zip=b bad/", texts));
  const auto stored = [&] { return Stored(Slurp(box.Path("ticbase.dat"))); };
  ASSERT_EQ(box.Run({"0", "in", "bad"}).exit_code, 0);
  box.Write("in/TK000003.tic", texts.at("late"));
  box.Write("in/c.zip", "c");
  ASSERT_EQ(box.Run({"0", "in", "bad"}).exit_code, 0);
  EXPECT_EQ(stored(),
            "TK000001,A.ZIP,1,FIDO,,,|TK000002,B.ZIP,1,LOCAL,,,|TK000003,C.ZIP,1,FIDO,,,");
  ASSERT_EQ(box.Run({"2", "FIDO*", "r.txt"}).exit_code, 0);
  EXPECT_EQ(Slurp(box.Path("r.txt")),
            Section("FIDO", {" A.ZIP                 1", " C.ZIP                 1"}, "2") +
                Lines("| Total of 2 in 2 file(s)|"));
  EXPECT_TRUE(fs::exists(box.Path("ticbase.rep")));
  ASSERT_EQ(box.Run({"0", "in", "bad"}).exit_code, 0);
  EXPECT_EQ(stored(), "");
  EXPECT_FALSE(fs::exists(box.Path("ticbase.rep")));
}

}  // namespace corvane::test
