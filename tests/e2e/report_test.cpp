// Mode 2, the new-files report, seen from outside: ticbase.dat is built byte
// by byte, the real program runs, and the report, the console and the files
// left behind are compared exactly.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cctype>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "harness.h"
#include "tickets.h"

namespace corvane::test {
namespace {

const std::string kSep = " " + std::string(77, '-');
const std::string kPid = "Corvane/W32 1.4";
const std::string kNoHeader = CrLf({"Header not added due Prefix.Nef missing"});
const std::string kNoFooter = CrLf({"Footer not added due Suffix.Nef missing"});
const std::string kToStdout = CrLf({"Can't create report, using standard output."});

std::string Indent(const std::string& text) { return std::string(25, ' ') + text; }

StoredTicket Ticket(const std::string& area, const std::string& file, std::int32_t size,
                    const std::string& desc = "", Address origin = {}, Address from = {}) {
  static int serial = 0;
  const std::string number = std::to_string(++serial % 1000000);
  return {
      "TK" + std::string(6 - number.size(), '0') + number, file, desc, area, size, origin, from};
}

// Every record gets its own filler for the unused bytes, so a rewrite that
// touches more than FileSize, or writes another record's bytes, shows.
std::string Database(const std::vector<StoredTicket>& tickets) {
  std::string db;
  for (std::size_t i = 0; i < tickets.size(); ++i) {
    db += EncodeRecord(tickets[i], static_cast<char>(0xA1 + i % 50));
  }
  return db;
}

// The database as it must look once the given records have been reported.
std::string Reported(std::string db, const std::vector<std::size_t>& records) {
  for (std::size_t r : records) db.replace(r * kRecordSize + kFileSizeOffset, 4, 4, '\0');
  return db;
}

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

void ExpectStop(const RunResult& run, int code) {
  const std::string head = "Runtime error " + std::to_string(code);
  EXPECT_EQ(run.err.substr(0, head.size()), head) << run.err;
  EXPECT_FALSE(run.err.size() > head.size() &&
               std::isdigit(static_cast<unsigned char>(run.err[head.size()])))
      << run.err;
  EXPECT_EQ(run.exit_code, code);
}

// Two matching areas interleaved with records that must be left alone.
const std::string kWrapHead = "Words wrap at the last blank that fits, not first";

std::vector<StoredTicket> MixedTickets() {
  return {
      Ticket("FIDONEWS", "NEWS.ZIP", 1234567, "First line\rSecond", {1, 2, 3, 0}, {1, 2, 4, 5}),
      Ticket("LOCAL", "LOCAL.ZIP", 50, "Not for this mask"),
      Ticket("FIDOSOFT", "README.TXT", 999, "", {2, 5020, 100, 4}, {0, 9, 9, 9}),
      Ticket("FIDONEWS", "LONGNAME.ZIP", 2000000, " " + std::string(52, 'x') + "TAIL",
             {2, 5020, 1042, 0}, {2, -9, -32767, 5}),
      Ticket("FIDOSOFT", "TOOL.ARJ", 1000, kWrapHead + " 0123456789\r  indented\r\rend"),
      Ticket("FIDONEWS", "A.B", 1, "", {0, 1, 1, 1}, {1, 2, 3, 4}),
      Ticket("FIDONEWS", "DONE.ZIP", 0, "already reported"),
      Ticket("FIDOSOFT", "HUGE.ISO", -5, "size with the top bit set"),
  };
}

TEST(Report, WholeReportByteForByte) {
  Sandbox box;
  const std::string db = Database(MixedTickets());
  box.Write("ticbase.dat", db);
  const RunResult run = box.Run({"2", "fido", "report.txt"});
  EXPECT_EQ(run.out, Console(kNoHeader + kNoFooter));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(box.Read("report.txt"), CrLf({"",
                                          " Area : FIDONEWS",
                                          kSep,
                                          " NEWS.ZIP      1,234,567 First line",
                                          Indent("Second"),
                                          "",
                                          Indent("Origin: 1:2/3 (via 1:2/4.5)"),
                                          "",
                                          " LONGNAME.ZIP  2,000,000  " + std::string(52, 'x'),
                                          Indent("TAIL"),
                                          "",
                                          Indent("Origin: 2:5020/1042 (via 2:?/*.5)"),
                                          "",
                                          " A.B                   1",
                                          "",
                                          kSep,
                                          " 3,234,568    bytes in 3   file(s)",
                                          "",
                                          " Area : FIDOSOFT",
                                          kSep,
                                          " README.TXT          999",
                                          "",
                                          Indent("Origin: 2:5020/100.4"),
                                          "",
                                          " TOOL.ARJ          1,000 " + kWrapHead,
                                          Indent("0123456789"),
                                          Indent("  indented"),
                                          "",
                                          Indent("end"),
                                          "",
                                          kSep,
                                          " 1,999        bytes in 2   file(s)",
                                          "",
                                          " Total of 3,236,567 in 5 file(s)",
                                          ""}));
  // Only FileSize of the reported records changes; LOCAL, the record already
  // at 0 and the negative one stay as they were, byte for byte.
  EXPECT_EQ(box.Read("ticbase.dat"), Reported(db, {0, 2, 3, 4, 5}));
  EXPECT_EQ(box.List(), (std::vector<std::string>{"report.txt", "ticbase.dat"}));
}

TEST(Report, LaterRunsReportOnlyWhatIsLeft) {
  Sandbox box;
  const std::string db = Database(MixedTickets());
  box.Write("ticbase.dat", db);
  ASSERT_EQ(box.Run({"2", "fido", "report.txt"}).exit_code, 0);
  const std::string after_first = Reported(db, {0, 2, 3, 4, 5});
  ASSERT_EQ(box.Read("ticbase.dat"), after_first);

  // Nothing new: the report of the same name from the first run goes too.
  RunResult run = box.Run({"2", "FIDO", "report.txt"});
  EXPECT_EQ(run.out, Console(kNoHeader));
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(box.Read("ticbase.dat"), after_first);
  EXPECT_EQ(box.List(), std::vector<std::string>{"ticbase.dat"});

  // The area the first mask passed over is still waiting.
  run = box.Run({"2", "local", "later.txt"});
  EXPECT_EQ(run.out, Console(kNoHeader + kNoFooter));
  EXPECT_EQ(box.Read("later.txt"),
            CrLf({"", " Area : LOCAL", kSep, " LOCAL.ZIP            50 Not for this mask", "", kSep,
                  " 50           bytes in 1   file(s)", "", " Total of 50 in 1 file(s)", ""}));
  EXPECT_EQ(box.Read("ticbase.dat"), Reported(db, {0, 1, 2, 3, 4, 5}));
}

// One ABC ticket and the report body it gives, for the framing tests.
const std::string kAbcBody =
    CrLf({"", " Area : ABC", kSep, " F.ZIP                10 Stamp @date stays", "", kSep,
          " 10           bytes in 1   file(s)", "", " Total of 10 in 1 file(s)", ""});
std::string AbcDatabase() { return Database({Ticket("ABC", "F.ZIP", 10, "Stamp @date stays")}); }
std::string OtherDatabase() { return Database({Ticket("OTHER", "F.ZIP", 10, "not matched")}); }

TEST(Report, TemplatesExpandDateAndProgramMacros) {
  Sandbox box;
  box.Write("ticbase.dat", AbcDatabase());
  box.Write("prefix.nef",
            "New files @date\r\n@DATE|@Date|@dates\r\nby @pid, @pidgin\r@@date and @pid@date\r\n"
            "5 @ 10, @5, @PID, end@\r\n\r\nlf\nstays\r\n\x1A"
            "after the end of the text\r\n");
  box.Write("suffix.nef", "-- @pid --\r\nMade @date");
  const std::string day = Today();
  const RunResult run = box.Run({"2", "abc", "report.txt"});
  EXPECT_EQ(run.out, Console(""));
  EXPECT_EQ(run.exit_code, 0);
  const std::string header = CrLf(
      {"New files " + day, day + "|" + day + "|" + day + "s", "by " + kPid + ", " + kPid + "gin",
       "@" + day + " and " + kPid + day, "5 @ 10, @5, " + kPid + ", end@", "", "lf stays"});
  // Entries are copied, not expanded: the @date of the description stays.
  EXPECT_EQ(box.Read("report.txt"),
            header + kAbcBody + CrLf({"-- " + kPid + " --", "Made " + day}));
}

TEST(Report, MissingTemplatesAreReportedOnlyWhereTheyWouldBeUsed) {
  struct Case {
    bool prefix, suffix, new_files;
    std::string messages;
  };
  const Case cases[] = {
      {false, false, false, kNoHeader}, {false, false, true, kNoHeader + kNoFooter},
      {true, false, true, kNoFooter},   {false, true, true, kNoHeader},
      {true, true, false, ""},          {false, true, false, kNoHeader},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "prefix " << c.prefix << ", suffix " << c.suffix
                                    << ", new files " << c.new_files);
    Sandbox box;
    box.Write("ticbase.dat", c.new_files ? AbcDatabase() : OtherDatabase());
    if (c.prefix) box.Write("prefix.nef", "Head\r\n");
    if (c.suffix) box.Write("suffix.nef", "Tail\r\n");
    box.Write("report.txt", "an older report\r\n");
    const RunResult run = box.Run({"2", "abc", "report.txt"});
    EXPECT_EQ(run.out, Console(c.messages));
    EXPECT_EQ(run.exit_code, 0);
    // A run without new files leaves no report, not even the older one.
    ASSERT_EQ(box.Exists("report.txt"), c.new_files);
    if (c.new_files) {
      EXPECT_EQ(box.Read("report.txt"),
                std::string(c.prefix ? "Head\r\n" : "") + kAbcBody + (c.suffix ? "Tail\r\n" : ""));
    }
  }
}

TEST(Report, ReportThatCannotBeCreatedGoesToStandardOutput) {
  struct Case {
    std::string path;
    bool new_files;
    std::string expected_between;
  };
  const Case cases[] = {
      {"nodir/report.txt", true, kToStdout + "Head\r\n" + kAbcBody + kNoFooter},
      {"nodir/report.txt", false, kToStdout + "Head\r\n"},
      // An empty name is a deliberate request for standard output.
      {"", true, "Head\r\n" + kAbcBody + kNoFooter},
      {"", false, "Head\r\n"},
      // A name past 255 characters would be cut into the name of another file.
      {std::string(300, 'r'), true, kToStdout + "Head\r\n" + kAbcBody + kNoFooter},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("'" + c.path + "', new files " + std::to_string(c.new_files));
    Sandbox box;
    const std::string db = c.new_files ? AbcDatabase() : OtherDatabase();
    box.Write("ticbase.dat", db);
    box.Write("prefix.nef", "Head\r\n");
    const RunResult run = box.Run({"2", "abc", c.path});
    EXPECT_EQ(run.out, Console(c.expected_between));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(box.Read("ticbase.dat"), c.new_files ? Reported(db, {0}) : db);
    EXPECT_EQ(box.List(), (std::vector<std::string>{"prefix.nef", "ticbase.dat"}));
  }
}

TEST(Report, ReportNeverOverwritesTheProgramsOwnFiles) {
  // 5C7CFCB7.nef is the area file of ABC in this very run.
  const char* const paths[] = {"ticbase.dat", "TicBase.DAT", "./ticbase.dat", "prefix.nef",
                               "PREFIX.NEF",  "suffix.nef",  "5C7CFCB7.nef",  "5c7cfcb7.NEF"};
  const std::string expected = Console(kToStdout + "Head\r\n" + kAbcBody + "Tail\r\n");
  for (const char* path : paths) {
    SCOPED_TRACE(path);
    Sandbox box;
    const std::string db = AbcDatabase();
    box.Write("ticbase.dat", db);
    box.Write("prefix.nef", "Head\r\n");
    box.Write("suffix.nef", "Tail\r\n");
    const RunResult run = box.Run({"2", "abc", path});
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(box.Read("ticbase.dat"), Reported(db, {0}));
    EXPECT_EQ(box.Read("prefix.nef"), "Head\r\n");
    EXPECT_EQ(box.Read("suffix.nef"), "Tail\r\n");
    EXPECT_EQ(box.List(), (std::vector<std::string>{"prefix.nef", "suffix.nef", "ticbase.dat"}));
  }
}

// A report under a template's name would read itself back as header or
// footer, even when that template does not exist yet.
TEST(Report, ReportNamedAfterAMissingTemplateGoesToStandardOutput) {
  for (const char* path : {"suffix.nef", "PREFIX.NEF"}) {
    SCOPED_TRACE(path);
    Sandbox box;
    box.Write("ticbase.dat", AbcDatabase());
    const RunResult run = box.Run({"2", "abc", path});
    EXPECT_EQ(run.out, Console(kToStdout + kNoHeader + kAbcBody + kNoFooter));
    EXPECT_EQ(box.List(), std::vector<std::string>{"ticbase.dat"});
  }
}

// What a POSIX file system adds: a FIFO is no file to keep a report in, and
// a link to a missing template must not turn the report into that template
// (the footer would then be copied onto its own end without end).
TEST(Report, ReportIsNeverWrittenIntoAFifoOrThroughALinkToATemplate) {
  if (UnderLauncher()) GTEST_SKIP() << "FIFOs and symbolic links are set up from POSIX";
  for (const char* target : {"", "suffix.nef", "PREFIX.NEF"}) {
    SCOPED_TRACE(target);
    Sandbox box;
    box.Write("ticbase.dat", AbcDatabase());
    if (*target == '\0') {
      ASSERT_EQ(mkfifo(box.Path("report.txt").c_str(), 0644), 0);
    } else {
      std::filesystem::create_symlink(target, box.Path("report.txt"));
    }
    const RunResult run = box.Run({"2", "abc", "report.txt"});
    EXPECT_EQ(run.out, Console(kToStdout + kNoHeader + kAbcBody + kNoFooter));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(box.List(), (std::vector<std::string>{"report.txt", "ticbase.dat"}));
  }
}

TEST(Report, AreaFilesLeftByAStoppedRunAreExtended) {
  const std::string old_abc =
      CrLf({" Area : ABC", kSep, " OLD.ZIP               7 From the stopped run", ""});
  const std::string old_gone = CrLf({" Area : GONE", kSep, " X.ZIP                 1 lost", ""});
  // The left-over may carry its name in any letter case.
  for (const char* left_over : {"5C7CFCB7.nef", "5c7cfcb7.nef"}) {
    SCOPED_TRACE(left_over);
    Sandbox box;
    const std::string db = Database({Ticket("ABC", "NEW.ZIP", 20, "From this run")});
    box.Write("ticbase.dat", db);
    box.Write(left_over, old_abc);
    box.Write("0BADF00D.nef", old_gone);
    const RunResult run = box.Run({"2", "ABC", "report.txt"});
    EXPECT_EQ(run.out, Console(kNoHeader + kNoFooter));
    // Every left-over is reported, also one whose area has nothing new, in
    // name order before the new areas; no second heading, and each subtotal
    // counts every entry of its section.
    EXPECT_EQ(
        box.Read("report.txt"),
        CrLf({""}) + old_gone + CrLf({kSep, " 1            bytes in 1   file(s)", ""}) + old_abc +
            CrLf({" NEW.ZIP              20 From this run", "", kSep,
                  " 27           bytes in 2   file(s)", "", " Total of 28 in 3 file(s)", ""}));
    EXPECT_EQ(box.Read("ticbase.dat"), Reported(db, {0}));
    EXPECT_EQ(box.List(), (std::vector<std::string>{"report.txt", "ticbase.dat"}));
  }
}

TEST(Report, SumsAndSizesPastTheirColumnsKeepEveryDigit) {
  Sandbox box;
  const std::string fits = "Exactly fifty-three characters stay on a single line.";
  std::vector<StoredTicket> tickets = {Ticket("BIG.ONE", "A.ZIP", 2000000000, "one"),
                                       Ticket("BIG.TWO", "LONGNAME.ZIP", 1000000000, fits),
                                       Ticket("BIG.ONE", "B.ZIP", 2000000000, "two")};
  for (int i = 0; i < 5; ++i) tickets.push_back(Ticket("BIG.TWO", "C.ZIP", 2000000000));
  box.Write("ticbase.dat", Database(tickets));
  const RunResult run = box.Run({"2", "big", "report.txt"});
  EXPECT_EQ(run.out, Console(kNoHeader + kNoFooter));
  std::vector<std::string> lines = {"",
                                    " Area : BIG.ONE",
                                    kSep,
                                    " A.ZIP       2,000,000,000 one",
                                    "",
                                    " B.ZIP       2,000,000,000 two",
                                    "",
                                    kSep,
                                    " 4,000,000,000bytes in 2   file(s)",
                                    "",
                                    " Area : BIG.TWO",
                                    kSep,
                                    " LONGNAME.ZIP1,000,000,000 " + fits,
                                    ""};
  for (int i = 0; i < 5; ++i) lines.insert(lines.end(), {" C.ZIP       2,000,000,000", ""});
  lines.insert(lines.end(), {kSep, " 11,000,000,000bytes in 6   file(s)", "",
                             " Total of 15,000,000,000 in 8 file(s)", ""});
  EXPECT_EQ(box.Read("report.txt"), CrLf(lines));
}

TEST(Report, FileCountPastItsColumnKeepsEveryDigit) {
  Sandbox box;
  const std::vector<StoredTicket> tickets(12345, Ticket("MANY", "F.ZIP", 1));
  box.Write("ticbase.dat", Database(tickets));
  const RunResult run = box.Run({"2", "MANY", "report.txt"});
  EXPECT_EQ(run.out, Console(kNoHeader + kNoFooter));
  std::vector<std::string> lines = {"", " Area : MANY", kSep};
  for (int i = 0; i < 12345; ++i) lines.insert(lines.end(), {" F.ZIP                 1", ""});
  lines.insert(lines.end(), {kSep, " 12,345       bytes in 12345file(s)", "",
                             " Total of 12,345 in 12345 file(s)", ""});
  EXPECT_EQ(box.Read("report.txt"), CrLf(lines));
  for (const StoredTicket& t : DecodeTicbase(box.Read("ticbase.dat"))) ASSERT_EQ(t.size, 0);
}

TEST(Report, FullAreaTableLeavesTicketsForALaterRun) {
  const auto area = [](int n) {
    const std::string digits = std::to_string(n);
    return std::string(3 - digits.size(), '0') + digits;
  };
  const auto entry = [](const std::string& name) {
    return " " + name + std::string(22 - name.size(), ' ') + "1";
  };
  std::vector<StoredTicket> tickets;
  tickets.reserve(258);
  for (int n = 0; n < 256; ++n) {
    tickets.push_back(Ticket("AREA" + area(n), "F" + area(n) + ".ZIP", 1));
  }
  // After the 256th area: a known area still gets its entry, a new one waits.
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
  std::vector<std::string> lines;
  for (int n = 0; n < 255; ++n) {
    lines.insert(lines.end(),
                 {"", " Area : AREA" + area(n), kSep, entry("F" + area(n) + ".ZIP"), ""});
    if (n == 0) lines.insert(lines.end(), {entry("SECOND.ZIP"), ""});
    lines.insert(lines.end(), {kSep, n == 0 ? " 2            bytes in 2   file(s)"
                                            : " 1            bytes in 1   file(s)"});
  }
  lines.insert(lines.end(), {"", " Total of 256 in 256 file(s)", ""});
  EXPECT_EQ(box.Read("report.txt"), CrLf(lines));
  std::vector<std::size_t> written;
  for (std::size_t r = 0; r < tickets.size(); ++r) {
    if (r != 255 && r != 257) written.push_back(r);
  }
  EXPECT_EQ(box.Read("ticbase.dat"), Reported(db, written));
  EXPECT_EQ(box.List(), (std::vector<std::string>{"report.txt", "ticbase.dat"}));

  run = box.Run({"2", "area", "later.txt"});
  EXPECT_EQ(run.out, Console(kNoHeader + kNoFooter));
  EXPECT_EQ(
      box.Read("later.txt"),
      CrLf({"", " Area : AREA255", kSep, entry("F255.ZIP"), "", kSep,
            " 1            bytes in 1   file(s)", "", " Area : AREA256", kSep, entry("F256.ZIP"),
            "", kSep, " 1            bytes in 1   file(s)", "", " Total of 2 in 2 file(s)", ""}));
  EXPECT_EQ(box.Read("ticbase.dat"), Reported(Reported(db, written), {255, 257}));
}

TEST(Report, AreaWhoseKeyIsZeroKeepsASlotOfItsOwn) {
  // The CRC register of this name ends at 0, the value that marks a free
  // slot; its area file is 00000000.nef, found here as a left-over.
  const std::string zero = "ZERO.C5YP3ZQ";
  const std::string old_entry = " OLD.ZIP               7 left over";
  Sandbox box;
  box.Write("00000000.nef", CrLf({" Area : " + zero, kSep, old_entry, ""}));
  const std::string db = Database(
      {Ticket(zero, "Z1.ZIP", 10), Ticket("ZERO.B", "B1.ZIP", 20), Ticket(zero, "Z2.ZIP", 30)});
  box.Write("ticbase.dat", db);
  const RunResult run = box.Run({"2", "zero", "report.txt"});
  EXPECT_EQ(run.out, Console(kNoHeader + kNoFooter));
  EXPECT_EQ(box.Read("report.txt"), CrLf({"",
                                          " Area : " + zero,
                                          kSep,
                                          old_entry,
                                          "",
                                          " Z1.ZIP               10",
                                          "",
                                          " Z2.ZIP               30",
                                          "",
                                          kSep,
                                          " 47           bytes in 3   file(s)",
                                          "",
                                          " Area : ZERO.B",
                                          kSep,
                                          " B1.ZIP               20",
                                          "",
                                          kSep,
                                          " 20           bytes in 1   file(s)",
                                          "",
                                          " Total of 67 in 4 file(s)",
                                          ""}));
  EXPECT_EQ(box.Read("ticbase.dat"), Reported(db, {0, 1, 2}));
  EXPECT_EQ(box.List(), (std::vector<std::string>{"report.txt", "ticbase.dat"}));
}

TEST(Report, MissingDatabaseStopsWithError2) {
  Sandbox box;
  const RunResult run = box.Run({"2", "abc", "report.txt"});
  EXPECT_EQ(run.out, Preamble(2) + "Creating report...");
  ExpectStop(run, 2);
  EXPECT_TRUE(box.List().empty());
}

TEST(Report, PartialRecordStopsWithError100AfterTheWholeOnes) {
  Sandbox box;
  const std::string db = AbcDatabase() + std::string(100, '\x11');
  box.Write("ticbase.dat", db);
  const RunResult run = box.Run({"2", "abc", "report.txt"});
  EXPECT_EQ(run.out, Preamble(2) + "Creating report...");
  ExpectStop(run, 100);
  // What was collected before the stop stays: the record is marked and its
  // entry waits in the area file for a later run.
  EXPECT_EQ(box.Read("ticbase.dat"), Reported(db, {0}));
  const std::string entry = " F.ZIP                10 Stamp @date stays";
  EXPECT_EQ(box.Read("5C7CFCB7.nef"), CrLf({" Area : ABC", kSep, entry, ""}));
  EXPECT_EQ(box.List(), (std::vector<std::string>{"5C7CFCB7.nef", "ticbase.dat"}));
}

}  // namespace
}  // namespace corvane::test
