// The search's messages as MessageBoxW boxes, OK only, captioned "Morvex", in front of the progress window.
#pragma once

#include "MessageSink.h"
#include "Win32Form.h"

namespace morvex::win32 {

class frmStatusBar;

class MessageBoxSink : public MessageSink {
 public:
  // The main window owns the boxes, except while the topmost progress window is up: a box owned by any
  // other window would sit behind it, and the user would face a hidden modal box and a dead Cancel.
  MessageBoxSink(HWND mainWindow, const frmStatusBar& progress) : mainWindow_(mainWindow), progress_(progress) {}
  void SetMainWindow(HWND mainWindow) { mainWindow_ = mainWindow; }

  void ShowMessage(std::string_view sMessage) override;
  HWND BoxOwner() const;

 private:
  HWND mainWindow_;
  const frmStatusBar& progress_;
};

}  // namespace morvex::win32
