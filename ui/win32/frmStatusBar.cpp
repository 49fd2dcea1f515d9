// The Win32 progress window: three status lines, the percentage bar drawn with R2_NOTXORPEN, and Cancel.
#include "frmStatusBar.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "ControlAccessible.h"

namespace morvex::win32 {

namespace {

constexpr wchar_t kClassName[] = L"MorvexStatusBar";
constexpr int kCancelId = 100;
constexpr int kLinesTimer = 1;
constexpr int kBarBorder = 2;             // the sunken border's width on each side
constexpr int kBarScaleWidth = 100;       // horizontal units across the inner width
constexpr int kBarScaleHeight = 195;      // vertical units are twips
const char* const kDesignLines[3] = {"Operation in progress...", "", ""};

// The form in twips. The lines may run on to the frame's inner edge: with a desktop font wider than the
// design's, the found-count line would otherwise lose its last letters. They clip rather than wrap, since a
// wrapped second row would show its tops under the first.
constexpr int kClientWidth = 4680;
constexpr int kClientHeight = 1680;
constexpr TwipRect kLinePlaces[3] = {{120, 120, kClientWidth - 120 - 15, 255},
                                     {120, 360, kClientWidth - 120 - 15, 255},
                                     {120, 600, kClientWidth - 120 - 15, 255}};
constexpr TwipRect kBarPlace{120, 840, 4455, 255};
constexpr TwipRect kCancelPlace{1800, 1200, 1095, 375};
// The widest first line a run writes: the form grows to show it whole where the desktop's font is wider than
// the design's (Wine has no MS Sans Serif), and stays at its design width where the design's font is there.
constexpr wchar_t kWidestFirstLine[] = L"Searching for reserved Tarvo keywords...9999999 found.";

int RoundHalfEven(double value) { return static_cast<int>(std::nearbyint(value)); }

}  // namespace

frmStatusBar::frmStatusBar() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  RegisterClassExW(&windowClass);
  for (size_t index = 0; index < lines_.size(); ++index) lines_[index] = kDesignLines[index];
}

frmStatusBar::~frmStatusBar() { destroyWindow(); }

void frmStatusBar::Show() {
  if (window_ != nullptr) return;
  for (size_t index = 0; index < lines_.size(); ++index) lines_[index] = kDesignLines[index];
  shownPercent_ = kNothingShown;
  createWindow();
  Title("Morvex");
  CentreOnScreen(window_);
  ShowWindow(window_, SW_SHOWNOACTIVATE);
  // In front of every window that is not topmost, other programs' included, without taking the focus.
  SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  UpdateWindow(window_);
}

void frmStatusBar::Close() { destroyWindow(); }

void frmStatusBar::createWindow() {
  dpi_ = SystemDpi();
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_CONTROLPARENT;
  RECT frame{0, 0, TwipsToPixels(kClientWidth, dpi_), TwipsToPixels(kClientHeight, dpi_)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  window_ = CreateWindowExW(exStyle, kClassName, L"Progress", style, 0, 0, frame.right - frame.left,
                            frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  createControls();
  RegisterDialogWindow(window_);
}

void frmStatusBar::createControls() {
  for (HWND& line : lblProgress_) line = CreateChild(window_, L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0);
  // The drawing box comes before Cancel in the tab order, yet only Cancel takes the focus.
  picStatusBar_ = CreateChild(window_, L"STATIC", L"", SS_OWNERDRAW, 0, WS_EX_CLIENTEDGE);
  cmdCancel_ = CreateChild(window_, L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, kCancelId);
  // The drawing says nothing to a screen reader: the box is a progress bar whose text, never drawn, is the
  // percentage.
  for (HWND line : lblProgress_) AnswerScreenReaders(line, kLabelFacts);
  AnswerScreenReaders(picStatusBar_, {ROLE_SYSTEM_PROGRESSBAR, AccessibleName::kFixed, L"Progress", true, true});
  AnswerScreenReaders(cmdCancel_, kPushButtonFacts);
  layOut();
  fitFrameToLines();
  showLines();
}

// Every control at its twip rectangle at dpi_, the fonts at that size, and the bar's picture to match, with
// the percentage shown so far drawn again.
void frmStatusBar::layOut() {
  HFONT oldFont = font_;
  HFONT oldBarFont = barFont_;
  font_ = CreateDialogFont(dpi_);
  barFont_ = CreateBarFont(dpi_);
  const int designWidth = TwipsToPixels(kClientWidth, dpi_);
  const int lineWidth = TwipsToPixels(kLinePlaces[0].width, dpi_);
  const int growth = std::max(0, TextWidth(lblProgress_[0], font_, kWidestFirstLine) - lineWidth);
  clientWidth_ = designWidth + growth;
  const auto widen = [growth](HWND control) {
    RECT place{};
    GetWindowRect(control, &place);
    SetWindowPos(control, nullptr, 0, 0, place.right - place.left + growth, place.bottom - place.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  };
  for (size_t index = 0; index < lblProgress_.size(); ++index) {
    PlaceChild(lblProgress_[index], kLinePlaces[index], dpi_, font_);
    widen(lblProgress_[index]);
  }
  PlaceChild(picStatusBar_, kBarPlace, dpi_, font_);
  widen(picStatusBar_);
  PlaceChild(cmdCancel_, kCancelPlace, dpi_, font_);
  // Cancel stays in the middle of the wider form.
  SetWindowPos(cmdCancel_, nullptr, TwipsToPixels(kCancelPlace.left, dpi_) + growth / 2,
               TwipsToPixels(kCancelPlace.top, dpi_), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (oldFont != nullptr) DeleteObject(oldFont);
  if (oldBarFont != nullptr) DeleteObject(oldBarFont);
  deleteBarPicture();
  createBarPicture();
  if (shownPercent_ != kNothingShown) DrawBar(barDc_, barWidth_, barHeight_, barFont_, shownPercent_);
}

// The bar's picture at the drawing box's size in pixels, white until the first percentage.
void frmStatusBar::createBarPicture() {
  RECT inner{};
  GetClientRect(picStatusBar_, &inner);
  barWidth_ = inner.right;
  barHeight_ = inner.bottom;
  HDC screen = GetDC(picStatusBar_);
  barDc_ = CreateCompatibleDC(screen);
  barBitmap_ = CreateCompatibleBitmap(screen, barWidth_, barHeight_);
  ReleaseDC(picStatusBar_, screen);
  barOldBitmap_ = SelectObject(barDc_, barBitmap_);
  RECT all{0, 0, barWidth_, barHeight_};
  FillRect(barDc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void frmStatusBar::deleteBarPicture() {
  if (barDc_ == nullptr) return;
  SelectObject(barDc_, barOldBitmap_);
  DeleteObject(barBitmap_);
  DeleteDC(barDc_);
  barDc_ = nullptr;
  barBitmap_ = nullptr;
}

// Moved onto a screen of another DPI: the same form in twips, the frame where the system suggests, made
// wider if the first line needs it at that DPI.
void frmStatusBar::onDpiChanged(int dpi, LPARAM suggestedFrame) {
  dpi_ = dpi;
  layOut();
  MoveToSuggestedFrame(window_, suggestedFrame);
  fitFrameToLines();
  InvalidateRect(picStatusBar_, nullptr, FALSE);
}

// The frame's width for a client area of clientWidth_ pixels, where layOut put the controls.
void frmStatusBar::fitFrameToLines() {
  RECT client{};
  GetClientRect(window_, &client);
  if (client.right >= clientWidth_) return;
  RECT frame{};
  GetWindowRect(window_, &frame);
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left + clientWidth_ - client.right,
               frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmStatusBar::destroyWindow() {
  if (window_ == nullptr) return;
  HWND window = window_;
  window_ = nullptr;
  UnregisterDialogWindow(window);
  DestroyWindow(window);
  deleteBarPicture();
  DeleteObject(font_);
  DeleteObject(barFont_);
  font_ = barFont_ = nullptr;
  lblProgress_ = {};
  picStatusBar_ = cmdCancel_ = nullptr;
  linesPending_ = false;
  pumpedAt_.reset();  // the next window's first look is not put off either
}

void frmStatusBar::Title(std::string_view sTitle) {
  if (window_ != nullptr) SetWindowTextUtf8(window_, sTitle);
}

std::string frmStatusBar::Title() const { return window_ != nullptr ? WindowTextUtf8(window_) : std::string(); }

void frmStatusBar::SetLine(int index, std::string_view sText) {
  lines_[static_cast<size_t>(index)] = sText;
  if (window_ == nullptr) return;
  if (GetTickCount64() - linesShownAt_ >= kLineFrameMs) {
    showLines();
  } else if (!linesPending_) {
    // Fires inside a later Update, or in the main loop once the run has returned.
    linesPending_ = true;
    SetTimer(window_, kLinesTimer, static_cast<UINT>(kLineFrameMs), nullptr);
  }
}

std::string frmStatusBar::Line(int index) const { return lines_[static_cast<size_t>(index)]; }

void frmStatusBar::showLines() {
  if (window_ == nullptr) return;
  if (linesPending_) KillTimer(window_, kLinesTimer);
  linesPending_ = false;
  for (size_t index = 0; index < lines_.size(); ++index) SetWindowTextUtf8(lblProgress_[index], lines_[index]);
  linesShownAt_ = GetTickCount64();
}

void frmStatusBar::DrawBar(HDC dc, int width, int height, HFONT font, int32_t nPercent) {
  RECT all{0, 0, width, height};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const double unitsPerPixelX = static_cast<double>(kBarScaleWidth) / width;
  const double unitsPerPixelY = static_cast<double>(kBarScaleHeight) / height;
  const std::wstring label = std::to_wstring(nPercent) + L"%";

  HGDIOBJ oldFont = SelectObject(dc, font);
  SIZE extent{};
  GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &extent);
  // Placement is worked out in the box's scale units and only then turned into pixels.
  const int x = RoundHalfEven(kBarScaleWidth - extent.cx * unitsPerPixelX) / 2;
  const int y = RoundHalfEven(kBarScaleHeight - extent.cy * unitsPerPixelY) / 2;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 255));
  TextOutW(dc, RoundHalfEven(x / unitsPerPixelX), RoundHalfEven(y / unitsPerPixelY), label.c_str(),
           static_cast<int>(label.size()));
  SelectObject(dc, oldFont);

  const int barPixels = RoundHalfEven(nPercent / unitsPerPixelX);
  if (barPixels > 0) {
    // NOT(blue XOR pixel): white under the bar turns blue and blue text turns white.
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ oldBrush = SelectObject(dc, blue);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    const int oldRop = SetROP2(dc, R2_NOTXORPEN);
    // Without a pen a rectangle fills one pixel short on the right and bottom.
    Rectangle(dc, 0, 0, barPixels + 1, height + 1);
    SetROP2(dc, oldRop);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(blue);
  }
}

void frmStatusBar::ShowPercent(int32_t nPercent) {
  // Called once per page, but the picture changes at most 101 times.
  if (window_ == nullptr || nPercent == shownPercent_) return;
  shownPercent_ = nPercent;
  SetWindowTextW(picStatusBar_, (std::to_wstring(nPercent) + L"%").c_str());
  DrawBar(barDc_, barWidth_, barHeight_, barFont_, nPercent);
  // The run does not return to the message loop: the new state goes on screen now.
  HDC dc = GetDC(picStatusBar_);
  paintBar(dc);
  ReleaseDC(picStatusBar_, dc);
}

void frmStatusBar::paintBar(HDC dc) const { BitBlt(dc, 0, 0, barWidth_, barHeight_, barDc_, 0, 0, SRCCOPY); }

void frmStatusBar::ProcessEvents() {
  const auto now = std::chrono::steady_clock::now();
  if (pumpedAt_ && now - *pumpedAt_ < kPumpInterval) return;
  pumpedAt_ = now;
  const bool outer = processingRunEvents_;
  processingRunEvents_ = true;
  PumpPendingMessages();
  processingRunEvents_ = outer;
}

LRESULT CALLBACK frmStatusBar::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  frmStatusBar* self = FormOfWindow<frmStatusBar>(window, message, lParam);
  return self != nullptr ? self->handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT frmStatusBar::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kCancelId && HIWORD(wParam) == BN_CLICKED) PressCancel();
      return 0;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->hwndItem == picStatusBar_) paintBar(item->hDC);
      return TRUE;
    }
    case WM_TIMER:
      if (wParam == kLinesTimer) showLines();
      return 0;
    case WM_DPICHANGED:
      onDpiChanged(DpiOfChange(wParam), lParam);
      return 0;
    case WM_SIZE:
      // Any later size change keeps the window in front, as the first show did.
      SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
      break;
    case WM_CLOSE:
      if (processingRunEvents_) {
        // The run owns this window and closes it itself; a user who closes it wants the run to stop.
        PressCancel();
      } else {
        // No run is going: this is the window a failed run left up, and only the user can close it now.
        destroyWindow();
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace morvex::win32
