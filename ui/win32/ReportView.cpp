// The results box's window: scrolling, drawing the lines in view, mouse and keys, the clipboard and the edit
// box's messages, all over ReportText and ReportSelection.
#include "ReportView.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "ControlAccessible.h"
#include "MessageBoxSink.h"
#include "ReportText.h"
#include "TextUtil.h"

namespace morvex::win32 {

namespace {

// TabbedTextOut's own default, which the edit box used: a stop every eight average character widths.
constexpr size_t kTabColumns = 8;
constexpr UINT_PTR kDragScrollTimer = 1;
constexpr UINT kDragScrollMilliseconds = 50;
enum MenuCommand : UINT { kCopyCommand = 1, kSelectAllCommand, kSaveReportCommand };

struct ViewState {
  HWND window = nullptr;
  ReportText text;
  ReportSelection selection;
  HFONT font = nullptr;
  int lineHeight = 16;
  int tabWidth = 56;
  int margin = 2;
  size_t widestLine = 0;  // in characters, with tabs run on to their stops
  int contentWidth = 0;  // the widest line and both margins, in pixels
  size_t topLine = 0;
  int leftPixel = 0;
  int wheelRest = 0;  // what a high-resolution wheel turned short of one notch
  int horizontalWheelRest = 0;
  bool focused = false;
  bool dragging = false;
  // What the last copy put on the clipboard, turned into the clipboard's UTF-16 only when a program pastes it.
  std::string copied;
};

ViewState* StateOf(HWND window) { return reinterpret_cast<ViewState*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

// A DC of the view with its font selected, for measuring outside WM_PAINT.
class MeasuringDc {
 public:
  explicit MeasuringDc(const ViewState& view) : window_(view.window), dc_(GetDC(view.window)) {
    old_ = SelectObject(dc_, view.font != nullptr ? static_cast<HGDIOBJ>(view.font) : GetStockObject(DEFAULT_GUI_FONT));
  }
  ~MeasuringDc() {
    SelectObject(dc_, old_);
    ReleaseDC(window_, dc_);
  }
  MeasuringDc(const MeasuringDc&) = delete;
  MeasuringDc& operator=(const MeasuringDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
  HGDIOBJ old_;
};

// Where each column of the line starts, from the line's left edge: one entry per column and one for its end.
// Tabs run on to the next stop; each run between tabs is measured in one call.
std::vector<int> ColumnPositions(HDC dc, std::u16string_view line, int tabWidth) {
  std::vector<int> positions(line.size() + 1, 0);
  std::vector<int> extents;
  int x = 0;
  for (size_t at = 0; at < line.size();) {
    if (line[at] == u'\t') {
      x = (x / tabWidth + 1) * tabWidth;
      positions[++at] = x;
      continue;
    }
    const size_t runEnd = std::min(line.find(u'\t', at), line.size());
    const int count = static_cast<int>(runEnd - at);
    extents.resize(static_cast<size_t>(count));
    SIZE size{};
    GetTextExtentExPointW(dc, reinterpret_cast<const wchar_t*>(line.data() + at), count, 0, nullptr,
                          extents.data(), &size);
    for (int i = 0; i < count; ++i) positions[at + static_cast<size_t>(i) + 1] = x + extents[static_cast<size_t>(i)];
    x += size.cx;
    at = runEnd;
  }
  return positions;
}

size_t VisibleLines(const ViewState& view) {
  RECT client{};
  GetClientRect(view.window, &client);
  return std::max<size_t>(1, static_cast<size_t>(client.bottom / std::max(view.lineHeight, 1)));
}

int ClientWidth(const ViewState& view) {
  RECT client{};
  GetClientRect(view.window, &client);
  return client.right;
}

size_t LastTopLine(const ViewState& view) {
  const size_t visible = VisibleLines(view);
  return view.text.LineCount() > visible ? view.text.LineCount() - visible : 0;
}

int LastLeftPixel(const ViewState& view) { return std::max(0, view.contentWidth - ClientWidth(view)); }

void UpdateScrollBars(const ViewState& view) {
  // Both bars stay, disabled while everything fits, as the edit box's did.
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
  info.nMax = static_cast<int>(std::min<size_t>(view.text.LineCount(), INT32_MAX)) - 1;
  info.nPage = static_cast<UINT>(VisibleLines(view));
  info.nPos = static_cast<int>(view.topLine);
  SetScrollInfo(view.window, SB_VERT, &info, TRUE);
  info.nMax = std::max(view.contentWidth - 1, 0);
  info.nPage = static_cast<UINT>(ClientWidth(view));
  info.nPos = view.leftPixel;
  SetScrollInfo(view.window, SB_HORZ, &info, TRUE);
}

void PlaceCaret(const ViewState& view) {
  if (!view.focused) return;
  const TextPoint caret = view.selection.Caret();
  MeasuringDc dc(view);
  const std::u16string line = view.text.Line(caret.line);
  const int x = ColumnPositions(dc.Get(), line, view.tabWidth)[caret.column];
  const long long row = static_cast<long long>(caret.line) - static_cast<long long>(view.topLine);
  // A caret scrolled out of view is parked outside the client area, where it does not show.
  const int y = (row < 0 || row > static_cast<long long>(VisibleLines(view)) + 1)
                    ? -10 * view.lineHeight
                    : static_cast<int>(row) * view.lineHeight;
  SetCaretPos(view.margin + x - view.leftPixel, y);
}

void ScrollTo(ViewState& view, size_t topLine, int leftPixel) {
  topLine = std::min(topLine, LastTopLine(view));
  leftPixel = std::clamp(leftPixel, 0, LastLeftPixel(view));
  if (topLine == view.topLine && leftPixel == view.leftPixel) return;
  view.topLine = topLine;
  view.leftPixel = leftPixel;
  UpdateScrollBars(view);
  InvalidateRect(view.window, nullptr, FALSE);
  PlaceCaret(view);
}

void ScrollCaretIntoView(ViewState& view) {
  const TextPoint caret = view.selection.Caret();
  const size_t visible = VisibleLines(view);
  size_t top = view.topLine;
  if (caret.line < top) top = caret.line;
  if (caret.line >= top + visible) top = caret.line + 1 - visible;
  MeasuringDc dc(view);
  const int x = ColumnPositions(dc.Get(), view.text.Line(caret.line), view.tabWidth)[caret.column];
  const int width = ClientWidth(view) - 2 * view.margin;
  int left = view.leftPixel;
  // Like the edit box, jump a quarter of the width rather than creep a character at a time.
  if (x < left) left = std::max(0, x - width / 4);
  if (x > left + width) left = x - width * 3 / 4;
  ScrollTo(view, top, left);
}

void SelectionChanged(ViewState& view) {
  InvalidateRect(view.window, nullptr, FALSE);
  PlaceCaret(view);
  NotifyWinEvent(EVENT_OBJECT_TEXTSELECTIONCHANGED, view.window, OBJID_CLIENT, CHILDID_SELF);
}

void MeasureFont(ViewState& view) {
  MeasuringDc dc(view);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc.Get(), &metrics);
  view.lineHeight = std::max(1, static_cast<int>(metrics.tmHeight));
  view.tabWidth = std::max(1, static_cast<int>(kTabColumns) * static_cast<int>(metrics.tmAveCharWidth));
  view.margin = std::max(1, static_cast<int>(metrics.tmAveCharWidth) / 3);
  // Measured by the widest line in characters, with room for the caret after it and a proportional font's slack.
  const std::u16string widest = view.text.Line(view.widestLine);
  view.contentWidth = ColumnPositions(dc.Get(), widest, view.tabWidth).back() + 2 * view.margin +
                      2 * static_cast<int>(metrics.tmAveCharWidth);
}

// The place under a point of the client area, the nearest boundary between two characters; a point above or
// below the view gives the line just outside it, so a drag there scrolls.
TextPoint PlaceAt(const ViewState& view, POINT point) {
  long long line = static_cast<long long>(view.topLine) + (point.y >= 0 ? point.y / view.lineHeight : -1);
  line = std::clamp<long long>(line, 0, static_cast<long long>(view.text.LineCount()) - 1);
  MeasuringDc dc(view);
  const std::u16string text = view.text.Line(static_cast<size_t>(line));
  const std::vector<int> positions = ColumnPositions(dc.Get(), text, view.tabWidth);
  const int x = point.x - view.margin + view.leftPixel;
  size_t column = 0;
  while (column < text.size() && x > (positions[column] + positions[column + 1]) / 2) ++column;
  return view.text.Clamp({static_cast<size_t>(line), column});
}

void DrawLine(const ViewState& view, HDC dc, size_t lineIndex, int y) {
  const std::u16string line = view.text.Line(lineIndex);
  const std::vector<int> positions = ColumnPositions(dc, line, view.tabWidth);
  const int origin = view.margin - view.leftPixel;
  size_t selectedFrom = 0, selectedTo = 0;
  const TextPoint start = view.selection.Start(), end = view.selection.End();
  if (!view.selection.Empty() && start.line <= lineIndex && lineIndex <= end.line) {
    selectedFrom = start.line == lineIndex ? start.column : 0;
    selectedTo = end.line == lineIndex ? end.column : line.size();
  }
  // An edit box keeps an unfocused selection in grey, so the focused box is the one that stands out.
  const COLORREF highlight = GetSysColor(view.focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
  const COLORREF highlightText = GetSysColor(view.focused ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
  if (selectedFrom < selectedTo) {
    RECT band{origin + positions[selectedFrom], y, origin + positions[selectedTo], y + view.lineHeight};
    SetBkColor(dc, highlight);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &band, nullptr, 0, nullptr);
  }
  // Runs between tabs and selection edges, each in its own colour.
  const wchar_t* units = reinterpret_cast<const wchar_t*>(line.data());
  for (size_t at = 0; at < line.size();) {
    if (line[at] == u'\t') {
      ++at;
      continue;
    }
    size_t runEnd = std::min(line.find(u'\t', at), line.size());
    if (at < selectedFrom) runEnd = std::min(runEnd, selectedFrom);
    else if (at < selectedTo) runEnd = std::min(runEnd, selectedTo);
    const bool selected = at >= selectedFrom && at < selectedTo;
    SetTextColor(dc, selected ? highlightText : GetSysColor(COLOR_WINDOWTEXT));
    ExtTextOutW(dc, origin + positions[at], y, 0, nullptr, units + at, static_cast<UINT>(runEnd - at), nullptr);
    at = runEnd;
  }
}

void Paint(const ViewState& view) {
  PAINTSTRUCT paint{};
  HDC screen = BeginPaint(view.window, &paint);
  RECT client{};
  GetClientRect(view.window, &client);
  // Drawn off screen and put up whole: scrolling repaints everything and must not flicker.
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1));
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  HGDIOBJ oldFont = SelectObject(dc, view.font != nullptr ? static_cast<HGDIOBJ>(view.font) : GetStockObject(DEFAULT_GUI_FONT));
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  SetBkMode(dc, TRANSPARENT);
  const size_t last = std::min(view.text.LineCount(), view.topLine + VisibleLines(view) + 1);
  for (size_t line = view.topLine; line < last; ++line) {
    DrawLine(view, dc, line, static_cast<int>(line - view.topLine) * view.lineHeight);
  }
  BitBlt(screen, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  EndPaint(view.window, &paint);
}

// A whole dense report is tens of megabytes of UTF-16, which takes the clipboard most of a second to take in
// (under Wine, longer): the copy promises the text and keeps its bytes, and the conversion waits for a paste.
void Copy(ViewState& view) {
  if (view.selection.Empty()) return;
  if (!OpenClipboardPatiently(view.window)) {
    MessageBeep(MB_ICONWARNING);
    return;
  }
  EmptyClipboard();  // sends WM_DESTROYCLIPBOARD for an earlier copy of ours, which clears copied
  view.copied = view.selection.Selected(view.text);
  SetClipboardData(CF_UNICODETEXT, nullptr);
  CloseClipboard();
}

// WM_RENDERFORMAT's answer: the promised text into the clipboard, which is open for it already.
void RenderCopy(const ViewState& view) {
  HGLOBAL memory = ClipboardUnits(view.copied);
  if (memory != nullptr && SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
}

void SelectAll(ViewState& view) {
  view.selection.SelectAll(view.text);
  SelectionChanged(view);
}

bool KeyHeld(int key) { return (GetKeyState(key) & 0x8000) != 0; }

bool OnKeyDown(ViewState& view, WPARAM key) {
  const bool control = KeyHeld(VK_CONTROL);
  const bool shift = KeyHeld(VK_SHIFT);
  if (control && key == 'A') {
    SelectAll(view);
    return true;
  }
  if (control && (key == 'C' || key == VK_INSERT)) {
    Copy(view);
    return true;
  }
  CaretMove move{};
  switch (key) {
    case VK_LEFT: move = control ? CaretMove::kWordLeft : CaretMove::kCharacterLeft; break;
    case VK_RIGHT: move = control ? CaretMove::kWordRight : CaretMove::kCharacterRight; break;
    case VK_UP: move = CaretMove::kLineUp; break;
    case VK_DOWN: move = CaretMove::kLineDown; break;
    case VK_PRIOR: move = CaretMove::kPageUp; break;
    case VK_NEXT: move = CaretMove::kPageDown; break;
    case VK_HOME: move = control ? CaretMove::kTextStart : CaretMove::kLineStart; break;
    case VK_END: move = control ? CaretMove::kTextEnd : CaretMove::kLineEnd; break;
    default: return false;
  }
  const size_t page = VisibleLines(view);
  // A page key moves the view by a page as well, so the caret keeps its row on the screen.
  const size_t caretRow = view.selection.Caret().line >= view.topLine ? view.selection.Caret().line - view.topLine : 0;
  view.selection.Move(view.text, move, shift, page);
  if (move == CaretMove::kPageUp || move == CaretMove::kPageDown) {
    const size_t line = view.selection.Caret().line;
    ScrollTo(view, line >= caretRow ? line - caretRow : 0, view.leftPixel);
  }
  ScrollCaretIntoView(view);
  SelectionChanged(view);
  return true;
}

void OnScroll(ViewState& view, int bar, WPARAM request) {
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL;
  GetScrollInfo(view.window, bar, &info);
  const bool vertical = bar == SB_VERT;
  const long long line = vertical ? 1 : std::max(1, view.tabWidth / 8);
  const long long page = std::max<long long>(1, static_cast<long long>(info.nPage) - (vertical ? 1 : 0));
  long long position = info.nPos;
  switch (LOWORD(request)) {
    case SB_LINEUP: position -= line; break;
    case SB_LINEDOWN: position += line; break;
    case SB_PAGEUP: position -= page; break;
    case SB_PAGEDOWN: position += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: position = info.nTrackPos; break;  // 32 bits, unlike the message's own 16
    case SB_TOP: position = 0; break;
    case SB_BOTTOM: position = info.nMax; break;
    default: return;
  }
  position = std::max<long long>(position, 0);
  if (vertical) ScrollTo(view, static_cast<size_t>(position), view.leftPixel);
  else ScrollTo(view, view.topLine, static_cast<int>(std::min<long long>(position, INT32_MAX)));
}

void OnWheel(ViewState& view, int delta, bool horizontal) {
  int& rest = horizontal ? view.horizontalWheelRest : view.wheelRest;
  rest += delta;
  const int notches = rest / WHEEL_DELTA;
  rest %= WHEEL_DELTA;
  if (notches == 0) return;
  UINT amount = 3;
  SystemParametersInfoW(horizontal ? SPI_GETWHEELSCROLLCHARS : SPI_GETWHEELSCROLLLINES, 0, &amount, 0);
  if (horizontal) {
    ScrollTo(view, view.topLine, view.leftPixel + notches * static_cast<int>(amount) * std::max(1, view.tabWidth / 8));
    return;
  }
  const long long lines = amount == WHEEL_PAGESCROLL ? static_cast<long long>(VisibleLines(view)) : amount;
  const long long top = static_cast<long long>(view.topLine) - notches * lines;  // a turn away from the user is up
  ScrollTo(view, static_cast<size_t>(std::max<long long>(top, 0)), view.leftPixel);
}

void OnMouse(ViewState& view, UINT message, POINT point) {
  switch (message) {
    case WM_LBUTTONDOWN:
      SetFocus(view.window);
      view.selection.Place(view.text, PlaceAt(view, point), KeyHeld(VK_SHIFT));
      view.dragging = true;
      SetCapture(view.window);
      SetTimer(view.window, kDragScrollTimer, kDragScrollMilliseconds, nullptr);
      break;
    case WM_LBUTTONDBLCLK:
      view.selection.SelectWord(view.text, PlaceAt(view, point));
      break;
    case WM_MOUSEMOVE:
      if (!view.dragging) return;
      view.selection.Place(view.text, PlaceAt(view, point), true);
      break;
    default:
      return;
  }
  ScrollCaretIntoView(view);
  SelectionChanged(view);
}

void EndDrag(ViewState& view) {
  if (!view.dragging) return;
  view.dragging = false;
  KillTimer(view.window, kDragScrollTimer);
  if (GetCapture() == view.window) ReleaseCapture();
}

// While the button is held outside the box, the view keeps scrolling towards the pointer.
void OnDragTimer(ViewState& view) {
  POINT point{};
  GetCursorPos(&point);
  ScreenToClient(view.window, &point);
  RECT client{};
  GetClientRect(view.window, &client);
  if (PtInRect(&client, point)) return;
  OnMouse(view, WM_MOUSEMOVE, point);
}

void OnContextMenu(ViewState& view, LPARAM where) {
  SetFocus(view.window);
  POINT point{static_cast<short>(LOWORD(where)), static_cast<short>(HIWORD(where))};
  if (where == -1) {
    // From the keyboard: at the caret.
    GetCaretPos(&point);
    point.y += view.lineHeight;
    ClientToScreen(view.window, &point);
  }
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING | (view.selection.Empty() ? MF_GRAYED : 0), kCopyCommand, L"&Copy\tCtrl+C");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kSelectAllCommand, L"Select &All\tCtrl+A");
  // The owner's save command, greyed as its system menu has it, so a run greys both alike.
  HWND owner = GetParent(view.window);
  const UINT saveState = GetMenuState(GetSystemMenu(owner, FALSE), ReportView::kSaveReportCommand, MF_BYCOMMAND);
  if (saveState != static_cast<UINT>(-1)) {
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | (saveState & MF_GRAYED), kSaveReportCommand, L"&Save report...");
  }
  const UINT chosen = static_cast<UINT>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, point.x, point.y, 0, view.window, nullptr));
  DestroyMenu(menu);
  if (chosen == kCopyCommand) Copy(view);
  if (chosen == kSelectAllCommand) SelectAll(view);
  if (chosen == kSaveReportCommand) SendMessageW(owner, WM_SYSCOMMAND, ReportView::kSaveReportCommand, 0);
}

// WM_GETTEXT's and EM_GETLINE's copy: at most room units of the text, cut before a split surrogate pair.
size_t CopyUnits(std::u16string_view units, wchar_t* target, size_t room) {
  size_t count = std::min(units.size(), room);
  if (count > 0 && count < units.size() && units[count - 1] >= 0xD800 && units[count - 1] <= 0xDBFF) --count;
  std::copy_n(units.data(), count, reinterpret_cast<char16_t*>(target));
  return count;
}

// The edit box's messages that read the text and the selection, in UTF-16 offsets over the whole text.
bool OnEditMessage(ViewState& view, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  const ReportText& text = view.text;
  const auto lineOf = [&](WPARAM offset) {
    return static_cast<SSIZE_T>(offset) < 0 ? view.selection.Start().line : text.PointAt(offset).line;
  };
  switch (message) {
    case WM_GETTEXTLENGTH: result = static_cast<LRESULT>(text.UnitCount()); return true;
    case WM_GETTEXT: {
      if (wParam == 0 || lParam == 0) {
        result = 0;
        return true;
      }
      auto* target = reinterpret_cast<wchar_t*>(lParam);
      const std::u16string units = Utf8ToUtf16(text.Between({}, text.PointAt(wParam - 1)));
      const size_t count = CopyUnits(units, target, wParam - 1);
      target[count] = L'\0';
      result = static_cast<LRESULT>(count);
      return true;
    }
    case WM_SETTEXT:
      ReportView::SetReport(view.window, lParam != 0 ? WideToUtf8(reinterpret_cast<const wchar_t*>(lParam)) : "");
      result = TRUE;
      return true;
    case EM_GETSEL: {
      const size_t start = text.OffsetOf(view.selection.Start()), end = text.OffsetOf(view.selection.End());
      if (wParam != 0) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(start);
      if (lParam != 0) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(end);
      result = (start > 0xFFFF || end > 0xFFFF) ? -1 : static_cast<LRESULT>(MAKELONG(start, end));
      return true;
    }
    case EM_SETSEL: {
      const auto from = static_cast<SSIZE_T>(wParam), to = static_cast<SSIZE_T>(lParam);
      if (from < 0) {
        view.selection.Place(text, view.selection.Caret(), false);
      } else {
        view.selection.Place(text, text.PointAt(static_cast<size_t>(from)), false);
        view.selection.Place(text, to < 0 ? text.End() : text.PointAt(static_cast<size_t>(to)), true);
      }
      SelectionChanged(view);
      result = 1;
      return true;
    }
    case EM_SCROLLCARET: ScrollCaretIntoView(view); result = 1; return true;
    case EM_GETLINECOUNT: result = static_cast<LRESULT>(text.LineCount()); return true;
    case EM_LINEFROMCHAR: result = static_cast<LRESULT>(lineOf(wParam)); return true;
    case EM_LINEINDEX: {
      const size_t line = static_cast<SSIZE_T>(wParam) < 0 ? view.selection.Caret().line : wParam;
      result = line < text.LineCount() ? static_cast<LRESULT>(text.OffsetOf({line, 0})) : -1;
      return true;
    }
    case EM_LINELENGTH: result = static_cast<LRESULT>(text.LineLength(lineOf(wParam))); return true;
    case EM_GETLINE: {
      auto* target = reinterpret_cast<wchar_t*>(lParam);
      const size_t room = target != nullptr ? *reinterpret_cast<const WORD*>(target) : 0;
      result = static_cast<LRESULT>(CopyUnits(text.Line(wParam), target, room));
      return true;
    }
    case EM_GETFIRSTVISIBLELINE: result = static_cast<LRESULT>(view.topLine); return true;
    case EM_LINESCROLL: {
      const long long top = static_cast<long long>(view.topLine) + static_cast<LONG>(lParam);
      ScrollTo(view, static_cast<size_t>(std::max<long long>(top, 0)),
               view.leftPixel + static_cast<int>(static_cast<SSIZE_T>(wParam)) * std::max(1, view.tabWidth / 8));
      result = TRUE;
      return true;
    }
    case EM_POSFROMCHAR: {
      const TextPoint point = text.PointAt(wParam);
      MeasuringDc dc(view);
      const int x = view.margin - view.leftPixel +
                    ColumnPositions(dc.Get(), text.Line(point.line), view.tabWidth)[point.column];
      const long long y = (static_cast<long long>(point.line) - static_cast<long long>(view.topLine)) * view.lineHeight;
      result = MAKELONG(static_cast<short>(x), static_cast<short>(std::clamp<long long>(y, -32768, 32767)));
      return true;
    }
    case EM_CHARFROMPOS: {
      const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      const TextPoint place = PlaceAt(view, point);
      result = MAKELONG(text.OffsetOf(place) & 0xFFFF, place.line & 0xFFFF);
      return true;
    }
    case EM_GETRECT: {
      auto* rect = reinterpret_cast<RECT*>(lParam);
      GetClientRect(view.window, rect);
      rect->left += view.margin;
      rect->right -= view.margin;
      result = 0;
      return true;
    }
    case EM_GETMODIFY:
    case EM_CANUNDO: result = FALSE; return true;
    case WM_COPY: Copy(view); result = 0; return true;
    default: return false;
  }
}

LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* created = new ViewState;
    created->window = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
  }
  ViewState* view = StateOf(window);
  if (view == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    delete view;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  if (LRESULT result = 0; OnEditMessage(*view, message, wParam, lParam, result)) return result;
  switch (message) {
    case WM_PAINT: Paint(*view); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SIZE:
      // A larger box can show more: the top line and the left edge may have to come back.
      UpdateScrollBars(*view);
      ScrollTo(*view, view->topLine, view->leftPixel);
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_SETFONT:
      view->font = reinterpret_cast<HFONT>(wParam);
      MeasureFont(*view);
      UpdateScrollBars(*view);
      if (view->focused) {
        CreateCaret(window, nullptr, 1, view->lineHeight);
        ShowCaret(window);
        PlaceCaret(*view);
      }
      if (LOWORD(lParam) != 0) InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(view->font);
    case WM_SETFOCUS:
      view->focused = true;
      CreateCaret(window, nullptr, 1, view->lineHeight);
      PlaceCaret(*view);
      ShowCaret(window);
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_KILLFOCUS:
      view->focused = false;
      EndDrag(*view);
      DestroyCaret();
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_GETDLGCODE: {
      // Every key but Tab and Escape is the box's own (Return too, which would otherwise press a default button):
      // those two walk the form and close nothing, as in every other control of the form.
      LRESULT wanted = DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_HASSETSEL;
      const MSG* key = reinterpret_cast<const MSG*>(lParam);
      if (key != nullptr && key->message == WM_KEYDOWN && key->wParam != VK_TAB && key->wParam != VK_ESCAPE) {
        wanted |= DLGC_WANTMESSAGE;
      }
      return wanted;
    }
    case WM_KEYDOWN:
      if (OnKeyDown(*view, wParam)) return 0;
      break;
    case WM_CHAR: return 0;  // read-only: typed characters, Ctrl+A's and Ctrl+C's included, go nowhere
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
      OnMouse(*view, message, POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      EndDrag(*view);
      return 0;
    case WM_TIMER:
      if (wParam == kDragScrollTimer) OnDragTimer(*view);
      return 0;
    case WM_MOUSEWHEEL: OnWheel(*view, GET_WHEEL_DELTA_WPARAM(wParam), false); return 0;
    case WM_MOUSEHWHEEL: OnWheel(*view, -GET_WHEEL_DELTA_WPARAM(wParam), true); return TRUE;
    case WM_VSCROLL: OnScroll(*view, SB_VERT, wParam); return 0;
    case WM_HSCROLL: OnScroll(*view, SB_HORZ, wParam); return 0;
    case WM_CONTEXTMENU: OnContextMenu(*view, lParam); return 0;
    case WM_RENDERFORMAT:
      if (wParam == CF_UNICODETEXT) RenderCopy(*view);
      return 0;
    case WM_RENDERALLFORMATS:
      // The box goes while its copy is still promised: the text goes onto the clipboard now.
      if (OpenClipboard(window)) {
        if (GetClipboardOwner() == window) RenderCopy(*view);
        CloseClipboard();
      }
      return 0;
    case WM_DESTROYCLIPBOARD:
      view->copied = std::string();
      return 0;
    case WM_GETOBJECT:
      if (static_cast<LONG>(lParam) == OBJID_CLIENT) {
        // A read-only text named by the label before it, with the report as its value.
        const AccessibleFacts facts{ROLE_SYSTEM_TEXT, AccessibleName::kLabelBefore, L"", true, true};
        if (const LRESULT reference = AnswerAccessibleObject(window, wParam, facts); reference != 0) return reference;
      }
      break;
    default: break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void ReportView::Register() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  if (GetClassInfoExW(GetModuleHandleW(nullptr), kClassName, &windowClass)) return;
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = ViewProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
  windowClass.lpszClassName = kClassName;
  RegisterClassExW(&windowClass);
}

ReportView::Prepared ReportView::Prepare(std::string text) {
  Prepared prepared{ReportText(std::move(text)), 0};
  prepared.widestLine = prepared.text.WidestLine(kTabColumns);
  return prepared;
}

void ReportView::Show(HWND window, Prepared report) {
  ViewState* view = StateOf(window);
  if (view == nullptr) return;
  view->text = std::move(report.text);
  view->widestLine = report.widestLine;
  view->selection.Reset();
  view->topLine = 0;
  view->leftPixel = 0;
  MeasureFont(*view);
  UpdateScrollBars(*view);
  InvalidateRect(window, nullptr, FALSE);
  PlaceCaret(*view);
  NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, window, OBJID_CLIENT, CHILDID_SELF);
}

void ReportView::SetReport(HWND window, std::string text) { Show(window, Prepare(std::move(text))); }

const std::string& ReportView::Report(HWND window) {
  static const std::string none;
  const ViewState* view = StateOf(window);
  return view != nullptr ? view->text.Text() : none;
}

}  // namespace morvex::win32
