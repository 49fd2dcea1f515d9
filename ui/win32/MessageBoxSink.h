// The search's messages as MessageBoxW boxes, OK or Yes/No for an offer to copy, captioned "Morvex", in front of
// the progress window.
#pragma once

#include "MessageSink.h"
#include "Win32Form.h"

namespace morvex::win32 {

class frmStatusBar;

// Replaces the clipboard's content with text (UTF-8) as CF_UNICODETEXT; false when the clipboard could not be
// had or the memory not found.
bool PutTextOnClipboard(HWND owner, std::string_view text);
// Opens the clipboard for owner; another program may hold it for a moment, so a few short tries are made
// before giving up.
bool OpenClipboardPatiently(HWND owner);
// The text as CF_UNICODETEXT's movable memory, for SetClipboardData; none when memory ran short.
HGLOBAL ClipboardUnits(std::string_view text);

class MessageBoxSink : public MessageSink {
 public:
  // The main window owns the boxes, except while the topmost progress window is up: a box owned by any
  // other window would sit behind it, and the user would face a hidden modal box and a dead Cancel.
  MessageBoxSink(HWND mainWindow, const frmStatusBar& progress) : mainWindow_(mainWindow), progress_(progress) {}
  void SetMainWindow(HWND mainWindow) { mainWindow_ = mainWindow; }

  void ShowMessage(std::string_view sMessage) override;
  // Yes puts the text on the clipboard as Unicode text; No, the default, leaves the clipboard alone.
  void ShowMessageOfferingCopy(std::string_view sMessage, std::string_view sQuestion,
                               const std::function<std::string()>& makeCopy) override;
  HWND BoxOwner() const;

 private:
  HWND mainWindow_;
  const frmStatusBar& progress_;
};

}  // namespace morvex::win32
