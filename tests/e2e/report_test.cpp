// Mode 2, the new-files report, seen from outside: ticbase.dat is built byte
// by byte, the real program runs, and the report, the console and the files
// left behind are compared exactly.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "harness.h"

namespace corvane::test {
namespace {

const std::string kPid = "Corvane/W32 1.4";
const std::string kNoHeader = CrLf({"Header not added due Prefix.Nef missing"});
const std::string kNoFooter = CrLf({"Footer not added due Suffix.Nef missing"});
const std::string kToStdout = CrLf({"Can't create report, using standard output."});
const std::string kSep = std::string(" ").append(77, '-');

// Console of a run that got as far as writing: the middle is whatever comes
// between "Writing..." and "Done." (messages and, on fallback, the report).
std::string Console(const std::string& middle) {
  return Preamble(2) + CrLf({"Creating report... done.", "Writing..."}) + middle + CrLf({"Done."});
}

std::string Today() {
  const std::time_t now = std::time(nullptr);
  char text[32];
  std::strftime(text, sizeof text, "%A %d-%b-%y", std::localtime(&now));
  return text;
}

// Two matching areas interleaved with records that must be left alone: one
// of another area, one already reported, one with the top bit of its size set.
TEST(Report, WholeReportByteForByteThenLaterRunsReportOnlyWhatIsLeft) {
  const std::string wrap = "Words wrap at the last blank that fits, not first";
  const std::string db = Database(
      {Ticket("FIDONEWS", "NEWS.ZIP", 1234567, "First line\rSecond", {1, 2, 3, 0}, {1, 2, 4, 5}),
       Ticket("LOCAL", "LOCAL.ZIP", 50, "Not for this mask"),
       Ticket("FIDOSOFT", "README.TXT", 999, "", {2, 5020, 100, 4}, {0, 9, 9, 9}),
       Ticket("FIDONEWS", "LONGNAME.ZIP", 2000000, std::string(" ").append(52, 'x') + "TAIL",
              {2, 5020, 1042, 0}, {2, -9, -32767, 5}),
       Ticket("FIDOSOFT", "TOOL.ARJ", 1000, wrap + " 0123456789\r  indented\r\rend"),
       Ticket("FIDONEWS", "A.B", 1, "", {0, 1, 1, 1}, {1, 2, 3, 4}),
       Ticket("FIDONEWS", "DONE.ZIP", 0, "already reported"),
       Ticket("FIDOSOFT", "HUGE.ISO", -5, "size with the top bit set")});
  Sandbox box;
  box.Write("ticbase.dat", db);
  RunResult run = box.Run({"2", "fido", "report.txt"});
  EXPECT_EQ(run.out, Console(kNoHeader + kNoFooter));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exit_code, 0);
  // Only FileSize of the reported records changes.
  const std::string after_first = SizesCleared(db, {0, 2, 3, 4, 5});
  EXPECT_EQ(box.Snapshot(true), (Tree{{"ticbase.dat", after_first}, {"report.txt", Block(R"(

 Area : FIDONEWS
 -----------------------------------------------------------------------------
 NEWS.ZIP      1,234,567 First line
                         Second

                         Origin: 1:2/3 (via 1:2/4.5)

 LONGNAME.ZIP  2,000,000  xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx
                         TAIL

                         Origin: 2:5020/1042 (via 2:?/*.5)

 A.B                   1

 -----------------------------------------------------------------------------
 3,234,568    bytes in 3   file(s)

 Area : FIDOSOFT
 -----------------------------------------------------------------------------
 README.TXT          999

                         Origin: 2:5020/100.4

 TOOL.ARJ          1,000 Words wrap at the last blank that fits, not first
                         0123456789
                           indented

                         end

 -----------------------------------------------------------------------------
 1,999        bytes in 2   file(s)

 Total of 3,236,567 in 5 file(s)

)")}}));

  // Nothing new: the report of the same name from the first run goes too.
  run = box.Run({"2", "FIDO", "report.txt"});
  EXPECT_EQ(run.out, Console(kNoHeader));
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(box.Snapshot(true), (Tree{{"ticbase.dat", after_first}}));

  // The area the first mask passed over is still waiting.
  run = box.Run({"2", "local", "later.txt"});
  EXPECT_EQ(run.out, Console(kNoHeader + kNoFooter));
  EXPECT_EQ(box.Read("later.txt"), Block(R"(

 Area : LOCAL
 -----------------------------------------------------------------------------
 LOCAL.ZIP            50 Not for this mask

 -----------------------------------------------------------------------------
 50           bytes in 1   file(s)

 Total of 50 in 1 file(s)

)"));
  EXPECT_EQ(box.Read("ticbase.dat"), SizesCleared(db, {0, 1, 2, 3, 4, 5}));
}

// One ABC ticket and the report body it gives, for the framing tests.
const std::string kAbcBody = Block(R"(

 Area : ABC
 -----------------------------------------------------------------------------
 F.ZIP                10 Stamp @date stays

 -----------------------------------------------------------------------------
 10           bytes in 1   file(s)

 Total of 10 in 1 file(s)

)");
std::string AbcDatabase() { return Database({Ticket("ABC", "F.ZIP", 10, "Stamp @date stays")}); }

// The templates frame the report wherever it goes, with @date and @pid
// expanded (any letter case, not when part of a longer word), up to a Ctrl-Z;
// entries are copied, not expanded. Missing templates are reported only
// where they would be used; a run
// without new files leaves no report, not even an older one. A report that
// cannot be created goes to standard output, and an empty name asks for
// that. So does one that would overwrite the program's own files (5C7CFCB7.nef
// is the area file of ABC in this very run), or be read back as a template,
// even one that does not exist yet; or a name past 255 characters, which
// would be cut into the name of another file. What a POSIX file system adds:
// a FIFO is no file to keep a report in, and a link to a missing template
// must not turn the report into that template.
TEST(Report, TemplatesFrameTheReportWhereverItGoes) {
  const std::string prefix =
      "New files @date\r\n@DATE|@Date|@dates\r\nby @pid, @pidgin\r@@date and @pid@date\r\n"
      "5 @ 10, @5, @PID, end@\r\n\r\nlf\nstays\r\n\x1A"
      "after the end of the text\r\n";
  const std::string suffix = "-- @pid --\r\nMade @date", day = Today();
  struct Case {
    std::string path;
    bool prefix, suffix, new_files;
    std::string special = "";  // at report.txt: "fifo" or the target of a link
  };
  std::vector<Case> cases;
  for (int bits = 0; bits < 8; ++bits)
    cases.push_back({"report.txt", bits > 3, bits % 4 > 1, bits % 2 > 0});
  for (const std::string& path : {std::string("nodir/report.txt"), std::string(300, 'r'), {}}) {
    for (bool new_files : {true, false}) cases.push_back({path, true, false, new_files});
  }
  for (const char* path : {"ticbase.dat", "TicBase.DAT", "./ticbase.dat", "prefix.nef",
                           "PREFIX.NEF", "suffix.nef", "5C7CFCB7.nef", "5c7cfcb7.NEF"}) {
    cases.push_back({path, true, true, true});
  }
  for (const char* path : {"suffix.nef", "PREFIX.NEF"}) cases.push_back({path, false, false, true});
  for (const char* special : {"fifo", "suffix.nef", "PREFIX.NEF"}) {
    cases.push_back({"report.txt", false, false, true, special});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "'" << c.path << "' " << c.special << ", prefix " << c.prefix
                                    << ", suffix " << c.suffix << ", new files " << c.new_files);
    if (!c.special.empty() && UnderLauncher()) continue;  // set up from POSIX
    Sandbox box;
    const std::string db = c.new_files ? AbcDatabase() : Database({Ticket("OTHER", "F.ZIP", 10)});
    Tree after = {{"ticbase.dat", c.new_files ? SizesCleared(db, {0}) : db}};
    if (c.prefix) after["prefix.nef"] = prefix;
    if (c.suffix) after["suffix.nef"] = suffix;
    box.Populate(after);
    box.Write("ticbase.dat", db);
    const bool to_file = c.path == "report.txt" && c.special.empty();
    if (to_file) box.Write("report.txt", "an older report\r\n");
    if (c.special == "fifo") {
      ASSERT_EQ(mkfifo(box.Path("report.txt").c_str(), 0644), 0);
    } else if (!c.special.empty()) {
      std::filesystem::create_symlink(c.special, box.Path("report.txt"));
    }
    if (!c.special.empty()) after["report.txt"] = "<special>";
    const std::string body = c.new_files ? kAbcBody : "";
    const std::string head =
        !c.prefix ? ""
                  : CrLf({"New files " + day, day + "|" + day + "|" + day + "s",
                          "by " + kPid + ", " + kPid + "gin", "@" + day + " and " + kPid + day,
                          "5 @ 10, @5, " + kPid + ", end@", "", "lf stays"});
    const std::string tail = c.suffix ? CrLf({"-- " + kPid + " --", "Made " + day}) : "";
    const std::string no_head = c.prefix ? "" : kNoHeader;
    const std::string no_tail = c.new_files && !c.suffix ? kNoFooter : "";
    if (to_file && c.new_files) after["report.txt"] = head + body + tail;
    const RunResult run = box.Run({"2", "abc", c.path});
    EXPECT_EQ(run.out, Console(to_file ? no_head + no_tail
                                       : (c.path.empty() ? "" : kToStdout) + head + no_head + body +
                                             (c.new_files ? tail : "") + no_tail));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(box.Snapshot(true), after);
  }
}

// A stopped run leaves area files behind; the next run reports them, each
// entry once, with its heading, also when their area has nothing new, counts
// them in subtotals and total, and deletes them once the report is whole.
// The area file of ZERO.C5YP3ZQ is 00000000.nef: the CRC register of that
// name ends at 0, the value that marks a free slot, yet the area keeps a
// slot of its own. Areas from left-over files may come in any order.
TEST(Report, AreaFilesLeftByAStoppedRunAreReported) {
  const std::string abc = Block(R"(
 Area : ABC
 -----------------------------------------------------------------------------
 OLD.ZIP               7 From the stopped run

)"),
                    zero = Block(R"(
 Area : ZERO.C5YP3ZQ
 -----------------------------------------------------------------------------
 OLD.ZIP               7 left over

)"),
                    gone = Block(R"(
 Area : GONE
 -----------------------------------------------------------------------------
 X.ZIP                 1 lost

)");
  const std::string sections[] = {abc + Block(R"(
 NEW.ZIP              20 From this run

 -----------------------------------------------------------------------------
 27           bytes in 2   file(s)
)"),
                                  zero + Block(R"(
 Z1.ZIP               10

 Z2.ZIP               30

 -----------------------------------------------------------------------------
 47           bytes in 3   file(s)
)"),
                                  Block(R"(
 Area : ZERO.B
 -----------------------------------------------------------------------------
 B1.ZIP               20

 -----------------------------------------------------------------------------
 20           bytes in 1   file(s)
)"),
                                  gone + Block(R"(
 -----------------------------------------------------------------------------
 1            bytes in 1   file(s)
)")};
  const std::string total = Block(" Total of 95 in 7 file(s)\n\n");
  const std::string db =
      Database({Ticket("ABC", "NEW.ZIP", 20, "From this run"), Ticket("ZERO.C5YP3ZQ", "Z1.ZIP", 10),
                Ticket("ZERO.B", "B1.ZIP", 20), Ticket("ZERO.C5YP3ZQ", "Z2.ZIP", 30)});
  // The left-over may carry its name in any letter case.
  for (const char* name : {"5C7CFCB7.nef", "5c7cfcb7.nef"}) {
    SCOPED_TRACE(name);
    Sandbox box;
    box.Populate(
        {{"ticbase.dat", db}, {name, abc}, {"00000000.nef", zero}, {"0BADF00D.nef", gone}});
    const RunResult run = box.Run({"2", "*", "report.txt"});
    EXPECT_EQ(run.out, Console(kNoHeader + kNoFooter));
    const std::string report = box.Read("report.txt");
    std::size_t length = 2 + total.size();
    for (const std::string& section : sections) {
      EXPECT_NE(report.find(section + "\r\n"), std::string::npos) << section;
      EXPECT_EQ(report.find(section), report.rfind(section)) << section;
      length += section.size() + 2;
    }
    EXPECT_TRUE(report.starts_with("\r\n") && report.ends_with(total)) << report;
    EXPECT_EQ(report.size(), length) << report;
    // Left-overs first, in name order (00000000, 0BADF00D, 5C7CFCB7), then
    // the areas new in this run, in database order.
    const std::size_t order[] = {1, 3, 0, 2};
    for (std::size_t i = 1; i < std::size(order); ++i) {
      EXPECT_LT(report.find(sections[order[i - 1]]), report.find(sections[order[i]])) << i;
    }
    EXPECT_EQ(box.Snapshot(true),
              (Tree{{"report.txt", report}, {"ticbase.dat", SizesCleared(db, {0, 1, 2, 3})}}));
  }
}

// Sizes, sums and file counts wider than their columns keep every digit.
TEST(Report, NumbersPastTheirColumnsKeepEveryDigit) {
  const std::string fits = "Exactly fifty-three characters stay on a single line.";
  std::vector<StoredTicket> tickets = {Ticket("BIG.ONE", "A.ZIP", 2000000000, "one"),
                                       Ticket("BIG.TWO", "LONGNAME.ZIP", 1000000000, fits),
                                       Ticket("BIG.ONE", "B.ZIP", 2000000000, "two")};
  tickets.insert(tickets.end(), 5, Ticket("BIG.TWO", "C.ZIP", 2000000000));
  tickets.insert(tickets.end(), 12345, Ticket("MANY", "F.ZIP", 1));
  Sandbox box;
  box.Write("ticbase.dat", Database(tickets));
  const RunResult run = box.Run({"2", "*", "report.txt"});
  EXPECT_EQ(run.out, Console(kNoHeader + kNoFooter));
  std::string expected = Block(R"(

 Area : BIG.ONE
 -----------------------------------------------------------------------------
 A.ZIP       2,000,000,000 one

 B.ZIP       2,000,000,000 two

 -----------------------------------------------------------------------------
 4,000,000,000bytes in 2   file(s)

 Area : BIG.TWO
 -----------------------------------------------------------------------------
 LONGNAME.ZIP1,000,000,000 Exactly fifty-three characters stay on a single line.

)");
  for (int i = 0; i < 5; ++i) expected += Block(" C.ZIP       2,000,000,000\n\n");
  expected += Block(kSep + "\n 11,000,000,000bytes in 6   file(s)\n\n Area : MANY\n" + kSep + "\n");
  for (int i = 0; i < 12345; ++i) expected += Block(" F.ZIP                 1\n\n");
  expected += Block(kSep + R"(
 12,345       bytes in 12345file(s)

 Total of 15,000,012,345 in 12353 file(s)

)");
  EXPECT_EQ(box.Read("report.txt"), expected);
  for (const Fields& t : DecodeTicbase(box.Read("ticbase.dat"))) ASSERT_EQ(std::get<2>(t), 0);
}

// After the 256th area a known area still gets its entry, a new one waits
// for a later run.
TEST(Report, FullAreaTableLeavesTicketsForALaterRun) {
  // prefix, n in three digits, suffix (built by appending: GCC 12's
  // optimiser sees a false overlap in "literal" + std::string).
  const auto named = [](const char* prefix, int n, const char* suffix) {
    return std::string(prefix)
        .append(n < 10    ? 2
                : n < 100 ? 1
                          : 0,
                '0')
        .append(std::to_string(n))
        .append(suffix);
  };
  const auto section = [&](int n, const std::vector<std::string>& files) {
    std::vector<std::string> lines = {"", named(" Area : AREA", n, ""), kSep};
    for (const auto& file : files)
      lines.insert(lines.end(), {" " + file + std::string(22 - file.size(), ' ') + "1", ""});
    lines.insert(lines.end(), {kSep, " " + std::to_string(files.size()) + "            bytes in " +
                                         std::to_string(files.size()) + "   file(s)"});
    return CrLf(lines);
  };
  std::vector<StoredTicket> tickets;
  for (int n = 0; n < 256; ++n)
    tickets.push_back(Ticket(named("AREA", n, ""), named("F", n, ".ZIP"), 1));
  tickets.push_back(Ticket("AREA000", "SECOND.ZIP", 1));
  tickets.push_back(Ticket("AREA256", "F256.ZIP", 1));
  Sandbox box;
  const std::string db = Database(tickets);
  box.Write("ticbase.dat", db);
  RunResult run = box.Run({"2", "area", "report.txt"});
  EXPECT_EQ(run.out,
            Preamble(2) +
                CrLf({"Creating report... done.",
                      "2 ticket(s) left for a later run: more than 255 areas.", "Writing..."}) +
                kNoHeader + kNoFooter + CrLf({"Done."}));
  EXPECT_EQ(run.exit_code, 0);
  std::string report = section(0, {"F000.ZIP", "SECOND.ZIP"});
  for (int n = 1; n < 255; ++n) report += section(n, {named("F", n, ".ZIP")});
  std::vector<std::size_t> written;
  for (std::size_t r = 0; r < tickets.size(); ++r)
    if (r != 255 && r != 257) written.push_back(r);
  EXPECT_EQ(box.Snapshot(true),
            (Tree{{"report.txt", report + CrLf({"", " Total of 256 in 256 file(s)", ""})},
                  {"ticbase.dat", SizesCleared(db, written)}}));
  run = box.Run({"2", "area", "later.txt"});
  EXPECT_EQ(run.out, Console(kNoHeader + kNoFooter));
  EXPECT_EQ(box.Read("later.txt"), section(255, {"F255.ZIP"}) + section(256, {"F256.ZIP"}) +
                                       CrLf({"", " Total of 2 in 2 file(s)", ""}));
  EXPECT_EQ(box.Read("ticbase.dat"), SizesCleared(SizesCleared(db, written), {255, 257}));
}

}  // namespace
}  // namespace corvane::test
