// Mode 0 seen from outside: which tickets reach ticbase.dat, what the
// console says, and where every ticket and file ends up.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "harness.h"
#include "tickets.h"

namespace corvane::test {
namespace {

using Tree = std::map<std::string, std::string>;

std::string Mode0Out(const std::vector<std::string>& lines) {
  std::vector<std::string> all = {"Processing incoming TICs..."};
  all.insert(all.end(), lines.begin(), lines.end());
  all.push_back("Done.");
  return Preamble(0) + CrLf(all);
}

std::vector<StoredTicket> Stored(const Sandbox& box) {
  return DecodeTicbase(box.Read("ticbase.dat"));
}

// Every regular file under the sandbox with its content, ticbase.dat aside:
// comparing two snapshots proves that a run moved, deleted or created nothing.
Tree Snapshot(const Sandbox& box, bool with_ticbase = false) {
  Tree tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(box.root())) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().lexically_relative(box.root()).generic_string();
    if (name != "ticbase.dat" || with_ticbase) tree[name] = box.Read(name);
  }
  return tree;
}

void Populate(const Sandbox& box, const Tree& files) {
  for (const auto& [name, bytes] : files) box.Write(name, bytes);
}

TEST(Inbound, StoresTicketThenMovesFileAndTicketToBadTics) {
  Sandbox box;
  box.MakeDir("bad");
  box.Write("in/TK000001.tic", TicketText({"Area fileecho", "Desc Weekly news", "Desc second line",
                                           "Origin 2:5020/1", "From 2:5020/2.3", "File news.zip"}));
  box.Write("in/news.zip", "12345");
  const RunResult run = box.Run({"0", "in", "bad"});
  EXPECT_EQ(run.out, Mode0Out({"TK000001.TIC: NEWS.ZIP"}));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(Stored(box), (std::vector<StoredTicket>{{"TK000001",
                                                     "NEWS.ZIP",
                                                     "Weekly news\rsecond line",
                                                     "FILEECHO",
                                                     5,
                                                     {2, 5020, 1, 0},
                                                     {2, 5020, 2, 3}}}));
  // The file takes its upper-cased name, the ticket its key and ".tic".
  EXPECT_EQ(Snapshot(box),
            (Tree{{"bad/NEWS.ZIP", "12345"}, {"bad/TK000001.tic", box.Read("bad/TK000001.tic")}}));
  EXPECT_TRUE(box.List("in").empty());
}

TEST(Inbound, TicketsWithoutUsableFileAreLeftAlone) {
  struct Case {
    const char* why;
    std::string ticket;
    std::vector<std::string> lines;
    Tree files;
  };
  const Case cases[] = {
      {"empty ticket", "TK000001.tic", {}, {{"in/news.zip", "abc"}}},
      {"no file line", "TK000001.tic", {"Area x", "Desc y"}, {{"in/news.zip", "abc"}}},
      {"file missing", "TK000001.tic", {"File news.zip"}, {{"in/other.zip", "abc"}}},
      {"file empty", "TK000001.tic", {"File news.zip"}, {{"in/news.zip", ""}}},
      {"file hidden", "TK000001.tic", {"File .news.zip"}, {{"in/.news.zip", "abc"}}},
      {"file is a directory", "TK000001.tic", {"File news.zip"}, {{"in/news.zip/x", "abc"}}},
      {"no file name", "TK000001.tic", {"File", "Area x"}, {{"in/news.zip", "abc"}}},
      {"ticket hidden", ".TK00001.tic", {"File news.zip"}, {{"in/news.zip", "abc"}}},
  };
  for (const Case& c : cases) {
    Sandbox box;
    box.MakeDir("bad");
    Populate(box, c.files);
    box.Write("in/" + c.ticket, TicketText(c.lines));
    const Tree before = Snapshot(box);
    const RunResult run = box.Run({"0", "in", "bad"});
    EXPECT_EQ(run.out, Mode0Out({})) << c.why;
    EXPECT_EQ(run.exit_code, 0) << c.why;
    EXPECT_EQ(box.Read("ticbase.dat"), "") << c.why;
    EXPECT_EQ(Snapshot(box), before) << c.why;
  }
}

// A ticket names a file, not a path or a pattern: such names must never
// reach a lookup, delete or move, wherever they would point.
TEST(Inbound, UnsafeFileNamesNeverTouchAnything) {
  const std::vector<std::string> names = {"..\\..\\x", "../../x", "sub/x", "sub\\x", "*.zip",
                                          "?.zip",     "c:x",     "..",    "."};
  for (const std::string& name : names) {
    Sandbox box;
    Populate(box, {{"x", "outside"},
                   {"q/in/sub/x", "nested"},
                   {"q/in/a.zip", "in"},
                   {"q/bad/b.zip", "kept"},
                   {"q/in/TK000001.tic", TicketText({"File " + name})}});
    const Tree before = Snapshot(box);
    const RunResult run = box.Run({"0", "q/in", "q/bad"});
    EXPECT_EQ(run.out, Mode0Out({})) << name;
    EXPECT_EQ(run.exit_code, 0) << name;
    EXPECT_EQ(box.Read("ticbase.dat"), "") << name;
    EXPECT_EQ(Snapshot(box), before) << name;
  }
}

TEST(Inbound, TicketsAreTakenInNameOrderIgnoringCase) {
  Sandbox box;
  box.MakeDir("bad");
  Populate(box, {{"in/TK000002.TIC", TicketText({"Area two", "File testfile.txt"})},
                 {"in/TestFile.TXT", "four"},
                 {"in/tk000001.tic", TicketText({"Area one", "File news.zip"})},
                 {"in/NEWS.ZIP", "x"},
                 {"in/Tk000003.tic", TicketText({"Area three", "File missing.zip"})}});
  const std::string skipped = box.Read("in/Tk000003.tic");
  const RunResult run = box.Run({"0", "in", "bad"});
  EXPECT_EQ(run.out, Mode0Out({"tk000001.TIC: NEWS.ZIP", "TK000002.TIC: TESTFILE.TXT"}));
  std::vector<std::string> stored;
  for (const auto& t : Stored(box)) {
    stored.push_back(t.key + " " + t.file + " " + t.area + " " + std::to_string(t.size));
  }
  EXPECT_EQ(stored,
            (std::vector<std::string>{"tk000001 NEWS.ZIP ONE 1", "TK000002 TESTFILE.TXT TWO 4"}));
  EXPECT_EQ(box.List("in"), std::vector<std::string>{"Tk000003.tic"});
  EXPECT_EQ(box.Read("in/Tk000003.tic"), skipped);
  EXPECT_EQ(box.List("bad"),
            (std::vector<std::string>{"NEWS.ZIP", "TESTFILE.TXT", "TK000002.tic", "tk000001.tic"}));
}

// The old copy goes before the file arrives; a file whose ticket cannot
// follow it goes back, so that ticket and file are never parted.
TEST(Inbound, MovesIntoBadTicsAndTheirFailures) {
  const std::string tic = TicketText({"Area echo", "File news.zip"});
  struct Case {
    const char* why;
    std::string bad_dir;
    Tree extra;
    std::vector<std::string> lines;
    Tree after;
  };
  const Case cases[] = {
      {"old copy in BadTics",
       "bad",
       {{"bad/news.zip", "old copy"}},
       {"Destination cleared"},
       {{"bad/NEWS.ZIP", "new"}, {"bad/TK000001.tic", tic}}},
      {"ticket already in BadTics",
       "bad",
       {{"bad/TK000001.TIC", "older"}},
       {"Can't move a TIC, returning file back"},
       {{"in/NEWS.ZIP", "new"}, {"in/TK000001.tic", tic}, {"bad/TK000001.TIC", "older"}}},
      {"old copy and ticket already in BadTics",
       "bad",
       {{"bad/NEWS.ZIP", "old"}, {"bad/TK000001.tic", "older"}},
       {"Destination cleared", "Can't move a TIC, returning file back"},
       {{"in/NEWS.ZIP", "new"}, {"in/TK000001.tic", tic}, {"bad/TK000001.tic", "older"}}},
  };
  for (const Case& c : cases) {
    Sandbox box;
    Populate(box, {{"in/TK000001.tic", tic}, {"in/NEWS.ZIP", "new"}});
    Populate(box, c.extra);
    const RunResult run = box.Run({"0", "in", c.bad_dir});
    std::vector<std::string> lines = {"TK000001.TIC: NEWS.ZIP"};
    lines.insert(lines.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(run.out, Mode0Out(lines)) << c.why;
    EXPECT_EQ(run.exit_code, 0) << c.why;
    // The record is written before any move and stays whatever the moves do.
    const auto db = Stored(box);
    ASSERT_EQ(db.size(), 1u) << c.why;
    EXPECT_EQ(db[0].file, "NEWS.ZIP") << c.why;
    EXPECT_EQ(db[0].size, 3) << c.why;
    EXPECT_EQ(Snapshot(box), c.after) << c.why;
  }
}

// The way back is blocked by a file of the same name in another letter case:
// the file stays in BadTics, its ticket in the inbound directory.
TEST(Inbound, FileThatCannotComeBackStaysInBadTics) {
  if (UnderLauncher()) GTEST_SKIP() << "Windows cannot hold news.zip beside NEWS.ZIP";
  const std::string tic = TicketText({"Area echo", "File news.zip"});
  Sandbox box;
  Populate(box, {{"in/TK000001.tic", tic},
                 {"in/NEWS.ZIP", "new"},
                 {"in/news.zip", "other"},
                 {"bad/TK000001.tic", "older"}});
  const RunResult run = box.Run({"0", "in", "bad"});
  EXPECT_EQ(run.out, Mode0Out({"TK000001.TIC: NEWS.ZIP", "Can't move a TIC, returning file back",
                               "Can't move a file back"}));
  EXPECT_EQ(Snapshot(box), (Tree{{"in/news.zip", "other"},
                                 {"in/TK000001.tic", tic},
                                 {"bad/NEWS.ZIP", "new"},
                                 {"bad/TK000001.tic", "older"}}));
}

// Two tickets whose names differ in letter case only: the one read is the
// one that moves, whatever the other holds.
TEST(Inbound, TicketLeavesByTheNameItWasReadBy) {
  if (UnderLauncher()) GTEST_SKIP() << "Windows cannot hold TK000001.TIC beside TK000001.TiC";
  Sandbox box;
  box.MakeDir("bad");
  const std::string skipped = TicketText({"File missing.zip"});
  const std::string real = TicketText({"File real.zip"});
  Populate(box, {{"in/TK000001.TIC", skipped}, {"in/TK000001.TiC", real}, {"in/real.zip", "r"}});
  const RunResult run = box.Run({"0", "in", "bad"});
  EXPECT_EQ(run.out, Mode0Out({"TK000001.TIC: REAL.ZIP"}));
  EXPECT_EQ(
      Snapshot(box),
      (Tree{{"in/TK000001.TIC", skipped}, {"bad/REAL.ZIP", "r"}, {"bad/TK000001.tic", real}}));
}

// With the current directory as inbound or BadTics, a ticket naming the
// database would move or clear it.
TEST(Inbound, TicketNamingTheDatabaseIsLeftAlone) {
  for (const auto& [inbound, bad] :
       std::vector<std::pair<std::string, std::string>>{{".", "bad"}, {"in", "."}}) {
    SCOPED_TRACE(inbound + " " + bad);
    Sandbox box;
    box.MakeDir("bad");
    Populate(box, {{inbound + "/TK000001.tic", TicketText({"File TicBase.Dat"})},
                   {"in/ticbase.dat", "x"}});
    const RunResult run = box.Run({"0", inbound, bad});
    EXPECT_EQ(run.out, Mode0Out({}));
    EXPECT_EQ(box.Read("ticbase.dat"), "");
    EXPECT_TRUE(box.Exists(inbound + "/TK000001.tic"));
  }
}

// A ticket is moved by its key and ".tic"; when that is not the ticket's own
// name the move must fail rather than carry off some other ticket.
TEST(Inbound, TicketNamesNotOfEightCharactersCannotBeMoved) {
  struct Case {
    std::string ticket;
    std::string key;
    Tree extra;
  };
  const Case cases[] = {
      {"ab.tic", "ab.tic", {}},
      {"newfiles01.tic", "newfiles", {}},
      {"newfiles01.tic", "newfiles", {{"in/NEWFILES.TIC", TicketText({"File gone.zip"})}}},
  };
  for (const Case& c : cases) {
    Sandbox box;
    box.MakeDir("bad");
    Populate(box, {{"in/" + c.ticket, TicketText({"File news.zip"})}, {"in/NEWS.ZIP", "data"}});
    Populate(box, c.extra);
    const Tree before = Snapshot(box);
    const RunResult run = box.Run({"0", "in", "bad"});
    EXPECT_EQ(run.out,
              Mode0Out({c.key + ".TIC: NEWS.ZIP", "Can't move a TIC, returning file back"}))
        << c.ticket << " with " << c.extra.size() << " other";
    const auto db = Stored(box);
    ASSERT_EQ(db.size(), 1u) << c.ticket;
    EXPECT_EQ(db[0].key, c.key);
    EXPECT_EQ(Snapshot(box), before) << c.ticket << " with " << c.extra.size() << " other";
  }
}

TEST(Inbound, SameDirectoryForBothIsRefused) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"in", "IN/"}, {"in", "./in"}, {"in/", "in\\"}, {"./IN", "in"}};
  for (const auto& [inbound, bad] : cases) {
    Sandbox box;
    Populate(box, {{"in/TK000001.tic", TicketText({"File news.zip"})},
                   {"in/NEWS.ZIP", "data"},
                   {"ticbase.dat", std::string(kRecordSize, 'r')}});
    const Tree before = Snapshot(box, true);
    const RunResult run = box.Run({"0", inbound, bad});
    EXPECT_EQ(run.out,
              Preamble(0) + CrLf({"Inbound and BadTics are the same directory; nothing done."}))
        << inbound << " " << bad;
    EXPECT_EQ(run.exit_code, 1) << inbound << " " << bad;
    EXPECT_EQ(Snapshot(box, true), before) << inbound << " " << bad;
  }
}

TEST(Inbound, EveryRunStartsFromAnEmptyDatabase) {
  Sandbox box;
  box.MakeDir("bad");
  Populate(box, {{"in/TK000001.tic", TicketText({"File a.zip"})}, {"in/a.zip", "a"}});
  EXPECT_EQ(box.Run({"0", "in", "bad"}).out, Mode0Out({"TK000001.TIC: A.ZIP"}));
  ASSERT_EQ(box.Read("ticbase.dat").size(), kRecordSize);
  EXPECT_EQ(box.Run({"0", "in", "bad"}).out, Mode0Out({}));
  EXPECT_EQ(box.Read("ticbase.dat"), "");
  // A directory that is not there stops the run before the last run's
  // records are lost.
  box.Write("ticbase.dat", std::string(2 * kRecordSize, 'r'));
  for (const auto& [inbound, bad] :
       std::vector<std::pair<std::string, std::string>>{{"nothere", "bad"}, {"in", "nothere"}}) {
    const RunResult missing = box.Run({"0", inbound, bad});
    EXPECT_EQ(missing.out, Preamble(0));
    EXPECT_EQ(RuntimeStopNumber(missing.err), 3) << missing.err;
    EXPECT_EQ(missing.exit_code, 3);
    EXPECT_EQ(box.Read("ticbase.dat"), std::string(2 * kRecordSize, 'r'));
  }
}

TEST(Inbound, DatabaseThatCannotBeCreatedStopsAtOnce) {
  Sandbox box;
  box.MakeDir("ticbase.dat");
  Populate(box, {{"in/TK000001.tic", TicketText({"File a.zip"})}, {"in/a.zip", "a"}});
  box.MakeDir("bad");
  const RunResult run = box.Run({"0", "in", "bad"});
  EXPECT_EQ(run.out, Preamble(0));
  EXPECT_GT(RuntimeStopNumber(run.err), 0) << run.err;
  EXPECT_EQ(run.exit_code, RuntimeStopNumber(run.err));
  EXPECT_EQ(box.List("in"), (std::vector<std::string>{"TK000001.tic", "a.zip"}));
}

// What the ticket reader makes of single lines. Every ticket starts with
// "File a.zip"; the inbound directory holds a.zip (3 bytes) and
// VeryLongName (6 bytes).
TEST(Inbound, TicketLinesAreReadByTheirKeywords) {
  struct Case {
    const char* why;
    std::vector<std::string> lines;
    std::string area = "";
    std::string desc = "";
    Address origin{};
    Address from{};
    std::string file = "A.ZIP";
    int size = 3;
  };
  const std::string a200(200, 'a'), b100(100, 'b'), d250(250, 'd');
  const Case cases[] = {
      {"blanks after keyword", {"AREA  fileecho"}, "FILEECHO"},
      {"area cut to 20", {"Area abcdefghijklmnopqrstuvwxyz x"}, "ABCDEFGHIJKLMNOPQRST"},
      {"tab after keyword", {"Area\tfileecho", "Origin\t2:1/1", "From"}},
      {"areadesc", {"Areadesc Some text"}},
      {"desc joins",
       {"desc First", "DESC Second", "Desc   indented "},
       "",
       "First\rSecond\r  indented "},
      {"empty desc lines", {"Desc", "desc ", "desc A", "desc ", "desc B"}, "", "A\r\rB"},
      {"desc cut at 255",
       {"Desc " + a200, "Desc " + b100, "Desc c"},
       "",
       a200 + "\r" + b100.substr(0, 54)},
      {"last wins",
       {"Area one", "Origin 1:1/1", "From 1:2/3", "area two", "origin 2:5020/1.5", "from 3:4/5"},
       "TWO",
       "",
       {2, 5020, 1, 5},
       {3, 4, 5, 0}},
      {"addresses",
       {"Origin 2:123/45", "From 2:5020/1.3@fidonet"},
       "",
       "",
       {2, 123, 45, 0},
       {2, 5020, 1, 3}},
      {"from without value", {"From "}, "", "", {}, {-1, -1, -1, -1}},
      {"ctrl-z ends the text",
       {"Area one",
        "\x1a"
        "Area two",
        "File VeryLongName"},
       "ONE"},
      {"long line cut", {"Area right", "Desc " + d250 + "Area wrong"}, "RIGHT", d250},
      {"second file line", {"File verylongname.zip"}, "", "", {}, {}, "VERYLONGNAME", 6},
      {"fifth character skipped", {"FILE\tVeryLongName"}, "", "", {}, {}, "VERYLONGNAME", 6},
  };
  for (const Case& c : cases) {
    Sandbox box;
    box.MakeDir("bad");
    std::vector<std::string> lines = {"File a.zip"};
    lines.insert(lines.end(), c.lines.begin(), c.lines.end());
    Populate(box, {{"in/TK000001.tic", TicketText(lines)},
                   {"in/a.zip", "abc"},
                   {"in/VeryLongName", "abcdef"}});
    const RunResult run = box.Run({"0", "in", "bad"});
    EXPECT_EQ(run.exit_code, 0) << c.why;
    const auto db = Stored(box);
    ASSERT_EQ(db.size(), 1u) << c.why;
    EXPECT_EQ(db[0].area, c.area) << c.why;
    EXPECT_EQ(db[0].desc, c.desc) << c.why;
    EXPECT_EQ(db[0].file, c.file) << c.why;
    EXPECT_EQ(db[0].size, c.size) << c.why;
    // An address of zone 0 is "not given": its other parts mean nothing.
    EXPECT_EQ(db[0].origin[0], c.origin[0]) << c.why;
    if (c.origin[0] != 0) {
      EXPECT_EQ(db[0].origin, c.origin) << c.why;
    }
    EXPECT_EQ(db[0].from[0], c.from[0]) << c.why;
    if (c.from[0] != 0) {
      EXPECT_EQ(db[0].from, c.from) << c.why;
    }
  }
}

// A ticket as a tosser writes it, with every keyword this program ignores.
// Lines end in CR LF on the wire; with LF alone the whole text is a single
// line that names no file, so the ticket must stay where it is.
TEST(Inbound, RealWorldTicketIsReadWithCrLfAndIgnoredWithLfOnly) {
  const std::vector<std::string> lines = {"Area NODEDIFF",
                                          "Origin 2:5020/1042",
                                          "From 2:5020/1042.7",
                                          "To Ivan Petrov, 2:5020/9",
                                          "File nodediff.a22",
                                          "Lfile nodediff.a22",
                                          "Size 11",
                                          "Date 1650000000",
                                          "Desc Weekly nodelist difference ",
                                          "Ldesc Weekly nodelist difference for zone 2",
                                          "Replaces nodediff.a15",
                                          "Crc 1A2B3C4D",
                                          "Created by Hatcher 2.0",
                                          "Path 2:5020/1042 1650000000 Sat Apr 16 2022",
                                          "Seenby 2:5020/1042",
                                          "Seenby 2:5020/9",
                                          "Desc",
                                          "Pw "};
  for (const std::string eol : {"\r\n", "\n"}) {
    Sandbox box;
    box.MakeDir("bad");
    Populate(box, {{"in/TK000042.TIC", TicketText(lines, eol)}, {"in/NODEDIFF.A22", "diff lines"}});
    const Tree before = Snapshot(box);
    const RunResult run = box.Run({"0", "in", "bad"});
    EXPECT_EQ(run.exit_code, 0);
    const auto db = Stored(box);
    if (eol == "\n") {
      EXPECT_EQ(run.out, Mode0Out({}));
      EXPECT_TRUE(db.empty());
      EXPECT_EQ(Snapshot(box), before);
      continue;
    }
    EXPECT_EQ(run.out, Mode0Out({"TK000042.TIC: NODEDIFF.A22"}));
    EXPECT_EQ(db, (std::vector<StoredTicket>{{"TK000042",
                                              "NODEDIFF.A22",
                                              "Weekly nodelist difference ",
                                              "NODEDIFF",
                                              10,
                                              {2, 5020, 1042, 0},
                                              {2, 5020, 1042, 7}}}));
    EXPECT_EQ(box.List("bad"), (std::vector<std::string>{"NODEDIFF.A22", "TK000042.tic"}));
  }
}

}  // namespace
}  // namespace corvane::test
