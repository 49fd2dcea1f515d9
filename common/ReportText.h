// ReportText and ReportSelection: the report as the results box holds it (lines, places in them, what a copy
// gives) and the caret and selection that keys and the mouse move over it, for every window to draw from.
#pragma once

#include <compare>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvex {

// A place between two characters: a line and a column counted in UTF-16 units, the units both windows draw
// and measure in. Column 0 is before the line's first character; a column past the line's end means its end.
struct TextPoint {
  size_t line = 0;
  size_t column = 0;
  friend auto operator<=>(const TextPoint&, const TextPoint&) = default;
};

// The report kept once, as the UTF-8 the search wrote, with where each line starts. Nothing is converted
// until a line is drawn, so a report of hundreds of thousands of lines is taken in one pass over its bytes.
// Lines end at CR LF, LF or a lone CR; a copy gives the bytes between two places as they are, line ends
// included, so a copy of everything is the report itself.
class ReportText {
 public:
  ReportText();
  explicit ReportText(std::string text);

  const std::string& Text() const { return text_; }
  size_t LineCount() const { return lineStarts_.size(); }
  // The line's bytes without its end; an index past the last line gives an empty line.
  std::string_view LineBytes(size_t line) const;
  // The line as drawn: UTF-16, each ill-formed UTF-8 part one U+FFFD (as the report's other readers show it).
  std::u16string Line(size_t line) const;
  size_t LineLength(size_t line) const;
  // The line that is widest when every tab runs on to the next multiple of tabColumns: the one to measure
  // for the horizontal scroll range.
  size_t WidestLine(size_t tabColumns) const;

  TextPoint End() const;
  // The nearest place that exists: a line past the end is the end, a column past its line is the line's end,
  // and a column inside a surrogate pair is the pair's start.
  TextPoint Clamp(TextPoint point) const;
  std::string_view Between(TextPoint from, TextPoint to) const;

  // Offsets in UTF-16 units over the whole text, line ends counted as they are (CR LF is two), as screen
  // readers ask for a text box's characters.
  size_t UnitCount() const { return unitCount_; }
  size_t OffsetOf(TextPoint point) const;
  TextPoint PointAt(size_t offset) const;

  // Moves by one character, keeping surrogate pairs whole and crossing line ends as one step.
  TextPoint NextCharacter(TextPoint point) const;
  TextPoint PreviousCharacter(TextPoint point) const;
  // The start of the next word or of the word the place is in (or follows), as Ctrl+Right and Ctrl+Left move.
  TextPoint NextWordStart(TextPoint point) const;
  TextPoint PreviousWordStart(TextPoint point) const;
  // The run of one kind of character (word, blanks, other marks) around the place, for a double-click.
  std::pair<TextPoint, TextPoint> WordAround(TextPoint point) const;

 private:
  size_t ByteOffset(TextPoint point) const;  // point must be clamped
  size_t LineEndBytes(size_t line) const;     // 2 for CR LF, 1 for LF or CR, 0 for the last line

  std::string text_;
  // Two numbers a line: where it starts in bytes and in UTF-16 units; its end and length follow from the next.
  std::vector<size_t> lineStarts_;
  std::vector<size_t> unitStarts_;
  size_t unitCount_ = 0;
};

// How a key moves the caret.
enum class CaretMove {
  kCharacterLeft,
  kCharacterRight,
  kWordLeft,
  kWordRight,
  kLineUp,
  kLineDown,
  kPageUp,
  kPageDown,
  kLineStart,
  kLineEnd,
  kTextStart,
  kTextEnd,
};

// The caret and the other end of the selection, moved as a read-only text box moves them: with Shift the
// anchor stays, without it the selection collapses (Left and Right to its near end, as Windows' edit box
// does). Up and Down keep the column the caret was in before a run of them.
class ReportSelection {
 public:
  TextPoint Anchor() const { return anchor_; }
  TextPoint Caret() const { return caret_; }
  bool Empty() const { return anchor_ == caret_; }
  TextPoint Start() const { return anchor_ < caret_ ? anchor_ : caret_; }
  TextPoint End() const { return anchor_ < caret_ ? caret_ : anchor_; }

  // To the top with nothing selected, as a new report arrives.
  void Reset();
  void Place(const ReportText& text, TextPoint point, bool extend);
  void Move(const ReportText& text, CaretMove move, bool extend, size_t pageLines);
  void SelectAll(const ReportText& text);
  void SelectWord(const ReportText& text, TextPoint point);
  std::string_view Selected(const ReportText& text) const { return text.Between(Start(), End()); }

 private:
  TextPoint anchor_;
  TextPoint caret_;
  size_t goalColumn_ = 0;
  bool goalKept_ = false;  // the last move was up or down
};

}  // namespace morvex
