// ReportText's line index and places, and ReportSelection's moves.
#include "ReportText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "TextUtil.h"

namespace morvex {
namespace {

// How many UTF-16 units the sequence at text[at] gives, and how many bytes it takes (the way Utf8ToUtf16 reads
// it: a well-formed sequence is one character, each maximal ill-formed part one U+FFFD).
struct Step {
  size_t bytes;
  size_t units;
};

Step StepAt(std::string_view text, size_t at) {
  if (static_cast<unsigned char>(text[at]) < 0x80) return {1, 1};
  size_t maximal = 1;
  const size_t length = WellFormedLength(text, at, maximal);
  if (length == 0) return {maximal, 1};
  return {length, length == 4 ? size_t{2} : size_t{1}};
}

// Whether any of eight bytes is CR, LF or not ASCII: the bytes a line index must look at one by one. Almost all of
// a report is ASCII between line ends, so it is taken eight bytes at a time.
bool NeedsCare(std::string_view text, size_t at) {
  constexpr uint64_t kOnes = 0x0101010101010101u;
  constexpr uint64_t kHighBits = 0x8080808080808080u;
  uint64_t word;
  std::memcpy(&word, text.data() + at, sizeof word);
  const auto hasByte = [&](unsigned char byte) {
    const uint64_t zeroWhereEqual = word ^ (kOnes * byte);
    return ((zeroWhereEqual - kOnes) & ~zeroWhereEqual & kHighBits) != 0;
  };
  return (word & kHighBits) != 0 || hasByte('\n') || hasByte('\r');
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

enum class CharacterKind { kBlank, kWord, kMark };

CharacterKind KindOf(char16_t unit) {
  if (unit == u' ' || unit == u'\t' || unit == 0xA0) return CharacterKind::kBlank;
  const bool asciiWord = (unit >= u'0' && unit <= u'9') || (unit >= u'A' && unit <= u'Z') ||
                         (unit >= u'a' && unit <= u'z') || unit == u'_';
  // Beyond ASCII every character counts as a letter: names in other scripts select whole, as users expect.
  return (asciiWord || unit >= 0x80) ? CharacterKind::kWord : CharacterKind::kMark;
}

}  // namespace

ReportText::ReportText() : ReportText(std::string()) {}

ReportText::ReportText(std::string text) : text_(std::move(text)) {
  const std::string_view bytes = text_;
  lineStarts_.push_back(0);
  unitStarts_.push_back(0);
  size_t units = 0;
  size_t at = 0;
  while (at < bytes.size()) {
    while (at + 8 <= bytes.size() && !NeedsCare(bytes, at)) {
      at += 8;
      units += 8;
    }
    if (at >= bytes.size()) break;
    const char c = bytes[at];
    if (c == '\n' || c == '\r') {
      const size_t endLength = (c == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n') ? 2 : 1;
      at += endLength;
      units += endLength;
      lineStarts_.push_back(at);
      unitStarts_.push_back(units);
      continue;
    }
    const Step step = StepAt(bytes, at);
    at += step.bytes;
    units += step.units;
  }
  unitCount_ = units;
}

size_t ReportText::LineEndBytes(size_t line) const {
  if (line + 1 >= lineStarts_.size()) return 0;
  const size_t next = lineStarts_[line + 1];
  return (text_[next - 1] == '\n' && next - 1 > lineStarts_[line] && text_[next - 2] == '\r') ? 2 : 1;
}

std::string_view ReportText::LineBytes(size_t line) const {
  if (line >= lineStarts_.size()) return {};
  const size_t start = lineStarts_[line];
  const size_t next = line + 1 < lineStarts_.size() ? lineStarts_[line + 1] : text_.size();
  return std::string_view(text_).substr(start, next - start - LineEndBytes(line));
}

std::u16string ReportText::Line(size_t line) const { return Utf8ToUtf16(LineBytes(line)); }

size_t ReportText::LineLength(size_t line) const {
  if (line >= lineStarts_.size()) return 0;
  const size_t next = line + 1 < unitStarts_.size() ? unitStarts_[line + 1] : unitCount_;
  return next - unitStarts_[line] - LineEndBytes(line);
}

size_t ReportText::WidestLine(size_t tabColumns) const {
  tabColumns = std::max<size_t>(tabColumns, 1);
  size_t widest = 0;
  size_t widestColumns = 0;
  for (size_t line = 0; line < LineCount(); ++line) {
    const std::string_view bytes = LineBytes(line);
    size_t columns = 0;
    if (bytes.size() == LineLength(line)) {
      // A unit a byte: only the tabs need looking at.
      for (size_t at = 0;;) {
        const size_t tab = bytes.find('\t', at);
        columns += (tab == std::string_view::npos ? bytes.size() : tab) - at;
        if (tab == std::string_view::npos) break;
        columns += tabColumns - columns % tabColumns;
        at = tab + 1;
      }
    } else {
      for (size_t at = 0; at < bytes.size();) {
        if (bytes[at] == '\t') {
          columns += tabColumns - columns % tabColumns;
          ++at;
          continue;
        }
        const Step step = StepAt(bytes, at);
        at += step.bytes;
        columns += step.units;
      }
    }
    if (columns > widestColumns) {
      widestColumns = columns;
      widest = line;
    }
  }
  return widest;
}

TextPoint ReportText::End() const { return {LineCount() - 1, LineLength(LineCount() - 1)}; }

TextPoint ReportText::Clamp(TextPoint point) const {
  if (point.line >= LineCount()) return End();
  point.column = std::min(point.column, LineLength(point.line));
  if (point.column > 0 && point.column < LineLength(point.line)) {
    const std::u16string line = Line(point.line);
    if (IsHighSurrogate(line[point.column - 1])) --point.column;
  }
  return point;
}

size_t ReportText::ByteOffset(TextPoint point) const {
  const std::string_view bytes = LineBytes(point.line);
  const size_t start = lineStarts_[point.line];
  // Most lines are ASCII, where a unit is a byte.
  if (bytes.size() == LineLength(point.line)) return start + point.column;
  size_t at = 0;
  for (size_t units = 0; at < bytes.size() && units < point.column;) {
    const Step step = StepAt(bytes, at);
    at += step.bytes;
    units += step.units;
  }
  return start + at;
}

std::string_view ReportText::Between(TextPoint from, TextPoint to) const {
  size_t begin = ByteOffset(Clamp(from));
  size_t end = ByteOffset(Clamp(to));
  if (begin > end) std::swap(begin, end);
  return std::string_view(text_).substr(begin, end - begin);
}

size_t ReportText::OffsetOf(TextPoint point) const {
  point = Clamp(point);
  return unitStarts_[point.line] + point.column;
}

TextPoint ReportText::PointAt(size_t offset) const {
  offset = std::min(offset, unitCount_);
  const size_t line = static_cast<size_t>(std::upper_bound(unitStarts_.begin(), unitStarts_.end(), offset) -
                                          unitStarts_.begin()) - 1;
  return Clamp({line, offset - unitStarts_[line]});
}

TextPoint ReportText::NextCharacter(TextPoint point) const {
  point = Clamp(point);
  const size_t length = LineLength(point.line);
  if (point.column >= length) return point.line + 1 < LineCount() ? TextPoint{point.line + 1, 0} : point;
  const std::u16string line = Line(point.line);
  const size_t step = (IsHighSurrogate(line[point.column]) && point.column + 1 < length) ? 2 : 1;
  return {point.line, point.column + step};
}

TextPoint ReportText::PreviousCharacter(TextPoint point) const {
  point = Clamp(point);
  if (point.column == 0) return point.line > 0 ? TextPoint{point.line - 1, LineLength(point.line - 1)} : point;
  return Clamp({point.line, point.column - 1});
}

TextPoint ReportText::NextWordStart(TextPoint point) const {
  point = Clamp(point);
  const std::u16string line = Line(point.line);
  if (point.column >= line.size()) return NextCharacter(point);
  size_t column = point.column;
  const CharacterKind kind = KindOf(line[column]);
  if (kind != CharacterKind::kBlank) {
    while (column < line.size() && KindOf(line[column]) == kind) ++column;
  }
  while (column < line.size() && KindOf(line[column]) == CharacterKind::kBlank) ++column;
  return {point.line, column};
}

TextPoint ReportText::PreviousWordStart(TextPoint point) const {
  point = Clamp(point);
  if (point.column == 0) return PreviousCharacter(point);
  const std::u16string line = Line(point.line);
  size_t column = point.column;
  while (column > 0 && KindOf(line[column - 1]) == CharacterKind::kBlank) --column;
  if (column == 0) return {point.line, 0};
  const CharacterKind kind = KindOf(line[column - 1]);
  while (column > 0 && KindOf(line[column - 1]) == kind) --column;
  return {point.line, column};
}

std::pair<TextPoint, TextPoint> ReportText::WordAround(TextPoint point) const {
  point = Clamp(point);
  const std::u16string line = Line(point.line);
  if (line.empty()) return {point, point};
  // At a line's end the word is the one it follows.
  const size_t probe = std::min(point.column, line.size() - 1);
  const CharacterKind kind = KindOf(line[probe]);
  size_t begin = probe;
  size_t end = probe;
  while (begin > 0 && KindOf(line[begin - 1]) == kind) --begin;
  while (end < line.size() && KindOf(line[end]) == kind) ++end;
  return {{point.line, begin}, {point.line, end}};
}

void ReportSelection::Reset() { *this = ReportSelection(); }

void ReportSelection::Place(const ReportText& text, TextPoint point, bool extend) {
  caret_ = text.Clamp(point);
  if (!extend) anchor_ = caret_;
  goalKept_ = false;
}

void ReportSelection::Move(const ReportText& text, CaretMove move, bool extend, size_t pageLines) {
  const bool vertical = move == CaretMove::kLineUp || move == CaretMove::kLineDown ||
                        move == CaretMove::kPageUp || move == CaretMove::kPageDown;
  if (vertical && !goalKept_) goalColumn_ = caret_.column;
  const size_t page = std::max<size_t>(pageLines, 1);
  const size_t lastLine = text.LineCount() - 1;
  TextPoint to = caret_;
  switch (move) {
    case CaretMove::kCharacterLeft:
      to = (!extend && !Empty()) ? Start() : text.PreviousCharacter(caret_);
      break;
    case CaretMove::kCharacterRight:
      to = (!extend && !Empty()) ? End() : text.NextCharacter(caret_);
      break;
    case CaretMove::kWordLeft: to = text.PreviousWordStart(caret_); break;
    case CaretMove::kWordRight: to = text.NextWordStart(caret_); break;
    case CaretMove::kLineUp: to.line = caret_.line > 0 ? caret_.line - 1 : 0; break;
    case CaretMove::kLineDown: to.line = std::min(caret_.line + 1, lastLine); break;
    case CaretMove::kPageUp: to.line = caret_.line > page ? caret_.line - page : 0; break;
    case CaretMove::kPageDown: to.line = std::min(caret_.line + page, lastLine); break;
    case CaretMove::kLineStart: to.column = 0; break;
    case CaretMove::kLineEnd: to.column = text.LineLength(caret_.line); break;
    case CaretMove::kTextStart: to = {}; break;
    case CaretMove::kTextEnd: to = text.End(); break;
  }
  if (vertical) to.column = goalColumn_;
  Place(text, to, extend);
  goalKept_ = vertical;
}

void ReportSelection::SelectAll(const ReportText& text) {
  anchor_ = {};
  caret_ = text.End();
  goalKept_ = false;
}

void ReportSelection::SelectWord(const ReportText& text, TextPoint point) {
  const auto [begin, end] = text.WordAround(point);
  anchor_ = begin;
  caret_ = end;
  goalKept_ = false;
}

}  // namespace morvex
