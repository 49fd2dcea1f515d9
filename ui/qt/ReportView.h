// ReportView: the results box: draws the visible lines of the report model and turns keys, the mouse and the
// context menu into the model's caret and selection moves, copies and screen-reader answers.
#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QList>
#include <QPointer>
#include <QString>
#include <memory>
#include <string>

#include "ReportText.h"
#include "basSearch.h"

class QAction;
class QMenu;
class QTextLayout;

namespace morvex {

// Lets screen readers read the box: its role, its text, the caret and the selection. Programs call it once,
// after making their QApplication.
void InstallReportViewAccessibility();

class ReportView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit ReportView(QWidget* parent);

  // The run's report, written once with CR LF line ends; a failed run empties the box.
  void SetReport(const SearchResult& result);
  // Takes the text as the box's whole content, at the top with nothing selected.
  void SetText(std::string text);
  const ReportText& Text() const { return *text_; }
  const ReportSelection& Selection() const { return selection_; }
  // The whole content as the user would copy it (UTF-8, CR LF): the report byte for byte.
  const std::string& Report() const { return text_->Text(); }
  // The selection as Copy puts it on the clipboard: the report's bytes between its ends, line ends included.
  QString CopyOfSelection() const;

  void Select(TextPoint anchor, TextPoint caret);
  void SelectAll();
  void Copy() const;
  // The menu a right click opens: Copy, Select All and the owner's actions added here. The caller owns it.
  QMenu* CreateContextMenu();
  // The owner's commands, below the box's own; the owner enables and disables them.
  void AddMenuAction(QAction* action) { ownerActions_.push_back(action); }

  // Where a point of the viewport falls in the text, and the viewport rectangle of a place's character cell.
  TextPoint PointAtPixel(QPoint viewportPoint) const;
  QRect CharacterRect(TextPoint point) const;
  // Scrolls so that the place is on screen.
  void ShowPoint(TextPoint point);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void changeEvent(QEvent* event) override;

 private:
  // One line laid out as the box draws it: the font, the tab stops, no wrapping.
  void LayOut(QTextLayout& layout, size_t line) const;
  int VisibleLines() const;
  size_t FirstVisibleLine() const;
  void UpdateScrollRanges();
  void MeasureWidestLine();
  // After every caret or selection change: the caret on screen, a redraw, X11's primary selection and the
  // screen reader told.
  void SelectionChanged(bool showCaret);
  void RestartCaretBlink();

  // Shared with the clipboard, which may hand out a copy of an older report after the box moved on.
  std::shared_ptr<const ReportText> text_;
  ReportSelection selection_;
  int lineHeight_ = 0;
  int widestPixels_ = 0;
  bool dragging_ = false;
  QPoint dragPoint_;         // where the pointer last was during a drag, in viewport pixels
  QBasicTimer dragScroll_;   // scrolls on while a drag holds the pointer above or below the box
  bool caretOn_ = false;
  QBasicTimer caretBlink_;
  QList<QPointer<QAction>> ownerActions_;
};

}  // namespace morvex
