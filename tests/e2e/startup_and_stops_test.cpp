// Start-up, usage, mode numbers and the run-time stops every mode shares,
// and mode 1, the check of stored tickets, seen from outside.
#include "harness.h"

namespace corvane::test {

// The usage names the program by its file name only.
std::string Usage() {
  const std::string name = fs::path(ProgramPath()).filename().string();
  return Lines("Corvane/W32 1.4  FidoNet ticket base and new-files report|Usage: " + name +
               " 0 <Inbound> <BadTics>|    or " + name + " 1 <BadTics> .|    or " + name +
               " 2 <Mask> <Report.Txt>");
}

// A console that cannot be written is stop 101.
TEST(Startup, ConsoleWriteFailureIsStop101) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  const RunResult full = Sandbox().Run({"3", "a", "b"}, {.stdout_path = "/dev/full"});
  EXPECT_TRUE(Stopped(full.err, 101)) << full.err;
  EXPECT_EQ(full.exit_code, 101);
}

// Refused runs exit with 1, a run-time stop with its number. A wrong number
// of parameters shows the usage. The mode number is reduced to 8 bits, and
// shown so; other modes than 0, 1 and 2 touch nothing. Mode 0 refuses the
// same directory for inbound and BadTics, however written, and stops at once
// when it cannot create the database. Modes 1 and 2 read the database: a
// missing one is stop 2, a partial record at its end stop 100 after the whole
// records are handled: mode 1 keeps the marks it set; mode 2 marks nothing,
// leaving only the scratch file of area ABC (5C7CFCB7.tmp) for the next run
// to clear.
//
// Mode 1 marks a ticket bad when a visible file named by its key and ".bad",
// letter case ignored, is in the given directory (empty: the current one),
// and changes nothing in ticbase.dat but that ticket's FileSize. A key from
// a damaged database is a name, never a pattern or a path. A length byte past
// a field's capacity is read as the capacity, and kept. Records already at 0
// are still listed; a repeated run gives the same verdicts and bytes. The
// third parameter is never read.
TEST(Startup, RefusalsStopsAndTheCheck) {
  const std::vector<Ticket> tickets = {
      {"FILEECHO", "LONGNAME.ZIP", 100, "First\rsecond", {2, 5020, 1, 0}},
      {"FILEECHO", "B.ZIP", 0},
      {"X", "C.ZIP", 200000},
      {"X", "D.ZIP", 4},
      {"X", "E.ZIP", 5, "", {}, {2, 5020, 2, 7}, ".TK00005"},
      {"X", "F.ZIP", 6, "", {}, {}, "*"},
      {"X", "G.ZIP", 7, "", {}, {}, "..\\x"}};
  std::string db = Database(tickets);
  db[0] = static_cast<char>(200);  // key TK000001
  db[9] = static_cast<char>(255);  // file LONGNAME.ZIP
  const std::string checking = Preamble(1) + Lines("Checking stored info...");
  const auto verdicts = [&](const char* first, const char* third) {  // of 0 and 1, of 2
    return checking + Lines(Numbered("0. LONGNAME.ZIP is %s|1. B.ZIP is %s|2. C.ZIP is %s|"
                                     "3. D.ZIP is ok|4. E.ZIP is ok|5. F.ZIP is ok|"
                                     "6. G.ZIP is ok|Done.",
                                     first, first, third));
  };
  const std::string cut =
      Database({{"ABC", "F.ZIP", 10, "Stamp @date stays"}, {"ABC", "B.ZIP", 20}}) +
      std::string(100, '\x11');
  const Tree texts = {{"cut", cut},
                      {"marked", SizesCleared(cut, {1})},
                      {"tic", Lines("File a.zip")},
                      {"junk", std::string(kRecordSize, 'r')},
                      {"scratch", Lines(" F.ZIP                10 Stamp @date stays|| B.ZIP"
                                        "                20|")},
                      {"db", db},
                      {"db0", SizesCleared(db, {0})},
                      {"db02", SizesCleared(db, {0, 2})}};
  const std::string inbound = "in/TK000001.tic=@tic in/a.zip=data bad/ ticbase.dat=@junk";
  const std::string marker = "bad/TK000002.bad= ";
  const std::string markers =
      "bad/TK000001.bad=marker bad/tk000002.BAD= bad/TK000003.tic=ticket bad/TK000004.bad/ "
      "bad/.TK00005.bad= x.bad= TK000003.bad= ticbase.dat=";
  const std::string same =
      Preamble(0) + Lines("Inbound and BadTics are the same directory; nothing done.");
  const std::string creating = Preamble(2) + "Creating report...";
  const std::string erroneous = Lines("? Erroneous mode");
  const Scenario cases[] = {
      {"", "", Usage(), 1},
      {"0|in", "", Usage(), 1},
      {"0|in|bad|x", "", Usage(), 1},
      {"3|a|b", "", Preamble(3) + erroneous},
      {"259|a|b", "", Preamble(3) + erroneous},
      {"-253|a|b", "", Preamble(3) + erroneous},
      {"-1|a|b", "", Preamble(255) + erroneous},
      {"abc|a|b", "", Preamble(255) + erroneous},
      {"256|in|in", inbound, same, 1},
      {"257|bad|.", marker, checking, 2},
      {"-254|abc|report.txt", marker, creating, 2},
      {"0|in|IN/", inbound, same, 1},
      {"0|in|./in", inbound, same, 1},
      {"0|in/|in\\", inbound, same, 1},
      {"0|./IN|in", inbound, same, 1},
      {"0|in|bad", "in/TK000001.tic=@tic in/a.zip=data bad/ ticbase.dat/", Preamble(0), 5},
      {"1|bad|.", marker + "ticbase.dat=", checking + Lines("Done.")},
      {"1|bad|.", marker, checking, 2},
      {"2|abc|report.txt", marker, creating, 2},
      {"1|bad|.", marker + "ticbase.dat=@cut", checking + Lines("0. F.ZIP is ok|1. B.ZIP is bad"),
       100, marker + "ticbase.dat=@marked"},
      {"2|abc|report.txt", marker + "ticbase.dat=@cut", creating, 100,
       marker + "ticbase.dat=@cut 5C7CFCB7.tmp=@scratch"},
      {"1|bad|.", markers + "@db", verdicts("bad", "ok"), 0, markers + "@db0"},
      {"1|bad|anything", markers + "@db0", verdicts("bad", "ok")},
      {"1|bad|x y", markers + "@db0", verdicts("bad", "ok")},
      {"1||.", markers + "@db0", verdicts("ok", "bad"), 0, markers + "@db02"}};
  for (const Scenario& c : cases) ExpectScenario(c, texts);
}

}  // namespace corvane::test
