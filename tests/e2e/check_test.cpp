// Mode 1 seen from outside: the verdict per stored ticket, and that marking
// a ticket touches nothing in ticbase.dat but its four FileSize bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
#include "tickets.h"

namespace corvane::test {
namespace {

std::string CheckOut(const std::vector<std::string>& lines, bool done = true) {
  std::vector<std::string> all = {"Checking stored info..."};
  all.insert(all.end(), lines.begin(), lines.end());
  if (done) all.push_back("Done.");
  return Preamble(1) + CrLf(all);
}

StoredTicket Ticket(const std::string& key, const std::string& file, std::int32_t size) {
  return {key, file, "First line\rsecond line", "FILEECHO", size, {2, 5020, 1, 0}, {2, 5020, 2, 7}};
}

// The bytes of record `index` as they must be after that ticket is marked.
std::string Marked(std::string db, std::size_t index) {
  db.replace(index * kRecordSize + kFileSizeOffset, 4, std::string(4, '\0'));
  return db;
}

TEST(Check, EmptyDatabaseListsNothing) {
  Sandbox box;
  box.MakeDir("bad");
  box.Write("ticbase.dat", "");
  const RunResult run = box.Run({"1", "bad", "."});
  EXPECT_EQ(run.out, CheckOut({}));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(box.Read("ticbase.dat"), "");
}

// The filler bytes after each text are meaningless to readers but must come
// back unchanged: a rewrite in place may change FileSize and nothing else.
TEST(Check, MarksOnlyTheTicketWithAMarker) {
  Sandbox box;
  const std::string db = EncodeRecord(Ticket("TK000001", "A.ZIP", 100), '\xA5') +
                         EncodeRecord(Ticket("TK000002", "B.ZIP", 200000), '\x5A') +
                         EncodeRecord(Ticket("TK000003", "C.ZIP", 3), '\xFF');
  box.Write("ticbase.dat", db);
  box.Write("bad/TK000002.bad", "marker");
  box.Write("bad/TK000003.tic", "not a marker");
  const RunResult run = box.Run({"1", "bad", "."});
  EXPECT_EQ(run.out, CheckOut({"0. A.ZIP is ok", "1. B.ZIP is bad", "2. C.ZIP is ok"}));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(box.Read("ticbase.dat"), Marked(db, 1));
  EXPECT_EQ(box.List("bad"), (std::vector<std::string>{"TK000002.bad", "TK000003.tic"}));
  EXPECT_EQ(box.Read("bad/TK000002.bad"), "marker");
}

TEST(Check, MarkerIsLookedUpAsAVisibleFileInTheGivenDirectory) {
  struct Case {
    const char* why;
    std::string dir;
    std::string key;
    std::string marker;
    bool marker_is_directory;
    bool bad;
  };
  const Case cases[] = {
      {"exact name", "bad", "TK000001", "bad/TK000001.bad", false, true},
      {"name in other case", "bad", "TK000001", "bad/tk000001.BAD", false, true},
      {"marker of another ticket", "bad", "TK000001", "bad/TK000002.bad", false, false},
      {"directory of that name", "bad", "TK000001", "bad/TK000001.bad", true, false},
      {"hidden marker", "bad", ".TK00001", "bad/.TK00001.bad", false, false},
      {"empty BadTics is the current directory", "", "TK000001", "TK000001.bad", false, true},
      // A key from a damaged database is a name, never a pattern or a path.
      {"key is a wildcard", "bad", "*", "bad/TK000002.bad", false, false},
      {"key leaves BadTics", "bad", "..\\x", "x.bad", false, false},
  };
  for (const Case& c : cases) {
    Sandbox box;
    box.MakeDir("bad");
    const std::string db = EncodeRecord(Ticket(c.key, "NEWS.ZIP", 777), '\x01');
    box.Write("ticbase.dat", db);
    if (c.marker_is_directory) {
      box.MakeDir(c.marker);
    } else {
      box.Write(c.marker, "");
    }
    const RunResult run = box.Run({"1", c.dir, "."});
    EXPECT_EQ(run.out, CheckOut({c.bad ? "0. NEWS.ZIP is bad" : "0. NEWS.ZIP is ok"})) << c.why;
    EXPECT_EQ(run.exit_code, 0) << c.why;
    EXPECT_EQ(box.Read("ticbase.dat"), c.bad ? Marked(db, 0) : db) << c.why;
  }
}

// Records already at 0 (reported, or marked earlier) are still listed; a
// second run gives the same verdicts and leaves the same bytes. The third
// parameter is never read.
TEST(Check, RepeatedRunsGiveTheSameVerdicts) {
  Sandbox box;
  const std::string db = EncodeRecord(Ticket("TK000001", "A.ZIP", 0), '\x11') +
                         EncodeRecord(Ticket("TK000002", "B.ZIP", 0), '\x22') +
                         EncodeRecord(Ticket("TK000003", "C.ZIP", 9), '\x33');
  box.Write("ticbase.dat", db);
  box.Write("bad/TK000002.bad", "");
  box.Write("bad/TK000003.bad", "");
  const std::string expected = CheckOut({"0. A.ZIP is ok", "1. B.ZIP is bad", "2. C.ZIP is bad"});
  for (const std::string third : {".", "anything", "x y"}) {
    const RunResult run = box.Run({"1", "bad", third});
    EXPECT_EQ(run.out, expected) << third;
    EXPECT_EQ(run.exit_code, 0) << third;
    EXPECT_EQ(box.Read("ticbase.dat"), Marked(db, 2)) << third;
  }
}

// A length byte past a field's capacity is read as the capacity, and is
// itself kept when the record is written back.
TEST(Check, LengthBytesBeyondCapacityAreClamped) {
  Sandbox box;
  std::string db = EncodeRecord(Ticket("TK000001", "LONGNAME.ZIP", 5), '\x7E');
  db[0] = static_cast<char>(200);
  db[9] = static_cast<char>(255);
  box.Write("ticbase.dat", db);
  box.Write("bad/TK000001.bad", "");
  const RunResult run = box.Run({"1", "bad", "."});
  EXPECT_EQ(run.out, CheckOut({"0. LONGNAME.ZIP is bad"}));
  EXPECT_EQ(box.Read("ticbase.dat"), Marked(db, 0));
}

TEST(Check, MissingDatabaseStopsWithError2) {
  Sandbox box;
  box.MakeDir("bad");
  const RunResult run = box.Run({"1", "bad", "."});
  EXPECT_EQ(run.out, CheckOut({}, false));
  EXPECT_EQ(RuntimeStopNumber(run.err), 2) << run.err;
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_FALSE(box.Exists("ticbase.dat"));
}

// Whole records are handled, and a mark set before the stop stays set.
TEST(Check, PartialRecordStopsWithError100) {
  Sandbox box;
  const std::string db = EncodeRecord(Ticket("TK000001", "A.ZIP", 10), '\0') +
                         EncodeRecord(Ticket("TK000002", "B.ZIP", 20), '\0') +
                         std::string(100, 'p');
  box.Write("ticbase.dat", db);
  box.Write("bad/TK000002.bad", "");
  const RunResult run = box.Run({"1", "bad", "."});
  EXPECT_EQ(run.out, CheckOut({"0. A.ZIP is ok", "1. B.ZIP is bad"}, false));
  EXPECT_EQ(RuntimeStopNumber(run.err), 100) << run.err;
  EXPECT_EQ(run.exit_code, 100);
  EXPECT_EQ(box.Read("ticbase.dat"), Marked(db, 1));
}

}  // namespace
}  // namespace corvane::test
