// frmMain: the Win32 main window: the folder box, the two search options, Start, Browse and the results box.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "ProgressInterface.h"
#include "RegistrySettings.h"
#include "ReportView.h"
#include "SavedReport.h"
#include "Win32Form.h"
#include "basSearch.h"
#include "frmPageServer.h"

namespace morvex::win32 {

class frmMain {
 public:
  using SearchRunner = std::function<SearchResult(const std::string&, bool, bool)>;
  using FolderBrowser = std::function<std::string(const std::string&, const std::string&, bool)>;

  // progress is the application's progress object: the window cancels a run through it when it closes.
  // settingsKey is the registry key under HKEY_CURRENT_USER that holds the three settings.
  frmMain(ProgressInterface& progress, SearchRunner runSearch, FolderBrowser browseFolder,
          const wchar_t* settingsKey = kSettingsKey);
  ~frmMain();
  frmMain(const frmMain&) = delete;
  frmMain& operator=(const frmMain&) = delete;

  HWND Handle() const { return window_; }
  HWND ResultsBox() const { return txtFound_; }
  // The line beside the results box's caption that says when the report is not the whole site's.
  HWND RunNote() const { return lblRunNote_; }
  void Show(int showCommand);
  // What the page server dialog's Test runs; without it the dialog's Test button is disabled.
  void SetPageServerTest(frmPageServer::ServerTest testServer) { testServer_ = std::move(testServer); }

  // The system menu's own commands, below the system's 0xF000 and with the low four bits clear.
  static constexpr UINT kPageServerCommand = 0x0010;
  static constexpr UINT kAboutCommand = 0x0020;
  // Also in the results box's context menu, which sends it here.
  static constexpr UINT kSaveReportCommand = ReportView::kSaveReportCommand;

  // The report into the results box with its CR LF line ends, shown from its top, and the box's text back, as
  // UTF-8: the bytes a copy of everything gives.
  static void SetReportText(HWND box, const SearchResult& result);
  static std::string ReportText(HWND box);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void createWindow();
  void createControls();
  void createToolTips();
  void layOut();
  void onDpiChanged(int dpi, LPARAM suggestedFrame);
  void loadSettings();
  void saveSettings() const;
  void setCaptionFromVersion();
  void onSearchClicked();
  void showReport(const SearchResult& result);
  void onBrowseClicked();
  void onClose();
  void onPageServerCommand();
  void onAboutCommand();
  void onSaveReportCommand();
  static int CheckValue(HWND checkBox);
  static void SetCheckValue(HWND checkBox, int value);

  ProgressInterface& progress_;
  SearchRunner runSearch_;
  FolderBrowser browseFolder_;
  frmPageServer::ServerTest testServer_;
  const wchar_t* settingsKey_;
  int dpi_ = 96;
  HFONT font_ = nullptr;
  HWND window_ = nullptr;
  HWND Label1_ = nullptr;
  HWND txtUserPath_ = nullptr;
  HWND cmdBrowse_ = nullptr;
  HWND chkShowAllInstances_ = nullptr;
  HWND chkIgnoreBuiltInProjects_ = nullptr;
  HWND cmdSearch_ = nullptr;
  HWND Label3_ = nullptr;
  HWND lblRunNote_ = nullptr;
  HWND txtFound_ = nullptr;
  HWND toolTips_ = nullptr;
  HWND lastFocus_ = nullptr;
  bool runInProgress_ = false;
  bool closedDuringRun_ = false;
  SavedRun lastRun_;  // what Save report... saves
};

}  // namespace morvex::win32
