// Mode 1 seen from outside: the verdict per stored ticket, and that marking
// a ticket touches nothing in ticbase.dat but its four FileSize bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace corvane::test {
namespace {

// A marker is a visible file named by the key and ".bad", letter case
// ignored, in the given directory (an empty name is the current one). A key
// from a damaged database is a name, never a pattern or a path. The filler
// bytes after each text are meaningless to readers but must come back
// unchanged: a rewrite in place may change FileSize and nothing else. A
// length byte past a field's capacity is read as the capacity, and is itself
// kept. Records already at 0 (reported, or marked earlier) are still listed;
// a repeated run gives the same verdicts and leaves the same bytes. The third
// parameter is never read.
TEST(Check, MarksOnlyTicketsWithAMarkerAndKeepsEveryOtherByte) {
  std::vector<StoredTicket> tickets = {
      Ticket("FILEECHO", "LONGNAME.ZIP", 100, "First\rsecond", {2, 5020, 1, 0}),
      Ticket("FILEECHO", "B.ZIP", 0),
      Ticket("X", "C.ZIP", 200000),
      Ticket("X", "D.ZIP", 4),
      Ticket("X", "E.ZIP", 5, "", {}, {2, 5020, 2, 7}),
      Ticket("X", "F.ZIP", 6),
      Ticket("X", "G.ZIP", 7)};
  tickets[4].key = ".TK00005";
  tickets[5].key = "*";
  tickets[6].key = "..\\x";
  std::string db = Database(tickets);
  db[0] = static_cast<char>(200);  // key TK000001
  db[9] = static_cast<char>(255);  // file LONGNAME.ZIP
  Sandbox box;
  box.Write("ticbase.dat", db);
  const Tree files = Files(
      "bad/TK000001.bad=marker bad/tk000002.BAD= bad/TK000003.tic=ticket "
      "bad/TK000004.bad/ bad/.TK00005.bad= x.bad= TK000003.bad=");
  box.Populate(files);
  struct Case {
    std::string dir, third, bad;  // bad: the indexes of the bad tickets
    std::vector<std::size_t> cleared;
  };
  const Case cases[] = {{"bad", ".", "01", {0}},
                        {"bad", "anything", "01", {0}},
                        {"bad", "x y", "01", {0}},

                        {"", ".", "2", {0, 2}}};
  for (const Case& c : cases) {
    SCOPED_TRACE("'" + c.dir + "' '" + c.third + "'");
    std::vector<std::string> lines = {"Checking stored info..."};
    for (std::size_t i = 0; i < tickets.size(); ++i) {
      const bool bad = c.bad.find(static_cast<char>('0' + i)) != std::string::npos;
      lines.push_back(std::to_string(i) + ". " + tickets[i].file + (bad ? " is bad" : " is ok"));
    }
    const RunResult run = box.Run({"1", c.dir, c.third});
    EXPECT_EQ(run.out, Preamble(1) + CrLf(lines) + CrLf({"Done."}));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(box.Read("ticbase.dat"), SizesCleared(db, c.cleared));
    EXPECT_EQ(box.Snapshot(), files);
  }
}

}  // namespace
}  // namespace corvane::test
