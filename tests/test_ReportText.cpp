// Tests of the results box's text: line index, places in UTF-16 units, copies, and caret moves.
#include "ReportText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace morvex;

TEST(ReportText, SplitsAtEveryLineEndAndCopiesBytesAsTheyAre) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", {""}},
      {"a\tb\r\nc\nd\re", {"a\tb", "c", "d", "e"}},
      {"x\r\n", {"x", ""}},
      {"\r\n\r\n", {"", "", ""}},
      {"a\r\rb", {"a", "", "b"}},
      // Long enough for runs of eight bytes, with line ends and non-ASCII at and across their edges.
      {"abcdefghijklmno\npqrstuvw\r\nx\xC3\xA9yzabcdefghij0123456789\rklmnopqrstuvwxyz\r",
       {"abcdefghijklmno", "pqrstuvw", "x\xC3\xA9yzabcdefghij0123456789", "klmnopqrstuvwxyz", ""}},
  };
  for (const Case& c : cases) {
    const ReportText text(c.text);
    ASSERT_EQ(text.LineCount(), c.lines.size()) << c.text;
    for (size_t i = 0; i < c.lines.size(); ++i) EXPECT_EQ(text.LineBytes(i), c.lines[i]) << c.text;
    EXPECT_EQ(text.Between({}, text.End()), c.text);
    EXPECT_EQ(text.Between(text.End(), {}), c.text) << "places in either order";
  }
  const ReportText report("Project\tPage\r\nP1\tMain\r\n");
  EXPECT_EQ(report.Between({0, 8}, {1, 2}), "Page\r\nP1");
}

TEST(ReportText, CountsUtf16UnitsAndKeepsSurrogatePairsWhole) {
  // é is one unit, the emoji two, and an ill-formed byte one U+FFFD, as the box draws them.
  const ReportText text("\xC3\xA9\xF0\x9F\x98\x80x\xFF\r\nz");
  EXPECT_EQ(text.LineLength(0), 5u);
  EXPECT_EQ(text.Line(0), u"\u00e9\U0001F600x\uFFFD");
  EXPECT_EQ(text.UnitCount(), 8u);
  EXPECT_EQ(text.Clamp({0, 2}), (TextPoint{0, 1})) << "inside the pair";
  EXPECT_EQ(text.Clamp({0, 99}), (TextPoint{0, 5}));
  EXPECT_EQ(text.Clamp({7, 0}), (TextPoint{1, 1}));
  EXPECT_EQ(text.NextCharacter({0, 1}), (TextPoint{0, 3}));
  EXPECT_EQ(text.PreviousCharacter({0, 3}), (TextPoint{0, 1}));
  EXPECT_EQ(text.Between({0, 1}, {0, 4}), "\xF0\x9F\x98\x80x");
  for (size_t offset : {0u, 3u, 5u, 7u, 8u}) EXPECT_EQ(text.OffsetOf(text.PointAt(offset)), offset);
  EXPECT_EQ(text.PointAt(6), (TextPoint{0, 5})) << "an offset inside CR LF is the line's end";
  EXPECT_EQ(text.WidestLine(8), 0u);
  const ReportText longLines("abcdefghijklmno\npqrstuvw\r\nx\xC3\xA9yzabcdefghij\xF0\x9F\x98\x80tail");
  EXPECT_EQ(longLines.LineLength(0), 15u);
  EXPECT_EQ(longLines.LineLength(2), 20u);
  EXPECT_EQ(longLines.UnitCount(), 46u);
  EXPECT_EQ(ReportText("abcdefghi\n\tx").WidestLine(8), 0u);
  EXPECT_EQ(ReportText("abcdefgh\n\tx").WidestLine(8), 1u) << "a tab runs on to the next stop";
}

TEST(ReportSelection, MovesAsAReadOnlyTextBox) {
  const ReportText text("Pump_1 TEXT, x\r\nab\r\n\r\nlast line here");
  struct Case {
    const char* name;
    TextPoint anchor, caret;
    CaretMove move;
    bool extend;
    TextPoint wantAnchor, wantCaret;
  };
  const Case cases[] = {
      {"right crosses a line end", {0, 14}, {0, 14}, CaretMove::kCharacterRight, false, {1, 0}, {1, 0}},
      {"left at the start stays", {0, 0}, {0, 0}, CaretMove::kCharacterLeft, false, {0, 0}, {0, 0}},
      {"left collapses to the start", {0, 2}, {0, 5}, CaretMove::kCharacterLeft, false, {0, 2}, {0, 2}},
      {"right collapses to the end", {0, 5}, {0, 2}, CaretMove::kCharacterRight, false, {0, 5}, {0, 5}},
      {"shift+right extends", {0, 2}, {0, 5}, CaretMove::kCharacterRight, true, {0, 2}, {0, 6}},
      {"word right skips the word and blanks", {0, 1}, {0, 1}, CaretMove::kWordRight, false, {0, 7}, {0, 7}},
      {"word right stops at a mark", {0, 7}, {0, 7}, CaretMove::kWordRight, false, {0, 11}, {0, 11}},
      {"word left from a blank", {0, 12}, {0, 12}, CaretMove::kWordLeft, false, {0, 11}, {0, 11}},
      {"word left at a line start", {1, 0}, {1, 0}, CaretMove::kWordLeft, false, {0, 14}, {0, 14}},
      {"down clamps to a short line", {0, 9}, {0, 9}, CaretMove::kLineDown, false, {1, 2}, {1, 2}},
      {"shift+page down", {0, 3}, {0, 3}, CaretMove::kPageDown, true, {0, 3}, {3, 3}},
      {"page down stops at the last line", {2, 0}, {2, 0}, CaretMove::kPageDown, false, {3, 0}, {3, 0}},
      {"up at the top stays", {0, 4}, {0, 4}, CaretMove::kLineUp, false, {0, 4}, {0, 4}},
      {"end of line", {1, 0}, {1, 0}, CaretMove::kLineEnd, false, {1, 2}, {1, 2}},
      {"shift+ctrl+end", {1, 1}, {1, 1}, CaretMove::kTextEnd, true, {1, 1}, {3, 14}},
      {"ctrl+home", {3, 4}, {3, 9}, CaretMove::kTextStart, false, {0, 0}, {0, 0}},
  };
  for (const Case& c : cases) {
    ReportSelection selection;
    selection.Place(text, c.anchor, false);
    selection.Place(text, c.caret, true);
    selection.Move(text, c.move, c.extend, 3);
    EXPECT_EQ(selection.Anchor(), c.wantAnchor) << c.name;
    EXPECT_EQ(selection.Caret(), c.wantCaret) << c.name;
  }

  // Down through a short line and an empty one comes back to the column it started from.
  ReportSelection selection;
  selection.Place(text, {0, 9}, false);
  for (int i = 0; i < 3; ++i) selection.Move(text, CaretMove::kLineDown, false, 3);
  EXPECT_EQ(selection.Caret(), (TextPoint{3, 9}));

  selection.SelectWord(text, {0, 3});
  EXPECT_EQ(selection.Selected(text), "Pump_1");
  selection.SelectWord(text, {0, 14});
  EXPECT_EQ(selection.Selected(text), "x") << "at a line's end, the word it follows";
  selection.SelectAll(text);
  EXPECT_EQ(selection.Selected(text), text.Text());
}
