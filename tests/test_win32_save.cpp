// The Win32 main window's "Save report...": the system's save dialog driven by its control ids, a write that
// succeeds and one that fails, and the command greyed until there is a report and during a run.
#include <gtest/gtest.h>

#include "Win32Form.h"
// commdlg.h and dlgs.h need windows.h, which Win32Form.h brings, before them.
#include <commdlg.h>
#include <dlgs.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "TextUtil.h"
#include "frmMain.h"

namespace morvex::win32 {
namespace {

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What the timer does with each window the save opens: the dialog gets a name and a filter, a message box is
// read and closed (Yes where it asks).
struct DialogScript {
  HWND owner = nullptr;
  std::wstring fileName;
  int filterIndex = 0;  // 0-based, as the filter box counts
  bool named = false;
  std::vector<std::string> messages;  // every box's text, the overwrite question included
} script;

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM found) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (!IsWindowVisible(window) || std::wstring(name) != L"#32770") return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

void CALLBACK DriveDialogs(HWND, UINT, UINT_PTR, DWORD) {
  HWND up = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindVisibleDialog, reinterpret_cast<LPARAM>(&up));
  if (up == nullptr) return;
  if (HWND text = GetDlgItem(up, 0xFFFF)) {
    script.messages.push_back(WindowTextUtf8(text));
    PostMessageW(up, WM_COMMAND, GetDlgItem(up, IDYES) != nullptr ? IDYES : IDOK, 0);
    return;
  }
  // Wine's dialog names the file in edt1, Windows' in the combo box cmb13.
  HWND name = GetDlgItem(up, cmb13) != nullptr ? GetDlgItem(up, cmb13) : GetDlgItem(up, edt1);
  if (name == nullptr || script.named) return;
  script.named = true;
  HWND filter = GetDlgItem(up, cmb1);
  SendMessageW(filter, CB_SETCURSEL, static_cast<WPARAM>(script.filterIndex), 0);
  // Windows' dialog takes the change from CBN_SELCHANGE, Wine's from CBN_SELENDOK.
  for (const UINT notification : {CBN_SELCHANGE, CBN_SELENDOK}) {
    SendMessageW(up, WM_COMMAND, MAKEWPARAM(cmb1, static_cast<WORD>(notification)), reinterpret_cast<LPARAM>(filter));
  }
  SetWindowTextW(name, script.fileName.c_str());
  PostMessageW(up, WM_COMMAND, IDOK, 0);
}

class Win32SaveReport : public ::testing::Test {
 protected:
  void SetUp() override {
    key_ = L"Software\\MorvexTest\\" + std::to_wstring(GetCurrentProcessId()) + L"-save";
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (probe == nullptr) GTEST_SKIP() << "no display to create windows on";
    DestroyWindow(probe);
    folder_ = std::filesystem::temp_directory_path() / ("morvex-save-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(folder_);
    window_ = std::make_unique<frmMain>(
        progress_,
        [this](const std::string&, bool showAll, bool) {
          if (duringRun_) duringRun_();
          SearchResult result;
          result.showAll = showAll;
          result.findings.Add({"Kläranlage", "Übersicht", "1", "include", "pumps", "pump_h", "TEXT", "'Zulauf'"});
          return result;
        },
        [](const std::string&, const std::string& start, bool) { return start; }, key_.c_str());
    // An earlier test's window ended this thread's message loop; a modal loop would end on the same WM_QUIT.
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
  void TearDown() override {
    window_.reset();
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  // Saves through the system menu's command with the dialog driven as script says.
  void Save(const std::filesystem::path& file, int filterIndex) {
    script = {window_->Handle(), file.wstring(), filterIndex, false, {}};
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, DriveDialogs);
    SendMessageW(window_->Handle(), WM_SYSCOMMAND, frmMain::kSaveReportCommand, 0);
    KillTimer(nullptr, timer);
  }
  UINT SaveState() const {
    return GetMenuState(GetSystemMenu(window_->Handle(), FALSE), frmMain::kSaveReportCommand, MF_BYCOMMAND) &
           MF_GRAYED;
  }

  struct NoProgress : ProgressInterface {
    void Title(std::string_view) override {}
    std::string Title() const override { return {}; }
    void Show() override {}
    void Close() override {}
    bool Shown() const override { return false; }
    void SetLine(int, std::string_view) override {}
    std::string Line(int) const override { return {}; }
    void ShowPercent(int32_t) override {}
    void ProcessEvents() override {}
  } progress_;
  std::wstring key_;
  std::filesystem::path folder_;
  std::function<void()> duringRun_;
  std::unique_ptr<frmMain> window_;
};

TEST_F(Win32SaveReport, TheDialogsTextIsTheBoxsAndTheHtmlPageGoesWhereTheHtmlFilterSaysAFailureIsTold) {
  EXPECT_EQ(SaveState(), UINT{MF_GRAYED}) << "no report yet";
  UINT stateDuringRun = 0;
  duringRun_ = [&] { stateDuringRun = SaveState(); };
  PressButton(window_->Handle(), L"Start");
  EXPECT_EQ(stateDuringRun, UINT{MF_GRAYED});
  ASSERT_EQ(SaveState(), 0u);

  Save(folder_ / "found.tsv", 0);
  EXPECT_EQ(FileText(folder_ / "found.tsv"), frmMain::ReportText(window_->ResultsBox()));
  EXPECT_TRUE(script.messages.empty());

  Save(folder_ / "found", 1);
  EXPECT_NE(FileText(folder_ / "found.html").find("<html"), std::string::npos) << "the HTML filter's extension";

  // A folder in the way of the name the filter's extension makes: the save says why and leaves it.
  std::filesystem::create_directory(folder_ / "folder.tsv");
  Save(folder_ / "folder", 0);
  // Wine's dialog first asks whether to replace what has that name.
  ASSERT_FALSE(script.messages.empty());
  const std::string& told = script.messages.back();
  EXPECT_NE(told.find("could not be saved"), std::string::npos) << told;
  EXPECT_NE(told.find("a folder, not a file"), std::string::npos) << told;
  EXPECT_TRUE(std::filesystem::is_directory(folder_ / "folder.tsv"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), std::filesystem::directory_iterator()), 3)
      << "no scratch file left behind";
}

}  // namespace
}  // namespace morvex::win32
