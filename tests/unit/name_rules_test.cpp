#include "platform/name_rules.h"

#include <gtest/gtest.h>

namespace corvane::os {
namespace {

TEST(NameRules, WildcardMatchIgnoresCase) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"*.tic", "TK000001.TIC", true},
      {"*.tic", "a.tic", true},
      {"*.tic", ".tic", true},
      {"*.tic", "a.tic.bak", false},
      {"*.tic", "atic", false},
      {"?.tic", "ab.tic", false},
      {"a?c", "ABC", true},
      {"*", "", true},
      {"a*b*c", "aXXbYYc", true},
      {"a*b*c", "aXXbYY", false},
      {"FILE.ZIP", "file.zip", true},
      {"*ab", "aab", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
  }
}

TEST(NameRules, OrderIgnoresCaseThenBytes) {
  EXPECT_LT(CompareNames("a.tic", "B.tic"), 0);
  EXPECT_LT(CompareNames("B.tic", "c.tic"), 0);
  EXPECT_LT(CompareNames("AB.tic", "ab.tic"), 0);  // tie: byte order
  EXPECT_LT(CompareNames("ab", "abc"), 0);
  EXPECT_GT(CompareNames("a_", "ab"), 0) << "letters compare as capitals, which sort before '_'";
  EXPECT_EQ(CompareNames("same", "same"), 0);
  EXPECT_TRUE(EqualIgnoringCase("News.Zip", "NEWS.ZIP"));
  EXPECT_FALSE(EqualIgnoringCase("news.zip", "news.zi"));
}

}  // namespace
}  // namespace corvane::os
