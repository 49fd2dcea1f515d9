// Message boxes for the search's messages, owned by the window that stands in front.
#include "MessageBoxSink.h"

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

}  // namespace morvex::win32
