// Message boxes for the search's messages, owned by the window that stands in front.
#include "MessageBoxSink.h"

#include <cstring>

#include "TextUtil.h"
#include "frmStatusBar.h"

namespace morvex::win32 {

HWND MessageBoxSink::BoxOwner() const {
  if (HWND progress = progress_.Handle(); progress != nullptr && IsWindowVisible(progress)) return progress;
  // A main window hidden by a close during the run cannot hold a box on screen.
  return (mainWindow_ != nullptr && IsWindowVisible(mainWindow_)) ? mainWindow_ : nullptr;
}

void MessageBoxSink::ShowMessage(std::string_view sMessage) {
  MessageBoxW(BoxOwner(), Utf8ToWide(sMessage).c_str(), L"Morvex", MB_OK | MB_SETFOREGROUND);
}

void MessageBoxSink::ShowMessageOfferingCopy(std::string_view sMessage, std::string_view sQuestion,
                                             const std::function<std::string()>& makeCopy) {
  // No is the default: Enter pressed out of habit must not overwrite what the user keeps on the clipboard.
  const std::wstring text = Utf8ToWide(sMessage) + L"\r\n\r\n" + Utf8ToWide(sQuestion);
  const HWND owner = BoxOwner();
  if (MessageBoxW(owner, text.c_str(), L"Morvex", MB_YESNO | MB_DEFBUTTON2 | MB_SETFOREGROUND) != IDYES) return;
  if (!PutTextOnClipboard(owner, makeCopy()))
    ShowMessage("The list could not be put on the clipboard: another program holds it, or memory ran short.");
}

HGLOBAL ClipboardUnits(std::string_view text) {
  // A whole report is tens of megabytes: well-formed UTF-8 (what the search writes) goes straight into the
  // clipboard's memory in one conversion; only text with ill-formed parts takes the core's conversion, which
  // replaces each part as the windows show it.
  const bool direct = text.size() < static_cast<size_t>(INT32_MAX) && IsValidUtf8(text);
  std::u16string converted;
  if (!direct) converted = Utf8ToUtf16(text);
  const size_t units =
      direct ? static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0))
             : converted.size();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (units + 1) * sizeof(wchar_t));
  if (memory == nullptr) return nullptr;
  auto* target = static_cast<wchar_t*>(GlobalLock(memory));
  if (target == nullptr) {
    GlobalFree(memory);
    return nullptr;
  }
  if (direct) {
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), target, static_cast<int>(units));
  } else {
    std::memcpy(target, converted.data(), units * sizeof(wchar_t));
  }
  target[units] = L'\0';
  GlobalUnlock(memory);
  return memory;
}

bool OpenClipboardPatiently(HWND owner) {
  // A few short tries cover an ordinary paste elsewhere.
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (OpenClipboard(owner) != FALSE) return true;
    Sleep(20);
  }
  return false;
}

bool PutTextOnClipboard(HWND owner, std::string_view text) {
  HGLOBAL memory = ClipboardUnits(text);
  if (memory == nullptr) return false;
  if (!OpenClipboardPatiently(owner)) {
    GlobalFree(memory);
    return false;
  }
  EmptyClipboard();
  const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  CloseClipboard();
  if (!placed) GlobalFree(memory);  // only memory the clipboard took is the clipboard's to free
  return placed;
}

}  // namespace morvex::win32
