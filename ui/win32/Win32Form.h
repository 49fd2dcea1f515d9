// What the Win32 windows share about their forms: twips at a DPI, the dialog font, centring, wide text.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>

namespace morvex::win32 {

// The forms were laid out in twips (1/1440 inch); a pixel count is taken at the DPI the window is drawn at.
constexpr int TwipsToPixels(int twips, int dpi) { return (twips * dpi + 720) / 1440; }

// A control's place on its form, in twips from the form's client area.
struct TwipRect {
  int left, top, width, height;
};

// The DPI the whole desktop was set to when the program started; a form is first laid out at this DPI and
// again at a screen's own when it is moved onto a screen of another DPI.
int SystemDpi();

// The design's 8-point dialog font at dpi, or the system's message font where the design's is not installed.
HFONT CreateDialogFont(int dpi, bool bBold = false);

// The design's bar font: 8.25-point bold, drawn without smoothing so the not-XOR bar turns its pixels cleanly.
HFONT CreateBarFont(int dpi);

// The width in pixels of text drawn in font on control's screen.
int TextWidth(HWND control, HFONT font, std::wstring_view text);

// Places a top-level window so that its outer frame sits in the middle of the primary screen.
void CentreOnScreen(HWND window);

// The window's text in UTF-8, and UTF-8 text into it; the core speaks UTF-8, the window system UTF-16.
std::string WindowTextUtf8(HWND window);
void SetWindowTextUtf8(HWND window, std::string_view text);

// A child window, created in tab order and laid out afterwards: PlaceChild puts it at its twip rectangle with
// the dialog font, when the form is made and again at each DPI the form is shown at.
HWND CreateChild(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int id, DWORD exStyle = 0);
void PlaceChild(HWND child, TwipRect place, int dpi, HFONT font);

// Presses the form's button with this caption the way the button itself reports a click.
void PressButton(HWND form, const wchar_t* caption);

// WM_DPICHANGED's new DPI and the frame the system suggests for it.
int DpiOfChange(WPARAM wParam);
void MoveToSuggestedFrame(HWND window, LPARAM lParam);

// The window's own pending messages and those of the whole thread, with dialog keys for the given windows.
// Returns false when WM_QUIT was taken from the queue (it is put back for the outer loop).
bool PumpPendingMessages();
// One message through the thread's dialog windows; for the main loop and for PumpPendingMessages.
void DispatchWithDialogKeys(MSG& message);
// Windows whose keyboard navigation (Tab, arrow keys, mnemonic keys) IsDialogMessage should run.
void RegisterDialogWindow(HWND window);
void UnregisterDialogWindow(HWND window);

// The form a window belongs to, for a form class's window procedure: the form's pointer comes as
// CreateWindowEx's parameter with WM_NCCREATE and stays in the window's user data. None for the messages before
// that, nor once the form has let go of its window.
template <typename Form>
Form* FormOfWindow(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return form != nullptr && form->Handle() == window ? form : nullptr;
}

}  // namespace morvex::win32
