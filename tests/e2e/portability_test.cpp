// One ticbase.dat for every build: the program, built for another CPU (the
// big-endian s390x one too) or for Windows, writes from the same inbound the
// very bytes that the reference build (CORVANE_REFERENCE_PROGRAM, the native
// x86-64 program of this tree) writes.
#include "harness.h"

namespace corvane::test {

// Numbers that fill every byte of their fields: sizes above 64 KiB and
// 16 MiB would lose their high bytes, addresses above 255 show a swap of
// their two bytes.
TEST(Portability, SameInboundSameTicbaseAsTheReferenceBuild) {
  const char* reference = std::getenv("CORVANE_REFERENCE_PROGRAM");
  if (reference == nullptr || *reference == '\0')
    GTEST_SKIP() << "no CORVANE_REFERENCE_PROGRAM: this run is against the reference build";
  // Built by append: GCC 12's Release build takes a literal put in front of
  // a string for an overlapping copy (-Wrestrict).
  const std::string desc(200, 'd');
  std::string huge_ticket = "Area HUGE|From 4:920/1|Desc ",
              expected =
                  "TK000001,BIG.ZIP,70000,BIGFILES,Seventy thousand bytes,2:5020/1042.7,1:261/38.0|"
                  "TK000002,ONE.TXT,1,SMALL,,32767:4660/258.1,|TK000003,HUGE.ARJ,16777219,HUGE,";
  huge_ticket.append(desc).append("|File huge.arj");
  expected.append(desc).append(",,4:920/1.0");
  const Tree node = Files(
      "in/TK000001.tic=@t1 in/big.zip=@big in/TK000002.tic=@t2 in/one.txt=1 "
      "in/TK000003.tic=@t3 in/huge.arj=@huge bad/",
      {{"t1", Lines("Area BIGFILES|Origin 2:5020/1042.7|From 1:261/38|Desc Seventy thousand bytes|"
                    "File big.zip")},
       {"t2", Lines("Area SMALL|Origin 32767:4660/258.1|File one.txt")},
       {"t3", Lines(huge_ticket)},
       {"big", std::string(70000, 'b')},
       {"huge", std::string((std::size_t{16} << 20) + 3, 'h')}});
  Sandbox ours(node), theirs(node);
  const RunResult run = ours.Run({"0", "in", "bad"});
  const RunResult ref = theirs.Run({"0", "in", "bad"}, {.program = reference});
  ASSERT_EQ(ref.exit_code, 0) << ref.err;
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, ref.out);
  const std::string db = Slurp(ours.Path("ticbase.dat"));
  EXPECT_EQ(Stored(db), expected);
  EXPECT_TRUE(db == Slurp(theirs.Path("ticbase.dat"))) << "ticbase.dat differs from the reference";
}

}  // namespace corvane::test
