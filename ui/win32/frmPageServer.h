// frmPageServer: the dialog, opened from the main window's system menu, that chooses the page server runs use.
#pragma once

#include <functional>
#include <string>

#include "Win32Form.h"

namespace morvex::win32 {

class frmPageServer {
 public:
  // Creates the named server (empty: ours) as a run would and says in one line what came of it.
  using ServerTest = std::function<std::string(const std::string& classIdentifier)>;

  // The dialog over owner, showing the PageServer value under HKEY_CURRENT_USER\settingsKey; OK writes it.
  frmPageServer(HWND owner, const wchar_t* settingsKey, ServerTest testServer);
  ~frmPageServer();
  frmPageServer(const frmPageServer&) = delete;
  frmPageServer& operator=(const frmPageServer&) = delete;

  HWND Handle() const { return window_; }
  // Shows the dialog with its owner disabled until OK, Cancel, Escape or the close box ends it; true after OK.
  bool RunModal();
  bool Accepted() const { return accepted_; }

  // The server a PageServer value names, as the dialog and About say it.
  static std::string Describe(const std::string& classIdentifier);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void createControls(const std::string& inUse);
  void layOut();
  void onChoiceChanged();
  std::string chosenIdentifier() const;
  bool refusedEmptyChoice();
  void onTest();
  void onOk();
  void end();

  HWND owner_;
  const wchar_t* settingsKey_;
  ServerTest testServer_;
  int dpi_ = 96;
  HFONT font_ = nullptr;
  HWND window_ = nullptr;
  HWND lblInUse_ = nullptr;
  HWND optOurServer_ = nullptr;
  HWND optClass_ = nullptr;
  HWND txtClass_ = nullptr;
  HWND cmdTest_ = nullptr;
  HWND lblOutcome_ = nullptr;
  HWND cmdOk_ = nullptr;
  HWND cmdCancel_ = nullptr;
  bool accepted_ = false;
};

}  // namespace morvex::win32
