// Mode 2, the new-files report, seen from outside: ticbase.dat is built byte
// by byte, the real program runs, and the report, the console and the files
// left behind are compared exactly.
#include <sys/stat.h>

#include <ctime>

#include "harness.h"

namespace corvane::test {

const std::string kNoHeader = Lines("Header not added due Prefix.Nef missing");
const std::string kNoFooter = Lines("Footer not added due Suffix.Nef missing");

// Whole reports. Fido: two matching areas interleaved with records left
// alone (another area, one already reported, one with the top bit of its
// size set); only the FileSize of reported records changes. A CR just past
// the 53rd character of a description ends no line: the 53 go first, then
// the CR gives an empty line; a blank just past them starts the next line. Left-overs: a stopped
// run of an earlier version leaves area files; the next run reports them first, in name order, each
// entry once with its heading (also when their area has nothing new), then the areas new in this
// run, and deletes them once the report is committed; an empty one (a run stopped as it created it)
// only goes. Counts are the records': a left-over entry is shown, not counted, whatever size it
// shows. 00000000.nef belongs to area ZERO.C5YP3ZQ, whose CRC ends at 0, the value marking a free
// slot; the left-over's name may come in any case. Sizes, sums and file counts wider than their
// columns (areas FIDOBIG.*, FIDOMANY) keep every digit. Areas: after the 256th area a known area
// still gets its entry, a new one waits for a later run. A completed report leaves ticbase.rep, but
// not one that left tickets for a later run: the next take-in must keep them.
TEST(Report, WholeReportsByteForByte) {
  const std::string in(25, ' '), xs(52, 'x');  // in: where an entry's further lines start
  std::vector<Ticket> big = {{"FIDOBIG.ONE", "A.ZIP", 2000000000, "one"},
                             {"FIDOBIG.TWO", "LONGNAME.ZIP", 1000000000,
                              "Exactly fifty-three characters stay on a single line."},
                             {"FIDOBIG.ONE", "B.ZIP", 2000000000, "two"}};
  big.insert(big.end(), 5, {"FIDOBIG.TWO", "C.ZIP", 2000000000});
  big.insert(big.end(), 12345, {"FIDOMANY", "F.ZIP", 1});
  const std::string fido =
      Database({{"FIDONEWS", "NEWS.ZIP", 1234567, "First line\rSecond", {1, 2, 3, 0}, {1, 2, 4, 5}},
                {"LOCAL", "LOCAL.ZIP", 50, "Not for this mask"},
                {"FIDOSOFT", "README.TXT", 999, "", {2, 5020, 100, 4}, {0, 9, 9, 9}},
                {"FIDONEWS",
                 "LONGNAME.ZIP",
                 2000000,
                 std::string(" ").append(xs) + " TAIL",
                 {2, 5020, 1042, 0},
                 {2, -9, -32767, 5}},
                {"FIDOSOFT", "TOOL.ARJ", 1000,
                 "Words wrap at the last blank that fits, not first 0123456789\r  indented\r\rend"},
                {"FIDONEWS", "A.B", 1, xs + "x\ry", {0, 1, 1, 1}, {1, 2, 3, 4}},
                {"FIDONEWS", "DONE.ZIP", 0, "already reported"},
                {"FIDOSOFT", "HUGE.ISO", -5, "size with the top bit set"}}) +
      Database(big);
  const std::string left = Database({{"ABC", "NEW.ZIP", 20, "From this run"},
                                     {"ZERO.C5YP3ZQ", "Z1.ZIP", 10},
                                     {"ZERO.B", "B1.ZIP", 20},
                                     {"ZERO.C5YP3ZQ", "Z2.ZIP", 30}});
  const std::string old_abc = " OLD.ZIP               7 From the stopped run",
                    old_zero = " OLD.ZIP               7 left over",
                    lost = " X.ZIP       9999999999999999999 lost";
  std::vector<std::string> two(6, " C.ZIP       2,000,000,000");
  two[0] = " LONGNAME.ZIP1,000,000,000 Exactly fifty-three characters stay on a single line.";
  std::vector<Ticket> areas;
  std::vector<std::size_t> written;
  std::string first;
  const auto entry = [](const std::string& file) {
    return " " + file + std::string(22 - file.size(), ' ') + "1";
  };
  for (int n = 0; n < 256; ++n) {
    areas.push_back({Numbered("AREA%03d", n), Numbered("F%03d.ZIP", n), 1});
    if (n != 255) written.push_back(n);
    if (n > 0 && n < 255) first += Section(areas.back().area, {entry(areas.back().file)}, "1");
  }
  areas.push_back({"AREA000", "SECOND.ZIP", 1});
  areas.push_back({"AREA256", "F256.ZIP", 1});
  written.push_back(256);
  const Tree texts = {
      {"fido", fido},
      {"fido_after", SizesCleared(fido.substr(0, 8 * kRecordSize), {0, 2, 3, 4, 5}) +
                         SizesCleared(Database(big))},
      {"fido_report",
       Section("FIDONEWS",
               {" NEWS.ZIP      1,234,567 First line|" + in + "Second||" + in +
                    "Origin: 1:2/3 (via 1:2/4.5)",
                " LONGNAME.ZIP  2,000,000  " + xs + "|" + in + " TAIL||" + in +
                    "Origin: 2:5020/1042 (via 2:?/*.5)",
                " A.B                   1 " + xs + "x||" + in + "y"},
               "3,234,568") +
           Section("FIDOSOFT",
                   {" README.TXT          999||" + in + "Origin: 2:5020/100.4",
                    " TOOL.ARJ          1,000 Words wrap at the last blank that fits, not first|" +
                        in + "0123456789|" + in + "  indented||" + in + "end"},
                   "1,999") +
           Section("FIDOBIG.ONE",
                   {" A.ZIP       2,000,000,000 one", " B.ZIP       2,000,000,000 two"},
                   "4,000,000,000") +
           Section("FIDOBIG.TWO", two, "11,000,000,000") +
           Section("FIDOMANY", std::vector<std::string>(12345, " F.ZIP                 1"),
                   "12,345") +
           Lines("| Total of 15,003,248,912 in 12358 file(s)|")},
      {"left", left},
      {"left_after", SizesCleared(left)},
      {"abc", AreaFile("ABC", {old_abc})},
      {"zero", AreaFile("ZERO.C5YP3ZQ", {old_zero})},
      {"gone", AreaFile("GONE", {lost})},
      {"left_report",
       Section("ZERO.C5YP3ZQ", {old_zero, " Z1.ZIP               10", " Z2.ZIP               30"},
               "40", 2) +
           Section("GONE", {lost}, "0", 0) +
           Section("ABC", {old_abc, " NEW.ZIP              20 From this run"}, "20", 1) +
           Section("ZERO.B", {" B1.ZIP               20"}, "20") +
           Lines("| Total of 80 in 4 file(s)|")},
      {"areas", Database(areas)},
      {"areas_written", SizesCleared(Database(areas), written)},
      {"areas_after", SizesCleared(Database(areas))},
      {"areas_report", Section("AREA000", {entry("F000.ZIP"), entry("SECOND.ZIP")}, "2") + first +
                           Lines("| Total of 256 in 256 file(s)|")},
      {"areas_later", Section("AREA255", {entry("F255.ZIP")}, "1") +
                          Section("AREA256", {entry("F256.ZIP")}, "1") +
                          Lines("| Total of 2 in 2 file(s)|")}};
  const std::string both = kNoHeader + kNoFooter,
                    leftovers = " 00000000.nef=@zero 0BADF00D.nef=@gone DEADBEEF.NEF=";
  const Scenario cases[] = {
      {"2|fido|report.txt", "ticbase.dat=@fido", Console(both), 0,
       "ticbase.dat=@fido_after report.txt=@fido_report ticbase.rep="},
      {"2|*|report.txt", "ticbase.dat=@left 5C7CFCB7.nef=@abc" + leftovers, Console(both), 0,
       "ticbase.dat=@left_after report.txt=@left_report ticbase.rep="},
      {"2|*|report.txt", "ticbase.dat=@left 5c7cfcb7.nef=@abc" + leftovers, Console(both), 0,
       "ticbase.dat=@left_after report.txt=@left_report ticbase.rep="},
      {"2|area|report.txt", "ticbase.dat=@areas",
       Preamble(2) +
           Lines("Creating report... done.|2 ticket(s) left for a later run: more than 255 areas.|"
                 "Writing...") +
           both + Lines("Done."),
       0, "ticbase.dat=@areas_written report.txt=@areas_report"},
      {"2|area|later.txt", "ticbase.dat=@areas_written", Console(both), 0,
       "ticbase.dat=@areas_after later.txt=@areas_later ticbase.rep="}};
  for (const Scenario& c : cases) ExpectScenario(c, texts);
}

// The templates frame the report wherever it goes, with @date and @pid
// expanded (any letter case, not inside a longer word), up to a Ctrl-Z;
// entries are copied, not expanded, and one of a single byte still has its
// total. A missing template is reported only
// where it would be used; a run without new files leaves no report, not even
// an older one. A report that cannot be created goes to standard output, as
// an empty name asks; so does one that would overwrite the program's own
// files (5C7CFCB7.nef is the area file of ABC in this very run) or be read
// back as a template, even one not there yet, or a name past 255 characters,
// which would be cut to another file's name. On POSIX: a FIFO is no file to
// keep a report in, and a link to a missing template must not make the
// report that template.
TEST(Report, TemplatesFrameTheReportWhereverItGoes) {
  const std::string prefix =
      "New files @date\r\n@DATE|@Date|@dates\r\nby @pid, @pidgin\r@@date and @pid@date\r\n"
      "5 @ 10, @5, @PID, end@\r\n\r\nlf\nstays\r\n\x1A"
      "after the end of the text\r\n";
  const std::string suffix = "-- @pid --\r\nMade @date", pid = "Corvane/W32 1.4";
  std::time_t now = std::time(nullptr);
  char day[32];
  std::strftime(day, sizeof day, "%A %d-%b-%y", std::localtime(&now));
  const std::string d = day;
  const std::string head =
      CrLf({"New files " + d, d + "|" + d + "|" + d + "s", "by " + pid + ", " + pid + "gin",
            "@" + d + " and " + pid + d, "5 @ 10, @5, " + pid + ", end@", "", "lf stays"});
  const std::string tail = Lines("-- " + pid + " --|Made " + d);
  const std::string body = Section("ABC", {" F.ZIP                 1 Stamp @date stays"}, "1") +
                           Lines("| Total of 1 in 1 file(s)|");
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
  for (const char* special : {"fifo", "suffix.nef", "PREFIX.NEF"})
    cases.push_back({"report.txt", false, false, true, special});
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "'" << c.path << "' " << c.special << ", prefix " << c.prefix
                                    << ", suffix " << c.suffix << ", new files " << c.new_files);
    if (!c.special.empty() && WindowsProgram()) continue;
    const std::string db = Database({c.new_files ? Ticket{"ABC", "F.ZIP", 1, "Stamp @date stays"}
                                                 : Ticket{"OTHER", "F.ZIP", 10}});
    Tree after = {{"ticbase.dat", c.new_files ? SizesCleared(db) : db}};
    if (c.prefix) after["prefix.nef"] = prefix;
    if (c.suffix) after["suffix.nef"] = suffix;
    Sandbox box(after);
    box.Write("ticbase.dat", db);
    after["ticbase.rep"] = "";
    const bool to_file = c.path == "report.txt" && c.special.empty();
    if (to_file) box.Write("report.txt", "an older report\r\n");
    ASSERT_TRUE(c.special != "fifo" || mkfifo(box.Path("report.txt").c_str(), 0644) == 0);
    if (c.special.size() > 4) fs::create_symlink(c.special, box.Path("report.txt"));
    if (!c.special.empty()) after["report.txt"] = "<special>";
    const std::string top = c.prefix ? head : kNoHeader, end = c.suffix ? tail : kNoFooter;
    if (to_file && c.new_files)
      after["report.txt"] = (c.prefix ? top : "") + body + (c.suffix ? end : "");
    const RunResult run = box.Run({"2", "abc", c.path});
    EXPECT_EQ(
        run.out,
        Console(to_file
                    ? (c.prefix ? "" : top) + (c.new_files && !c.suffix ? end : "")
                    : (c.path.empty() ? "" : Lines("Can't create report, using standard output.")) +
                          top + (c.new_files ? body + end : "")));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(box.Snapshot(true), after);
  }
}

}  // namespace corvane::test
