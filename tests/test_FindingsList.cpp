// Tests of the findings list: tab joining, insertion order, and duplicates ignoring case.
#include "FindingsList.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace morvex {
namespace {

std::vector<std::string> FieldsOf(const FindingsList& findings, int32_t line) {
  std::vector<std::string> fields;
  for (int32_t f = 0; f < findings.FieldCount(line); ++f) fields.emplace_back(findings.Field(line, f));
  return fields;
}

TEST(FindingsList, JoinsFieldsWithSingleTabsAndKeepsThemUnchanged) {
  FindingsList findings;
  ASSERT_TRUE(findings.Add({"a b", "", "'it''s\tx'", " c "}));
  EXPECT_EQ(findings.Line(0), "a b\t\t'it''s\tx'\t c ");
  EXPECT_EQ(FieldsOf(findings, 0), (std::vector<std::string>{"a b", "", "'it''s\tx'", " c "}));
  ASSERT_TRUE(findings.Add({"only"}));
  EXPECT_EQ(findings.Line(1), "only");
}

TEST(FindingsList, KeepsInsertionOrder) {
  FindingsList findings;
  for (const char* name : {"zeta", "alpha", "mid"}) ASSERT_TRUE(findings.Add({name}));
  ASSERT_EQ(findings.Count(), 3);
  EXPECT_EQ(findings.Line(0), "zeta");
  EXPECT_EQ(findings.Line(1), "alpha");
  EXPECT_EQ(findings.Line(2), "mid");
}

TEST(FindingsList, RejectsALineEqualIgnoringCaseAndKeepsTheFirst) {
  FindingsList findings;
  ASSERT_TRUE(findings.Add({"include", "valves", "Valve", "TEXT"}));
  EXPECT_FALSE(findings.Add({"include", "valves", "VALVE", "TEXT"}));
  EXPECT_FALSE(findings.Add({"include", "valves", "Valve", "TEXT"}));
  ASSERT_EQ(findings.Count(), 1);
  EXPECT_EQ(findings.Line(0), "include\tvalves\tValve\tTEXT");
}

TEST(FindingsList, CaseFoldingCoversTextBeyondAscii) {
  FindingsList findings;
  ASSERT_TRUE(findings.Add({"\u00C4RGER"}));
  EXPECT_FALSE(findings.Add({"\u00E4rger"}));
  ASSERT_TRUE(findings.Add({"\u03A3\u03A3"}));
  EXPECT_FALSE(findings.Add({"\u03C3\u03C3"}));
  // A mixed line folds as a whole: the ASCII part must fold the same way as in a pure ASCII line.
  ASSERT_TRUE(findings.Add({"Pump\u00C9", "TEXT"}));
  EXPECT_FALSE(findings.Add({"PUMP\u00E9", "text"}));
  EXPECT_EQ(findings.Count(), 3);
}

TEST(FindingsList, FieldBoundariesMatterOnlyThroughTheJoinedLine) {
  FindingsList findings;
  ASSERT_TRUE(findings.Add({"a", "b"}));
  // "a\tb" as one field joins to the same line, so it is the same key.
  EXPECT_FALSE(findings.Add({"a\tb"}));
  EXPECT_TRUE(findings.Add({"a", "b", ""}));
}

TEST(FindingsList, ManyDistinctLinesStayInOrder) {
  FindingsList findings;
  constexpr int kLines = 20000;
  for (int i = 0; i < kLines; ++i) {
    const std::string digits = std::to_string(i);
    ASSERT_TRUE(findings.Add({"Tarvo", std::string(digits.begin(), digits.end())}));
  }
  EXPECT_FALSE(findings.Add({"TARVO", "19999"}));
  ASSERT_EQ(findings.Count(), kLines);
  EXPECT_EQ(findings.Line(12345), "Tarvo\t12345");
}

TEST(FindingsList, GrowthPastTheFirstPieceKeepsEveryLineItsFieldsAndItsKey) {
  FindingsList findings;
  // Lines of every size around the piece sizes, one larger than any piece, and many small ones between.
  const std::string huge(9u << 20, 'h');
  const std::vector<size_t> sizes = {1, 70000, 65536, 3, 1u << 20, 5, 200000};
  std::vector<std::string> expected;
  for (size_t i = 0; i < sizes.size(); ++i) {
    expected.push_back(std::string(sizes[i], static_cast<char>('a' + i)) + "\t" + std::to_string(i));
    ASSERT_TRUE(findings.Add({std::string_view(expected.back()).substr(0, sizes[i]), std::to_string(i)}));
  }
  ASSERT_TRUE(findings.Add({huge}));
  expected.push_back(huge);
  for (int i = 0; i < 50000; ++i) {
    expected.push_back("Pump" + std::to_string(i) + "\t\u00C4");
    ASSERT_TRUE(findings.Add({"Pump" + std::to_string(i), "\u00C4"}));
  }
  ASSERT_EQ(findings.Count(), static_cast<int32_t>(expected.size()));
  size_t bytes = 0;
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(findings.Line(static_cast<int32_t>(i)), expected[i]) << i;
    bytes += expected[i].size();
  }
  EXPECT_EQ(findings.TextBytes(), bytes);
  EXPECT_EQ(FieldsOf(findings, 1), (std::vector<std::string>{std::string(70000, 'b'), "1"}));
  // Every key still finds its line after the index grew many times, whatever its case.
  EXPECT_FALSE(findings.Add({"PUMP49999", "\u00E4"}));
  EXPECT_FALSE(findings.Add({std::string(65536, 'C'), "2"}));
  EXPECT_FALSE(findings.Add({std::string(huge.size(), 'H')}));
  EXPECT_EQ(findings.Count(), static_cast<int32_t>(expected.size()));
}

TEST(FindingsList, FieldsKeepTheirBoundsWhenAValueHoldsATab) {
  FindingsList findings;
  ASSERT_TRUE(findings.Add({"p", "'a\tb'", ""}));
  ASSERT_TRUE(findings.Add({}));
  EXPECT_EQ(FieldsOf(findings, 0), (std::vector<std::string>{"p", "'a\tb'", ""}));
  EXPECT_EQ(findings.FieldCount(1), 0);
  EXPECT_EQ(findings.Line(1), "");
}

// A page's list made apart and taken into the run's list must give what adding the same fields there gives.
TEST(FindingsList, LinesTakenFromAnotherListAreAddedAsTheirFieldsWouldBe) {
  const std::vector<std::vector<std::string>> pageLines = {
      {"p", "'a\tb'", ""}, {"include", "Valve", "TEXT"}, {}, {"\u00E4rger", "x"}, {"big", std::string(70000, 'v')}};
  const std::vector<std::vector<std::string>> runLines = {{"INCLUDE", "valve", "text"}, {"\u00C4RGER", "X"}};
  FindingsList page;
  for (const auto& fields : pageLines) {
    std::vector<std::string_view> views(fields.begin(), fields.end());
    ASSERT_TRUE(page.Add(views.data(), views.size()));
  }
  FindingsList byFields;
  FindingsList byLines;
  for (const auto& fields : runLines) {
    std::vector<std::string_view> views(fields.begin(), fields.end());
    ASSERT_TRUE(byFields.Add(views.data(), views.size()));
    ASSERT_TRUE(byLines.Add(views.data(), views.size()));
  }
  for (int32_t line = 0; line < page.Count(); ++line) {
    const std::vector<std::string> fields = FieldsOf(page, line);
    std::vector<std::string_view> views(fields.begin(), fields.end());
    EXPECT_EQ(byLines.AddLineOf(page, line), byFields.Add(views.data(), views.size())) << line;
  }
  ASSERT_EQ(byLines.Count(), byFields.Count());
  EXPECT_EQ(byLines.TextBytes(), byFields.TextBytes());
  for (int32_t line = 0; line < byFields.Count(); ++line) {
    EXPECT_EQ(byLines.Line(line), byFields.Line(line));
    EXPECT_EQ(FieldsOf(byLines, line), FieldsOf(byFields, line));
  }
  // The keys it placed find later lines of either kind.
  EXPECT_FALSE(byLines.Add({"P", "'A\tB'", ""}));
  EXPECT_FALSE(byLines.AddLineOf(page, 0));
}

// A list reused page after page: a key left behind would drop a finding of the next page.
TEST(FindingsList, AClearedListHoldsNothingOfWhatItHeldWhateverItsSize) {
  for (const int32_t lines : {1, 40, 5000}) {
    FindingsList findings;
    for (int32_t i = 0; i < lines; ++i) ASSERT_TRUE(findings.Add({"Pump" + std::to_string(i), std::string(30, 'x')}));
    findings.Clear();
    EXPECT_EQ(findings.Count(), 0) << lines;
    EXPECT_EQ(findings.TextBytes(), 0u) << lines;
    ASSERT_TRUE(findings.Add({"PUMP0", std::string(30, 'X')})) << lines;
    EXPECT_EQ(findings.Line(0), "PUMP0\t" + std::string(30, 'X'));
    EXPECT_FALSE(findings.Add({"pump0", std::string(30, 'x')})) << lines;
  }
}

}  // namespace
}  // namespace morvex
