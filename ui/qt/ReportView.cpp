// ReportView's drawing, its mapping between pixels and places, its input, copies and accessible interface.
#include "ReportView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cmath>
#include <tuple>
#include <utility>

#include "QtText.h"

namespace morvex {
namespace {

// The look of the box this one replaced: text 4 pixels in from the frame, tab stops every 80 pixels.
constexpr int kMargin = 4;
constexpr qreal kTabStopPixels = 80;
// Wide enough for any report line; the layout never wraps.
constexpr qreal kUnboundedLineWidth = 1e6;

int ToInt(size_t value) { return static_cast<int>(std::min<size_t>(value, INT_MAX)); }

// A copy as the clipboard holds it: the report and the two places, turned into bytes only when something
// pastes. Ctrl+A, Ctrl+C and X11's primary selection then cost nothing however long the report is.
class ReportCopy : public QMimeData {
 public:
  ReportCopy(std::shared_ptr<const ReportText> text, TextPoint from, TextPoint to)
      : text_(std::move(text)), from_(from), to_(to) {}

  QStringList formats() const override {
    return {QStringLiteral("text/plain;charset=utf-8"), QStringLiteral("text/plain")};
  }
  bool hasFormat(const QString& mimeType) const override { return formats().contains(mimeType); }

 protected:
  QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
    if (!hasFormat(mimeType)) return {};
    const std::string_view bytes = text_->Between(from_, to_);
    if (type.id() == QMetaType::QString) return ToQString(bytes);
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }

 private:
  std::shared_ptr<const ReportText> text_;
  TextPoint from_;
  TextPoint to_;
};

struct KeyMove {
  QKeySequence::StandardKey move;
  QKeySequence::StandardKey select;
  CaretMove caret;
};

// The platform's own bindings for each move, so the box answers the keys every other text box does.
constexpr KeyMove kKeyMoves[] = {
    {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, CaretMove::kCharacterRight},
    {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, CaretMove::kCharacterLeft},
    {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, CaretMove::kWordRight},
    {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, CaretMove::kWordLeft},
    {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, CaretMove::kLineDown},
    {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, CaretMove::kLineUp},
    {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, CaretMove::kPageDown},
    {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, CaretMove::kPageUp},
    {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, CaretMove::kLineStart},
    {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, CaretMove::kLineEnd},
    {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, CaretMove::kTextStart},
    {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, CaretMove::kTextEnd},
};

// What a screen reader sees of the box: a read-only multi-line text with a caret and one selection, read in
// UTF-16 offsets over the whole report, line ends counted as they are.
class AccessibleReportView : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit AccessibleReportView(ReportView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}
  using QAccessibleWidget::text;

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.multiLine = true;
    state.selectableText = true;
    return state;
  }

  void selection(int selectionIndex, int* startOffset, int* endOffset) const override {
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || View().Selection().Empty()) return;
    *startOffset = Offset(View().Selection().Start());
    *endOffset = Offset(View().Selection().End());
  }
  int selectionCount() const override { return View().Selection().Empty() ? 0 : 1; }
  void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
  void removeSelection(int selectionIndex) override {
    if (selectionIndex == 0) View().Select(View().Selection().Caret(), View().Selection().Caret());
  }
  void setSelection(int selectionIndex, int startOffset, int endOffset) override {
    if (selectionIndex == 0) View().Select(Point(startOffset), Point(endOffset));
  }
  int cursorPosition() const override { return Offset(View().Selection().Caret()); }
  void setCursorPosition(int position) override { View().Select(Point(position), Point(position)); }

  QString text(int startOffset, int endOffset) const override {
    return ToQString(Text().Between(Point(startOffset), Point(endOffset)));
  }
  QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* startOffset,
                       int* endOffset) const override {
    // The whole-text answer Qt would give by default converts the whole report for every question; a line,
    // a word or a character is found in its line alone.
    const ReportText& report = Text();
    const TextPoint point = Point(offset);
    TextPoint from = point;
    TextPoint to = point;
    switch (boundary) {
      case QAccessible::CharBoundary: to = report.NextCharacter(point); break;
      case QAccessible::WordBoundary: std::tie(from, to) = report.WordAround(point); break;
      case QAccessible::NoBoundary:
        from = {};
        to = report.End();
        break;
      default:  // sentence, paragraph and line are one report line, with its line end
        from = {point.line, 0};
        to = point.line + 1 < report.LineCount() ? TextPoint{point.line + 1, 0} : report.End();
        break;
    }
    *startOffset = Offset(from);
    *endOffset = Offset(to);
    return text(*startOffset, *endOffset);
  }
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int* startOffset,
                           int* endOffset) const override {
    int start = 0;
    int end = 0;
    textAtOffset(offset, boundary, &start, &end);
    if (start == 0) {
      *startOffset = *endOffset = 0;
      return {};
    }
    return textAtOffset(start - 1, boundary, startOffset, endOffset);
  }
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int* startOffset,
                          int* endOffset) const override {
    int start = 0;
    int end = 0;
    textAtOffset(offset, boundary, &start, &end);
    if (end >= characterCount()) {
      *startOffset = *endOffset = characterCount();
      return {};
    }
    return textAtOffset(end, boundary, startOffset, endOffset);
  }
  int characterCount() const override { return ToInt(Text().UnitCount()); }

  QRect characterRect(int offset) const override {
    const QRect cell = View().CharacterRect(Point(offset));
    return QRect(View().viewport()->mapToGlobal(cell.topLeft()), cell.size());
  }
  int offsetAtPoint(const QPoint& point) const override {
    const QPoint inViewport = View().viewport()->mapFromGlobal(point);
    if (!View().viewport()->rect().contains(inViewport)) return -1;
    return Offset(View().PointAtPixel(inViewport));
  }
  void scrollToSubstring(int startIndex, int endIndex) override {
    View().ShowPoint(Point(endIndex));
    View().ShowPoint(Point(startIndex));
  }
  QString attributes(int offset, int* startOffset, int* endOffset) const override {
    *startOffset = 0;
    *endOffset = characterCount();
    (void)offset;
    return {};
  }

 private:
  ReportView& View() const { return *static_cast<ReportView*>(widget()); }
  const ReportText& Text() const { return View().Text(); }
  TextPoint Point(int offset) const { return Text().PointAt(static_cast<size_t>(std::max(offset, 0))); }
  int Offset(TextPoint point) const { return ToInt(Text().OffsetOf(point)); }
};

QAccessibleInterface* AccessibleFor(const QString& className, QObject* object) {
  auto* view = qobject_cast<ReportView*>(object);
  if (view == nullptr || className != QLatin1String(ReportView::staticMetaObject.className())) return nullptr;
  return new AccessibleReportView(view);
}

}  // namespace

void InstallReportViewAccessibility() { QAccessible::installFactory(&AccessibleFor); }

ReportView::ReportView(QWidget* parent)
    : QAbstractScrollArea(parent), text_(std::make_shared<const ReportText>()) {
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  lineHeight_ = std::max(fontMetrics().height(), 1);
  UpdateScrollRanges();
}

void ReportView::SetReport(const SearchResult& result) { SetText(result.Report()); }

void ReportView::SetText(std::string text) {
  text_ = std::make_shared<const ReportText>(std::move(text));
  selection_.Reset();
  widestPixels_ = 0;
  // The horizontal range waits until the top of the report is drawn: the widest line is found by a pass over
  // the whole report, which need not hold up the first sight of it.
  QTimer::singleShot(0, this, [this, measured = std::weak_ptr<const ReportText>(text_)] {
    if (measured.lock() != text_) return;
    MeasureWidestLine();
  });
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  UpdateScrollRanges();
  viewport()->update();
  if (QAccessible::isActive()) {
    QAccessibleEvent changed(this, QAccessible::VisibleDataChanged);
    QAccessible::updateAccessibility(&changed);
    QAccessibleTextCursorEvent caret(this, 0);
    QAccessible::updateAccessibility(&caret);
  }
}

void ReportView::MeasureWidestLine() {
  // The line widest in tab columns sets the range; one that draws wider still widens it when shown.
  const QFontMetricsF metrics(font());
  const size_t tabColumns = static_cast<size_t>(std::max(1.0, kTabStopPixels / metrics.averageCharWidth()));
  QTextLayout widest;
  LayOut(widest, text_->WidestLine(tabColumns));
  widestPixels_ = std::max(widestPixels_, static_cast<int>(std::ceil(widest.lineAt(0).naturalTextWidth())));
  UpdateScrollRanges();
}

void ReportView::LayOut(QTextLayout& layout, size_t line) const {
  const std::u16string units = text_->Line(line);
  layout.setText(QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size())));
  layout.setFont(font());
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  option.setTabStopDistance(kTabStopPixels);
  layout.setTextOption(option);
  layout.beginLayout();
  QTextLine textLine = layout.createLine();
  textLine.setLineWidth(kUnboundedLineWidth);
  layout.endLayout();
}

int ReportView::VisibleLines() const { return std::max((viewport()->height() - kMargin) / lineHeight_, 1); }

size_t ReportView::FirstVisibleLine() const { return static_cast<size_t>(verticalScrollBar()->value()); }

void ReportView::UpdateScrollRanges() {
  const int visible = VisibleLines();
  QScrollBar* vertical = verticalScrollBar();
  vertical->setRange(0, std::max(ToInt(text_->LineCount()) - visible, 0));
  vertical->setPageStep(visible);
  vertical->setSingleStep(1);
  QScrollBar* horizontal = horizontalScrollBar();
  const int width = viewport()->width();
  // Room for the caret after the widest line's end.
  horizontal->setRange(0, std::max(widestPixels_ + 2 * kMargin + 1 - width, 0));
  horizontal->setPageStep(width);
  horizontal->setSingleStep(std::max(fontMetrics().averageCharWidth() * 2, 1));
}

TextPoint ReportView::PointAtPixel(QPoint viewportPoint) const {
  const int rows = viewportPoint.y() - kMargin;
  // Above the text a drag selects upwards, line by line, as below it does downwards.
  const long long row = rows >= 0 ? rows / lineHeight_ : -((-rows + lineHeight_ - 1) / lineHeight_);
  const long long line =
      std::clamp<long long>(static_cast<long long>(FirstVisibleLine()) + row, 0,
                            static_cast<long long>(text_->LineCount()) - 1);
  QTextLayout layout;
  LayOut(layout, static_cast<size_t>(line));
  const qreal x = viewportPoint.x() - kMargin + horizontalScrollBar()->value();
  const int column = layout.lineAt(0).xToCursor(x, QTextLine::CursorBetweenCharacters);
  return text_->Clamp({static_cast<size_t>(line), static_cast<size_t>(std::max(column, 0))});
}

QRect ReportView::CharacterRect(TextPoint point) const {
  point = text_->Clamp(point);
  QTextLayout layout;
  LayOut(layout, point.line);
  const QTextLine line = layout.lineAt(0);
  const qreal left = line.cursorToX(ToInt(point.column));
  const qreal right = point.column < text_->LineLength(point.line) ? line.cursorToX(ToInt(point.column) + 1)
                                                                    : left + fontMetrics().averageCharWidth();
  const long long row = static_cast<long long>(point.line) - static_cast<long long>(FirstVisibleLine());
  const int x = kMargin - horizontalScrollBar()->value() + static_cast<int>(left);
  const int y = kMargin + static_cast<int>(row) * lineHeight_;
  return QRect(x, y, std::max(static_cast<int>(right - left), 1), lineHeight_);
}

void ReportView::ShowPoint(TextPoint point) {
  point = text_->Clamp(point);
  const size_t first = FirstVisibleLine();
  const size_t visible = static_cast<size_t>(VisibleLines());
  if (point.line < first) {
    verticalScrollBar()->setValue(ToInt(point.line));
  } else if (point.line >= first + visible) {
    verticalScrollBar()->setValue(ToInt(point.line + 1 - visible));
  }
  const QRect cell = CharacterRect(point);
  const int width = viewport()->width();
  QScrollBar* horizontal = horizontalScrollBar();
  if (cell.left() < kMargin) {
    horizontal->setValue(horizontal->value() - (kMargin - cell.left()) - width / 4);
  } else if (cell.left() + 1 > width - kMargin) {
    horizontal->setValue(horizontal->value() + cell.left() + 1 - (width - kMargin) + width / 4);
  }
}

void ReportView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QPalette& colours = palette();
  const int height = viewport()->height();
  const qreal left = kMargin - horizontalScrollBar()->value();
  const TextPoint start = selection_.Start();
  const TextPoint end = selection_.End();
  const bool showCaret = caretOn_ && hasFocus();
  QTextCharFormat selected;
  selected.setBackground(colours.brush(QPalette::Highlight));
  selected.setForeground(colours.brush(QPalette::HighlightedText));
  painter.setPen(colours.color(QPalette::Text));
  int widestDrawn = widestPixels_;
  for (size_t line = FirstVisibleLine(); line < text_->LineCount(); ++line) {
    const int top = kMargin + static_cast<int>(line - FirstVisibleLine()) * lineHeight_;
    if (top >= height) break;
    QTextLayout layout;
    LayOut(layout, line);
    const QTextLine textLine = layout.lineAt(0);
    widestDrawn = std::max(widestDrawn, static_cast<int>(std::ceil(textLine.naturalTextWidth())));
    QList<QTextLayout::FormatRange> ranges;
    const bool inSelection = !selection_.Empty() && start.line <= line && line <= end.line;
    if (inSelection) {
      const int from = line == start.line ? ToInt(start.column) : 0;
      const int to = line == end.line ? ToInt(end.column) : static_cast<int>(layout.text().size());
      if (to > from) ranges.append({from, to - from, selected});
    }
    const QPointF origin(left, top);
    layout.draw(&painter, origin, ranges);
    if (inSelection && line < end.line) {
      // A selected line end shows as a blank's width of highlight after the line, as text boxes mark it.
      const qreal x = left + textLine.naturalTextWidth();
      painter.fillRect(QRectF(x, top, fontMetrics().horizontalAdvance(QLatin1Char(' ')), lineHeight_),
                       colours.brush(QPalette::Highlight));
    }
    if (showCaret && line == selection_.Caret().line) layout.drawCursor(&painter, origin, ToInt(selection_.Caret().column));
  }
  if (widestDrawn > widestPixels_) {
    widestPixels_ = widestDrawn;
    UpdateScrollRanges();
  }
}

void ReportView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollRanges();
}

void ReportView::scrollContentsBy(int, int) { viewport()->update(); }

void ReportView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() != QEvent::FontChange) return;
  // Lines and ranges are measured in the font; a new desktop or window font measures them anew.
  lineHeight_ = std::max(fontMetrics().height(), 1);
  widestPixels_ = 0;
  MeasureWidestLine();
  viewport()->update();
}

void ReportView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::SelectAll)) {
    SelectAll();
    return;
  }
  if (event->matches(QKeySequence::Copy)) {
    Copy();
    return;
  }
  for (const KeyMove& keyMove : kKeyMoves) {
    const bool extend = event->matches(keyMove.select);
    if (!extend && !event->matches(keyMove.move)) continue;
    const int page = VisibleLines();
    // A page key moves the view with the caret, so the caret keeps its row on screen.
    if (keyMove.caret == CaretMove::kPageDown) verticalScrollBar()->setValue(verticalScrollBar()->value() + page);
    if (keyMove.caret == CaretMove::kPageUp) verticalScrollBar()->setValue(verticalScrollBar()->value() - page);
    selection_.Move(*text_, keyMove.caret, extend, static_cast<size_t>(page));
    SelectionChanged(true);
    return;
  }
  // Tab, Escape and the rest belong to the window.
  event->ignore();
}

void ReportView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dragging_ = true;
  selection_.Place(*text_, PointAtPixel(event->position().toPoint()),
                   event->modifiers().testFlag(Qt::ShiftModifier));
  SelectionChanged(true);
}

void ReportView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_ || !event->buttons().testFlag(Qt::LeftButton)) return;
  dragPoint_ = event->position().toPoint();
  selection_.Place(*text_, PointAtPixel(dragPoint_), true);
  SelectionChanged(true);
  if (viewport()->rect().contains(dragPoint_)) {
    dragScroll_.stop();
  } else if (!dragScroll_.isActive()) {
    dragScroll_.start(50, this);
  }
}

void ReportView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  dragScroll_.stop();
  SelectionChanged(false);
}

void ReportView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  selection_.SelectWord(*text_, PointAtPixel(event->position().toPoint()));
  SelectionChanged(true);
}

void ReportView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = CreateContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

QMenu* ReportView::CreateContextMenu() {
  auto* menu = new QMenu(this);
  QAction* copy = menu->addAction(tr("&Copy"), this, &ReportView::Copy);
  copy->setObjectName(QStringLiteral("edit-copy"));
  copy->setShortcut(QKeySequence::Copy);
  copy->setEnabled(!selection_.Empty());
  menu->addSeparator();
  QAction* all = menu->addAction(tr("Select All"), this, &ReportView::SelectAll);
  all->setObjectName(QStringLiteral("select-all"));
  all->setShortcut(QKeySequence::SelectAll);
  all->setEnabled(text_->UnitCount() > 0);
  if (!ownerActions_.isEmpty()) menu->addSeparator();
  for (QAction* action : ownerActions_) {
    if (action != nullptr) menu->addAction(action);
  }
  return menu;
}

void ReportView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  RestartCaretBlink();
}

void ReportView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  caretBlink_.stop();
  caretOn_ = false;
  viewport()->update();
}

void ReportView::timerEvent(QTimerEvent* event) {
  if (event->timerId() == dragScroll_.timerId()) {
    // A line a tick towards the pointer: PointAtPixel reaches one line past the edge, and the caret pulls the
    // view along.
    const QPoint edge(dragPoint_.x(), std::clamp(dragPoint_.y(), -1, viewport()->height()));
    selection_.Place(*text_, PointAtPixel(edge), true);
    SelectionChanged(true);
    return;
  }
  if (event->timerId() != caretBlink_.timerId()) {
    QAbstractScrollArea::timerEvent(event);
    return;
  }
  caretOn_ = !caretOn_;
  viewport()->update(CharacterRect(selection_.Caret()).adjusted(-2, 0, 2, 0));
}

void ReportView::RestartCaretBlink() {
  caretOn_ = true;
  const int flash = QGuiApplication::styleHints()->cursorFlashTime();
  if (flash > 0 && hasFocus()) {
    caretBlink_.start(flash / 2, this);
  } else {
    caretBlink_.stop();
  }
  viewport()->update();
}

void ReportView::Select(TextPoint anchor, TextPoint caret) {
  selection_.Place(*text_, anchor, false);
  selection_.Place(*text_, caret, true);
  SelectionChanged(true);
}

void ReportView::SelectAll() {
  selection_.SelectAll(*text_);
  // The caret goes to the end, the view stays where the user is reading.
  SelectionChanged(false);
}

QString ReportView::CopyOfSelection() const { return ToQString(selection_.Selected(*text_)); }

void ReportView::Copy() const {
  if (selection_.Empty()) return;
  QGuiApplication::clipboard()->setMimeData(new ReportCopy(text_, selection_.Start(), selection_.End()),
                                            QClipboard::Clipboard);
}

void ReportView::SelectionChanged(bool showCaret) {
  if (showCaret) ShowPoint(selection_.Caret());
  RestartCaretBlink();
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!dragging_ && !selection_.Empty() && clipboard->supportsSelection()) {
    clipboard->setMimeData(new ReportCopy(text_, selection_.Start(), selection_.End()), QClipboard::Selection);
  }
  if (QAccessible::isActive()) {
    const int start = ToInt(text_->OffsetOf(selection_.Start()));
    const int end = ToInt(text_->OffsetOf(selection_.End()));
    QAccessibleTextSelectionEvent selected(this, start, end);
    selected.setCursorPosition(ToInt(text_->OffsetOf(selection_.Caret())));
    QAccessible::updateAccessibility(&selected);
  }
}

}  // namespace morvex
