// Twips, fonts, centring, wide text and the message pump that both Win32 windows use.
#include "Win32Form.h"

#include <algorithm>
#include <vector>

#include "TextUtil.h"

namespace morvex::win32 {

namespace {

std::vector<HWND>& DialogWindows() {
  static std::vector<HWND> windows;
  return windows;
}

int CALLBACK NoteFontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FontInstalled(const wchar_t* face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &wanted, NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

}  // namespace

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

HFONT CreateDialogFont(int dpi, bool bBold) {
  LOGFONTW font{};
  if (FontInstalled(L"MS Sans Serif")) {
    lstrcpynW(font.lfFaceName, L"MS Sans Serif", LF_FACESIZE);
    font.lfCharSet = DEFAULT_CHARSET;
  } else {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    font = metrics.lfMessageFont;
  }
  font.lfHeight = -MulDiv(8, dpi, 72);
  font.lfWidth = 0;
  font.lfWeight = bBold ? FW_BOLD : FW_NORMAL;
  return CreateFontIndirectW(&font);
}

HFONT CreateBarFont(int dpi) {
  LOGFONTW font{};
  font.lfHeight = -MulDiv(825, dpi, 7200);
  font.lfWeight = 700;
  font.lfCharSet = ANSI_CHARSET;
  font.lfQuality = NONANTIALIASED_QUALITY;
  lstrcpynW(font.lfFaceName, L"MS Sans Serif", LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

int TextWidth(HWND control, HFONT font, std::wstring_view text) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return extent.cx;
}

void CentreOnScreen(HWND window) {
  RECT frame{};
  GetWindowRect(window, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string WindowTextUtf8(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return WideToUtf8(text);
}

void SetWindowTextUtf8(HWND window, std::string_view text) { SetWindowTextW(window, Utf8ToWide(text).c_str()); }

HWND CreateChild(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int id, DWORD exStyle) {
  return CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

void PlaceChild(HWND child, TwipRect place, int dpi, HFONT font) {
  SetWindowPos(child, nullptr, TwipsToPixels(place.left, dpi), TwipsToPixels(place.top, dpi),
               TwipsToPixels(place.width, dpi), TwipsToPixels(place.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void PressButton(HWND form, const wchar_t* caption) {
  HWND button = FindWindowExW(form, nullptr, L"BUTTON", caption);
  SendMessageW(form, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

int DpiOfChange(WPARAM wParam) {
  const int dpi = HIWORD(wParam);
  return dpi > 0 ? dpi : 96;
}

void MoveToSuggestedFrame(HWND window, LPARAM lParam) {
  const RECT* frame = reinterpret_cast<const RECT*>(lParam);
  if (frame == nullptr) return;
  SetWindowPos(window, nullptr, frame->left, frame->top, frame->right - frame->left, frame->bottom - frame->top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void RegisterDialogWindow(HWND window) { DialogWindows().push_back(window); }

void UnregisterDialogWindow(HWND window) {
  auto& windows = DialogWindows();
  windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
}

void DispatchWithDialogKeys(MSG& message) {
  for (HWND window : DialogWindows()) {
    if (IsWindow(window) && (window == message.hwnd || IsChild(window, message.hwnd)) && IsDialogMessageW(window, &message)) return;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

bool PumpPendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The outer loop ends the program; the run below this call must finish first.
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    DispatchWithDialogKeys(message);
  }
  return true;
}

}  // namespace morvex::win32
