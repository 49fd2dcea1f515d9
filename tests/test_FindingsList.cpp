// Tests of the findings list: tab joining, insertion order, and duplicates ignoring case.
#include "FindingsList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvex {
namespace {

TEST(FindingsList, JoinsFieldsWithSingleTabsAndKeepsThemUnchanged) {
  FindingsList findings;
  ASSERT_TRUE(findings.Add({u"a b", u"", u"'it''s\tx'", u" c "}));
  EXPECT_EQ(findings.Line(0), u"a b\t\t'it''s\tx'\t c ");
  EXPECT_EQ(findings.Fields(0), (std::vector<std::u16string>{u"a b", u"", u"'it''s\tx'", u" c "}));
  ASSERT_TRUE(findings.Add({u"only"}));
  EXPECT_EQ(findings.Line(1), u"only");
}

TEST(FindingsList, KeepsInsertionOrder) {
  FindingsList findings;
  for (const char16_t* name : {u"zeta", u"alpha", u"mid"}) ASSERT_TRUE(findings.Add({name}));
  ASSERT_EQ(findings.Count(), 3);
  EXPECT_EQ(findings.Line(0), u"zeta");
  EXPECT_EQ(findings.Line(1), u"alpha");
  EXPECT_EQ(findings.Line(2), u"mid");
}

TEST(FindingsList, RejectsALineEqualIgnoringCaseAndKeepsTheFirst) {
  FindingsList findings;
  ASSERT_TRUE(findings.Add({u"include", u"valves", u"Valve", u"TEXT"}));
  EXPECT_FALSE(findings.Add({u"include", u"valves", u"VALVE", u"TEXT"}));
  EXPECT_FALSE(findings.Add({u"include", u"valves", u"Valve", u"TEXT"}));
  ASSERT_EQ(findings.Count(), 1);
  EXPECT_EQ(findings.Line(0), u"include\tvalves\tValve\tTEXT");
}

TEST(FindingsList, CaseFoldingCoversTextBeyondAscii) {
  FindingsList findings;
  ASSERT_TRUE(findings.Add({u"STRASSE"}));
  EXPECT_FALSE(findings.Add({u"stra\u00DFe"}));
  ASSERT_TRUE(findings.Add({u"\u03A3\u03A3"}));
  EXPECT_FALSE(findings.Add({u"\u03C3\u03C2"}));
  // A mixed line folds as a whole: the ASCII part must fold the same way as in a pure ASCII line.
  ASSERT_TRUE(findings.Add({u"Pump\u00C9", u"TEXT"}));
  EXPECT_FALSE(findings.Add({u"PUMP\u00E9", u"text"}));
  EXPECT_EQ(findings.Count(), 3);
}

TEST(FindingsList, FieldBoundariesMatterOnlyThroughTheJoinedLine) {
  FindingsList findings;
  ASSERT_TRUE(findings.Add({u"a", u"b"}));
  // "a\tb" as one field joins to the same line, so it is the same key.
  EXPECT_FALSE(findings.Add({u"a\tb"}));
  EXPECT_TRUE(findings.Add({u"a", u"b", u""}));
}

TEST(FindingsList, ManyDistinctLinesStayInOrder) {
  FindingsList findings;
  constexpr int kLines = 20000;
  for (int i = 0; i < kLines; ++i) {
    const std::string digits = std::to_string(i);
    ASSERT_TRUE(findings.Add({u"Tarvo", std::u16string(digits.begin(), digits.end())}));
  }
  EXPECT_FALSE(findings.Add({u"TARVO", u"19999"}));
  ASSERT_EQ(findings.Count(), kLines);
  EXPECT_EQ(findings.Line(12345), u"Tarvo\t12345");
}

}  // namespace
}  // namespace morvex
