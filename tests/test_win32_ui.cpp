// The Win32 windows' parts that are not drawing: twips at two DPIs, registry settings, the report's line
// ends, the keys of the main window, the results box's keys, mouse, menu and screen-reader object, the page
// server dialog.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Win32Form.h"
// shlobj.h needs windows.h, which Win32Form.h brings, before it.
#include <shlobj.h>
#include <oleacc.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ComPageServer.h"
#include "MessageBoxSink.h"
#include "RegistrySettings.h"
#include "TextUtil.h"
#include "basBrowseFolder.h"
#include "basSearch.h"
#include "frmMain.h"
#include "frmPageServer.h"
#include "frmStatusBar.h"

namespace morvex::win32 {
namespace {

TEST(Win32Twips, FormsScaleWithTheDpiTheyAreShownAt) {
  // The main window's client area and the progress bar's box, as the user sees them at 100 % and 150 %.
  EXPECT_EQ(TwipsToPixels(8400, 96), 560);
  EXPECT_EQ(TwipsToPixels(7080, 96), 472);
  EXPECT_EQ(TwipsToPixels(4455, 96), 297);
  EXPECT_EQ(TwipsToPixels(8400, 144), 840);
  EXPECT_EQ(TwipsToPixels(7080, 144), 708);
  EXPECT_EQ(TwipsToPixels(4680, 144), 468);
  // A twip count that is no whole pixel rounds to the nearer one: 255 twips are 25.5 pixels at 144 dpi.
  EXPECT_EQ(TwipsToPixels(255, 144), 26);
  EXPECT_EQ(TwipsToPixels(195, 96), 13);
  // Adjacent controls stay adjacent: the results box's right edge meets the buttons' right edge.
  for (int dpi : {96, 120, 144, 192}) {
    EXPECT_EQ(TwipsToPixels(240, dpi) + TwipsToPixels(7935, dpi), TwipsToPixels(7080, dpi) + TwipsToPixels(1095, dpi))
        << dpi;
  }
}

// A key of the test's own under HKEY_CURRENT_USER, removed again afterwards.
class Win32Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    key_ = L"Software\\MorvexTest\\" + std::to_wstring(GetCurrentProcessId()) + L"\\Settings";
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\MorvexTest\\" + std::to_wstring(GetCurrentProcessId())).c_str());
  }
  void Store(const wchar_t* name, const std::wstring& text) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key_.c_str(), name, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  DWORD TypeOf(const wchar_t* name) {
    DWORD type = REG_NONE;
    RegGetValueW(HKEY_CURRENT_USER, key_.c_str(), name, RRF_RT_ANY, &type, nullptr, nullptr);
    return type;
  }
  std::wstring key_;
};

TEST_F(Win32Settings, FirstStartHasAnEmptyPathAndBothBoxesTicked) {
  const MainSettings settings = LoadSettings(HKEY_CURRENT_USER, key_.c_str());
  EXPECT_EQ(settings.userPath, "");
  EXPECT_EQ(settings.showInstances, 1);
  EXPECT_EQ(settings.ignoreBuiltIn, 1);
}

TEST_F(Win32Settings, WhatIsWrittenOnCloseComesBackAtTheNextStartAsStrings) {
  MainSettings written;
  // A trailing blank, letters outside every ANSI code page, and more than MAX_PATH characters.
  written.userPath = "C:\\Anlagen\\Kläranlage \xE6\xB0\xB4 " + std::string(300, 'x') + " ";
  written.showInstances = 0;
  written.ignoreBuiltIn = 2;
  SaveSettings(written, HKEY_CURRENT_USER, key_.c_str());

  const MainSettings read = LoadSettings(HKEY_CURRENT_USER, key_.c_str());
  EXPECT_EQ(read.userPath, written.userPath);
  EXPECT_EQ(read.showInstances, 0);
  EXPECT_EQ(read.ignoreBuiltIn, 2);
  // An earlier tool of the same name reads them as strings.
  for (const wchar_t* name : {L"UserPath", L"ShowInstances", L"IgnoreBuiltInProjects"}) EXPECT_EQ(TypeOf(name), REG_SZ);
  wchar_t text[8] = {};
  DWORD bytes = sizeof(text);
  RegGetValueW(HKEY_CURRENT_USER, key_.c_str(), L"ShowInstances", RRF_RT_REG_SZ, nullptr, text, &bytes);
  EXPECT_STREQ(text, L"0");
}

TEST_F(Win32Settings, AStoredValueOfTheWrongTypeOrOutOfRangeLoadsAsTheDefault) {
  const DWORD zero = 0;
  RegSetKeyValueW(HKEY_CURRENT_USER, key_.c_str(), L"ShowInstances", REG_DWORD, &zero, sizeof(zero));
  RegSetKeyValueW(HKEY_CURRENT_USER, key_.c_str(), L"UserPath", REG_DWORD, &zero, sizeof(zero));
  Store(L"IgnoreBuiltInProjects", L"3");
  MainSettings read = LoadSettings(HKEY_CURRENT_USER, key_.c_str());
  EXPECT_EQ(read.userPath, "");
  EXPECT_EQ(read.showInstances, 1);
  EXPECT_EQ(read.ignoreBuiltIn, 1);

  Store(L"ShowInstances", L" 0 ");
  Store(L"IgnoreBuiltInProjects", L"2");
  read = LoadSettings(HKEY_CURRENT_USER, key_.c_str());
  EXPECT_EQ(read.showInstances, 0);
  EXPECT_EQ(read.ignoreBuiltIn, 2);

  // An expandable string is another type too: neither expanded nor taken as it stands.
  for (const auto& [name, text] :
       {std::pair{L"UserPath", L"%TEMP%\\Site"}, std::pair{L"ShowInstances", L"0"}}) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key_.c_str(), name, REG_EXPAND_SZ, text,
                    static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
  }
  read = LoadSettings(HKEY_CURRENT_USER, key_.c_str());
  EXPECT_EQ(read.userPath, "");
  EXPECT_EQ(read.showInstances, 1);
}

TEST_F(Win32Settings, ThePageServerIsTheStoredTextAndOursWhenMissingOrOfAnotherType) {
  EXPECT_EQ(LoadPageServerSetting(HKEY_CURRENT_USER, key_.c_str()), "");
  Store(L"PageServer", L"Company.Server");
  EXPECT_EQ(LoadPageServerSetting(HKEY_CURRENT_USER, key_.c_str()), "Company.Server");
  const DWORD one = 1;
  RegSetKeyValueW(HKEY_CURRENT_USER, key_.c_str(), L"PageServer", REG_DWORD, &one, sizeof(one));
  EXPECT_EQ(LoadPageServerSetting(HKEY_CURRENT_USER, key_.c_str()), "");
  // Closing the window keeps the three settings it shows and leaves the server's name alone.
  Store(L"PageServer", L"{C6CF7C41-FEB0-421C-8072-3ADC907440C7}");
  SaveSettings(MainSettings{}, HKEY_CURRENT_USER, key_.c_str());
  EXPECT_EQ(LoadPageServerSetting(HKEY_CURRENT_USER, key_.c_str()), "{C6CF7C41-FEB0-421C-8072-3ADC907440C7}");
}

TEST(Win32SettingConversion, OnlyWholeNumbersFromZeroToTwoAreCheckBoxValues) {
  EXPECT_EQ(CheckValueFromSetting(L"0"), 0);
  EXPECT_EQ(CheckValueFromSetting(L"2"), 2);
  EXPECT_EQ(CheckValueFromSetting(L"1.5"), 2);  // halves go to the even neighbour
  EXPECT_EQ(CheckValueFromSetting(L"0.5"), 0);
  for (const wchar_t* stored : {L"", L"abc", L"-1", L"3", L"70000", L"1e9", L"nan", L"0x"}) {
    EXPECT_EQ(CheckValueFromSetting(stored), 1) << WideToUtf8(stored);
  }
}

// What the folder browser hands back for the item the user confirmed.
TEST(Win32FolderBrowser, AChosenFolderComesBackWholeWhateverItsLettersAndNoneForAVirtualItem) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0U);
  // A folder outside the ANSI code page, and below it a chain up to MAX_PATH: Wine's shell cuts longer paths
  // short (Windows' own does not), so the chain stops there.
  std::vector<std::wstring> made{std::wstring(temp) + L"morvex-browse-" + std::to_wstring(GetCurrentProcessId())};
  made.push_back(made.back() + L"\\Anlage \u00c4rger \u65e5\u672c");
  while (made.back().size() + 10 < MAX_PATH) made.push_back(made.back() + L"\\" + std::wstring(9, L'x'));
  for (const std::wstring& folder : made) {
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    PIDLIST_ABSOLUTE item = nullptr;
    ASSERT_EQ(SHParseDisplayName(folder.c_str(), nullptr, &item, 0, nullptr), S_OK) << WideToUtf8(folder);
    EXPECT_EQ(basBrowseFolder::PathOfItem(item), std::optional<std::string>(WideToUtf8(folder)));
    CoTaskMemFree(item);
  }
  PIDLIST_ABSOLUTE item = nullptr;
  // A drive root keeps its backslash.
  ASSERT_EQ(SHParseDisplayName(L"C:\\", nullptr, &item, 0, nullptr), S_OK);
  EXPECT_EQ(basBrowseFolder::PathOfItem(item), std::optional<std::string>("C:\\"));
  CoTaskMemFree(item);
  // "Computer" is a shell item without a file-system path.
  PIDLIST_ABSOLUTE computer = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer), S_OK);
  EXPECT_EQ(basBrowseFolder::PathOfItem(computer), std::nullopt);
  CoTaskMemFree(computer);

  for (auto folder = made.rbegin(); folder != made.rend(); ++folder) RemoveDirectoryW(folder->c_str());
}

SearchResult ResultWithLines(int count) {
  SearchResult result;
  for (int line = 0; line < count; ++line) {
    const std::string number = std::to_string(line);
    result.findings.Add({"Kläranlage", "Übersicht", number, "include", "pumps", "pump_h", "TEXT", "'Zulauf'"});
  }
  return result;
}

std::wstring ClipboardText(HWND owner) {
  std::wstring text;
  if (!OpenClipboard(owner)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

// The results box needs a window station with a display; without one (Wine with no X server) it is skipped.
class Win32MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    key_ = L"Software\\MorvexTest\\" + std::to_wstring(GetCurrentProcessId()) + L"-box";
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (probe == nullptr) GTEST_SKIP() << "no display to create windows on";
    DestroyWindow(probe);
    window_ = std::make_unique<frmMain>(
        progress_,
        [this](const std::string&, bool, bool) {
          ++runs_;
          return SearchResult{};
        },
        [](const std::string&, const std::string& start, bool) { return start; }, key_.c_str());
  }
  void TearDown() override {
    window_.reset();
    // The main window's end posts the quit that ends the program; left in the queue, it would stop the next
    // test's message pumps before they reach its timers and paints.
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
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
  int runs_ = 0;
  std::unique_ptr<frmMain> window_;
};

TEST_F(Win32MainWindow, ALongReportFitsWholeAndShowsItsTop) {
  const SearchResult result = ResultWithLines(20000);  // about 1 MB of text, more than the edit box's old 64 KB
  HWND box = window_->ResultsBox();
  SendMessageW(box, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  frmMain::SetReportText(box, result);
  EXPECT_TRUE(frmMain::ReportText(box) == result.Report());
  EXPECT_EQ(SendMessageW(box, EM_GETLINECOUNT, 0, 0), 20002);  // header, findings, and the empty last line
  EXPECT_EQ(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  EXPECT_EQ(static_cast<size_t>(GetWindowTextLengthW(box)), Utf8ToWide(result.Report()).size());
}

TEST_F(Win32MainWindow, BothTitleBarsShowTheProgramsIcon) {
  // The class icon is the program's icon 1; this test program carries the same resources as morvex.exe.
  EXPECT_NE(GetClassLongPtrW(window_->Handle(), GCLP_HICON), 0);
  frmStatusBar progress;
  progress.Show();
  EXPECT_NE(GetClassLongPtrW(progress.Handle(), GCLP_HICON), 0);
  progress.Close();
}

// A control's rectangle in its window's client area.
RECT PlaceOf(HWND control) {
  RECT place{};
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
  return place;
}

int FontHeightOf(HWND control) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
  return font.lfHeight;
}

// WM_DPICHANGED as the system sends it when a window moves onto a screen of another DPI.
void MoveToDpi(HWND window, int dpi, RECT frame) {
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
}

TEST_F(Win32MainWindow, OnAScreenOfAnotherDpiTheFormKeepsItsSizeInTwips) {
  HWND window = window_->Handle();
  HWND box = window_->ResultsBox();
  const int dpi = SystemDpi();
  const RECT before = PlaceOf(box);
  EXPECT_EQ(before.left, TwipsToPixels(240, dpi));
  EXPECT_EQ(before.right - before.left, TwipsToPixels(7935, dpi));

  const RECT suggested{100, 50, 1000, 900};
  MoveToDpi(window, 2 * dpi, suggested);
  const RECT twice = PlaceOf(box);
  EXPECT_EQ(twice.left, TwipsToPixels(240, 2 * dpi));
  EXPECT_EQ(twice.top, TwipsToPixels(1560, 2 * dpi));
  EXPECT_EQ(twice.right - twice.left, TwipsToPixels(7935, 2 * dpi));
  EXPECT_EQ(twice.bottom - twice.top, TwipsToPixels(5295, 2 * dpi));
  EXPECT_EQ(FontHeightOf(box), -MulDiv(8, 2 * dpi, 72));
  RECT frame{};
  GetWindowRect(window, &frame);
  EXPECT_TRUE(EqualRect(&frame, &suggested));

  MoveToDpi(window, dpi, before);
  const RECT after = PlaceOf(box);
  EXPECT_TRUE(EqualRect(&after, &before));
  EXPECT_EQ(FontHeightOf(box), -MulDiv(8, dpi, 72));
}

TEST_F(Win32MainWindow, TheProgressWindowRedrawsItsBarAtTheNewDpi) {
  frmStatusBar progress;
  progress.Show();
  bool cancel = false;
  progress.Update(51, cancel);
  HWND window = progress.Handle();
  const int dpi = SystemDpi();
  MoveToDpi(window, 2 * dpi, RECT{0, 0, 1000, 400});
  // The bar's box is twice as wide and the picture follows it: the bar still ends half way across.
  HWND bar = nullptr;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_OWNERDRAW) bar = child;
  }
  ASSERT_NE(bar, nullptr);
  RECT inner{};
  GetClientRect(bar, &inner);
  const RECT place = PlaceOf(bar);
  // Where the first line made the form wider than its design, the bar grew by as much.
  const RECT firstLine = PlaceOf(GetWindow(window, GW_CHILD));
  EXPECT_EQ(place.right - place.left,
            TwipsToPixels(4455, 2 * dpi) + firstLine.right - firstLine.left - TwipsToPixels(4545, 2 * dpi));
  UpdateWindow(window);
  HDC dc = GetDC(bar);
  EXPECT_EQ(GetPixel(dc, inner.right * 51 / 100 - 3, 1), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, inner.right * 51 / 100 + 3, 1), RGB(255, 255, 255));
  ReleaseDC(bar, dc);
  progress.Close();
}

TEST_F(Win32MainWindow, TheProgressWindowsFirstLineFitsWithASevenDigitCountAtEachDpi) {
  frmStatusBar progress;
  progress.Show();
  HWND window = progress.Handle();
  HWND firstLine = GetWindow(window, GW_CHILD);
  const std::wstring widest = L"Searching for reserved Tarvo keywords...1234567 found.";
  for (const int dpi : {96, 144}) {
    MoveToDpi(window, dpi, RECT{0, 0, 300, 120});
    const auto font = reinterpret_cast<HFONT>(SendMessageW(firstLine, WM_GETFONT, 0, 0));
    const RECT line = PlaceOf(firstLine);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_GE(line.right - line.left, TextWidth(firstLine, font, widest)) << dpi;
    EXPECT_LE(line.right, client.right) << dpi;
    EXPECT_GE(client.right, TwipsToPixels(4680, dpi)) << dpi;
  }
  progress.Close();
}

TEST_F(Win32MainWindow, ClosingDuringARunStopsItAfterThePageInHandThenClosesBothWindows) {
  frmStatusBar progress;
  HWND main = nullptr;
  int pages = 0;
  const auto run = [&](const std::string&, bool, bool) {
    progress.Show();
    PostMessageW(main, WM_CLOSE, 0, 0);
    bool cancel = false;
    while (!cancel && pages < 100) {
      ++pages;
      progress.Update(pages, cancel);
    }
    // As after a failed run, the progress window is left up.
    return SearchResult{};
  };
  window_ = std::make_unique<frmMain>(progress, run, [](const std::string&, const std::string& start, bool) {
    return start;
  }, key_.c_str());
  main = window_->Handle();
  SetWindowTextW(FindWindowExW(main, nullptr, L"EDIT", nullptr), L"C:\\Site");
  PressButton(main, L"Start");
  EXPECT_EQ(pages, 1);
  EXPECT_FALSE(IsWindow(main));
  EXPECT_FALSE(progress.Shown());
  EXPECT_EQ(LoadSettings(HKEY_CURRENT_USER, key_.c_str()).userPath, "C:\\Site");
  MSG quit;
  EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(Win32MainWindow, AReportThatIsNotTheWholeSitesSaysSoBesideTheBoxUntilTheNextStart) {
  struct Case {
    RunOutcome outcome;
    const char* note;  // "": none shown
  };
  const Case cases[] = {
      {RunOutcome::kCancelled, "Partial report: the run was cancelled."},
      {RunOutcome::kUnexpectedError, "No report: an error ended the run."},
      {RunOutcome::kCompleted, ""},
  };
  // The main window is not shown here: the note's own style says whether it would be.
  const auto shownNote = [this] {
    HWND note = window_->RunNote();
    return (GetWindowLongW(note, GWL_STYLE) & WS_VISIBLE) != 0 ? WindowTextUtf8(note) : std::string();
  };
  RunOutcome outcome = RunOutcome::kCompleted;
  std::string noteDuringRun;
  window_ = std::make_unique<frmMain>(progress_, [&](const std::string&, bool, bool) {
    noteDuringRun = shownNote();
    SearchResult result = ResultWithLines(3);
    result.outcome = outcome;
    return result;
  }, [](const std::string&, const std::string& start, bool) { return start; }, key_.c_str());
  for (const Case& c : cases) {
    outcome = c.outcome;
    PressButton(window_->Handle(), L"Start");
    EXPECT_EQ(shownNote(), c.note);
    EXPECT_EQ(noteDuringRun, "") << "Start takes the last run's note away";
    SearchResult shown = ResultWithLines(3);
    shown.outcome = c.outcome;
    EXPECT_EQ(frmMain::ReportText(window_->ResultsBox()), shown.Report()) << "the box keeps the report alone";
  }
}

TEST_F(Win32MainWindow, StartAndBrowsePressedDuringARunAreIgnored) {
  HWND main = nullptr;
  int runs = 0;
  int browses = 0;
  const auto run = [&](const std::string&, bool, bool) {
    ++runs;
    // The presses arrive while the run lets the window's events through.
    PressButton(main, L"Start");
    PressButton(main, L"Browse...");
    return SearchResult{};
  };
  window_ = std::make_unique<frmMain>(progress_, run, [&](const std::string&, const std::string& start, bool) {
    ++browses;
    return start;
  }, key_.c_str());
  main = window_->Handle();
  PressButton(main, L"Start");
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(browses, 0);
  // Once the run is over both work again.
  PressButton(main, L"Browse...");
  EXPECT_EQ(browses, 1);
}

TEST_F(Win32MainWindow, TheProgressCloseBoxCancelsARunAndClosesALeftoverWindow) {
  frmStatusBar progress;
  progress.Show();
  bool cancel = false;
  PostMessageW(progress.Handle(), WM_CLOSE, 0, 0);
  progress.Update(10, cancel);
  EXPECT_TRUE(cancel);
  EXPECT_TRUE(progress.Shown());
  // No run is letting events through any more: the window a failed run left goes.
  SendMessageW(progress.Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(progress.Shown());
}

// A run of quick pages that lasts until done() holds, or a few seconds at most.
template <typename Done>
void UpdateUntil(frmStatusBar& progress, bool& cancel, Done done) {
  const auto started = std::chrono::steady_clock::now();
  while (!done() && std::chrono::steady_clock::now() - started < std::chrono::seconds(5)) progress.Update(2, cancel);
}

TEST_F(Win32MainWindow, ACancelPressedBetweenQuickPagesIsStillSeen) {
  frmStatusBar progress;
  progress.Show();
  bool cancel = false;
  progress.Update(1, cancel);
  // Pages far quicker than the window looks at its queue: the press waits for the next look, and is not lost.
  PostMessageW(progress.Handle(), WM_CLOSE, 0, 0);
  UpdateUntil(progress, cancel, [&] { return cancel; });
  EXPECT_TRUE(cancel);
  SendMessageW(progress.Handle(), WM_CLOSE, 0, 0);
}

TEST_F(Win32MainWindow, LinesWrittenWithinOneFrameStillReachTheLabel) {
  frmStatusBar progress;
  progress.Show();
  bool cancel = false;
  progress.Update(1, cancel);
  progress.Text(0, "first");
  progress.Text(0, "second");
  HWND label = FindWindowExW(progress.Handle(), nullptr, L"STATIC", nullptr);
  UpdateUntil(progress, cancel, [&] { return WindowTextUtf8(label) == "second"; });
  EXPECT_EQ(WindowTextUtf8(label), "second");
}

// A key pressed in the focused control, through the program's own message loop with its dialog keys; the
// modifiers held are put in the thread's key state, where the controls and IsDialogMessage look for them.
void PressKey(UINT message, UINT key, const std::vector<int>& held = {}) {
  BYTE before[256] = {};
  GetKeyboardState(before);
  BYTE state[256];
  std::copy(std::begin(before), std::end(before), std::begin(state));
  for (int modifier : held) state[modifier] = 0x80;
  SetKeyboardState(state);
  const LPARAM altDown = message == WM_SYSKEYDOWN ? LPARAM{1} << 29 : 0;
  const LPARAM scanCode = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
  PostMessageW(GetFocus(), message, key, 1 | scanCode | altDown);
  PumpPendingMessages();
  SetKeyboardState(before);
}

// The main window's controls in the design's tab order.
struct TabStop {
  const char* name;
  HWND control;
};
std::vector<TabStop> TabOrder(HWND main, HWND resultsBox) {
  return {{"path box", FindWindowExW(main, nullptr, L"EDIT", nullptr)},
          {"results box", resultsBox},
          {"Start", FindWindowExW(main, nullptr, L"BUTTON", L"Start")},
          {"Show all", FindWindowExW(main, nullptr, L"BUTTON", L"Show all tarvo instances on pages")},
          {"Browse", FindWindowExW(main, nullptr, L"BUTTON", L"Browse...")},
          {"Ignore built-in", FindWindowExW(main, nullptr, L"BUTTON", L"Ignore Built-In Projects")}};
}

TEST_F(Win32MainWindow, TabAndShiftTabWalkTheDesignOrderFromEveryControlBothWays) {
  window_->Show(SW_SHOWNORMAL);
  const std::vector<TabStop> order = TabOrder(window_->Handle(), window_->ResultsBox());
  ASSERT_NE(order[0].control, order[1].control);
  EXPECT_EQ(GetFocus(), order[0].control);
  const size_t count = order.size();
  for (size_t at = 0; at < count; ++at) {
    SetFocus(order[at].control);
    PressKey(WM_KEYDOWN, VK_TAB);
    EXPECT_EQ(GetFocus(), order[(at + 1) % count].control) << "Tab from the " << order[at].name;
    SetFocus(order[at].control);
    PressKey(WM_KEYDOWN, VK_TAB, {VK_SHIFT});
    EXPECT_EQ(GetFocus(), order[(at + count - 1) % count].control) << "Shift+Tab from the " << order[at].name;
  }
}

TEST_F(Win32MainWindow, EscapeNeverClosesTheWindowReturnInThePathBoxStartsNothingAltF4Closes) {
  window_->Show(SW_SHOWNORMAL);
  HWND main = window_->Handle();
  HWND box = window_->ResultsBox();
  frmMain::SetReportText(box, ResultWithLines(3));
  for (const TabStop& stop : TabOrder(main, box)) {
    SetFocus(stop.control);
    PressKey(WM_KEYDOWN, VK_ESCAPE);
    ASSERT_TRUE(IsWindow(main) && IsWindowVisible(main)) << "Escape in the " << stop.name;
    EXPECT_EQ(GetFocus(), stop.control) << "Escape in the " << stop.name;
  }
  // A loop without dialog keys, such as a message box's, hands the box its Escape as it is.
  SendMessageW(box, WM_KEYDOWN, VK_ESCAPE, 0);
  PumpPendingMessages();
  ASSERT_TRUE(IsWindow(main));
  EXPECT_EQ(frmMain::ReportText(box), ResultWithLines(3).Report());

  HWND path = TabOrder(main, box)[0].control;
  SetWindowTextW(path, L"C:\\Site");
  SetFocus(path);
  PressKey(WM_KEYDOWN, VK_RETURN);
  EXPECT_EQ(runs_, 0);
  EXPECT_EQ(WindowTextUtf8(path), "C:\\Site");
  EXPECT_EQ(GetFocus(), path);

  SetFocus(box);
  PressKey(WM_SYSKEYDOWN, VK_F4, {VK_MENU});
  EXPECT_FALSE(IsWindow(main));
}

TEST_F(Win32MainWindow, CtrlAAndCtrlCInTheResultsBoxCopyTheWholeReport) {
  window_->Show(SW_SHOWNORMAL);
  HWND box = window_->ResultsBox();
  const SearchResult result = ResultWithLines(3);
  frmMain::SetReportText(box, result);
  SetFocus(box);
  PressKey(WM_KEYDOWN, 'A', {VK_CONTROL});
  DWORD start = 1, end = 0;
  SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0U);
  EXPECT_EQ(end, static_cast<DWORD>(GetWindowTextLengthW(box)));
  ASSERT_TRUE(OpenClipboard(window_->Handle()));
  EmptyClipboard();
  CloseClipboard();
  PressKey(WM_KEYDOWN, 'C', {VK_CONTROL});
  EXPECT_EQ(WideToUtf8(ClipboardText(window_->Handle())), result.Report());
  // The copy is handed over when it is pasted; a window closed before that leaves it on the clipboard.
  PressKey(WM_KEYDOWN, VK_HOME, {VK_CONTROL});
  PressKey(WM_KEYDOWN, VK_DOWN, {VK_SHIFT});
  PressKey(WM_KEYDOWN, 'C', {VK_CONTROL});
  window_.reset();
  EXPECT_EQ(WideToUtf8(ClipboardText(nullptr)), result.Report().substr(0, result.Report().find("\r\n") + 2));
}

TEST_F(Win32MainWindow, ACopyOfTheWholeBoxIsTheReportWithCrLf) {
  SearchResult result = ResultWithLines(3);
  HWND box = window_->ResultsBox();
  frmMain::SetReportText(box, result);
  SendMessageW(box, EM_SETSEL, 0, -1);
  SendMessageW(box, WM_COPY, 0, 0);
  EXPECT_EQ(WideToUtf8(ClipboardText(window_->Handle())), result.Report());

  frmMain::SetReportText(box, SearchResult{});
  EXPECT_EQ(frmMain::ReportText(box), SearchResult{}.Report());
  EXPECT_EQ(frmMain::ReportText(box).rfind("No items found", 0), 0U);
}

// The selection as the box reports it, and a place in it, both in UTF-16 offsets over the whole text.
std::pair<DWORD, DWORD> SelectionOf(HWND box) {
  DWORD start = 0, end = 0;
  SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return {start, end};
}
DWORD OffsetAt(HWND box, int line, int column) {
  const auto lineStart = static_cast<DWORD>(SendMessageW(box, EM_LINEINDEX, static_cast<WPARAM>(line), 0));
  return lineStart + static_cast<DWORD>(column < 0 ? SendMessageW(box, EM_LINELENGTH, lineStart, 0) : column);
}
LRESULT FirstVisibleLine(HWND box) { return SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0); }

// Line 1 of ResultWithLines' report, with its column numbers: "Kläranlage" 0-10, tab, "Übersicht" 11-20, tab,
// "0", tab, "include" 23-30.
class Win32ResultsBox : public Win32MainWindow {
 protected:
  void SetUp() override {
    Win32MainWindow::SetUp();
    if (IsSkipped()) return;
    window_->Show(SW_SHOWNORMAL);
    box_ = window_->ResultsBox();
    frmMain::SetReportText(box_, result_);
    SetFocus(box_);
  }
  const SearchResult result_ = ResultWithLines(3000);
  HWND box_ = nullptr;
};

TEST_F(Win32ResultsBox, KeysMoveAndExtendTheSelectionAsInAnEditBox) {
  struct Key {
    UINT key;
    std::vector<int> held;
  };
  struct Case {
    const char* name;
    std::vector<Key> keys;
    int startLine, startColumn, endLine, endColumn;  // a column of -1 is the line's end
    bool scrolled;
  };
  const Case cases[] = {
      {"Ctrl+End", {{VK_END, {VK_CONTROL}}}, 3001, 0, 3001, 0, true},
      {"Ctrl+End, Ctrl+Home", {{VK_END, {VK_CONTROL}}, {VK_HOME, {VK_CONTROL}}}, 0, 0, 0, 0, false},
      {"Shift+Down twice", {{VK_DOWN, {VK_SHIFT}}, {VK_DOWN, {VK_SHIFT}}}, 0, 0, 2, 0, false},
      {"Shift+Right thrice, Shift+Left",
       {{VK_DOWN, {}}, {VK_RIGHT, {VK_SHIFT}}, {VK_RIGHT, {VK_SHIFT}}, {VK_RIGHT, {VK_SHIFT}}, {VK_LEFT, {VK_SHIFT}}},
       1, 0, 1, 2, false},
      {"Ctrl+Right, Shift+End", {{VK_DOWN, {}}, {VK_RIGHT, {VK_CONTROL}}, {VK_END, {VK_SHIFT}}}, 1, 11, 1, -1, false},
      {"Shift+Ctrl+Right twice", {{VK_DOWN, {}}, {VK_RIGHT, {VK_SHIFT, VK_CONTROL}}, {VK_RIGHT, {VK_SHIFT, VK_CONTROL}}},
       1, 0, 1, 21, false},
      {"Shift+Page Down, Shift+Page Up", {{VK_NEXT, {VK_SHIFT}}, {VK_PRIOR, {VK_SHIFT}}}, 0, 0, 0, 0, false},
  };
  for (const Case& c : cases) {
    PressKey(WM_KEYDOWN, VK_HOME, {VK_CONTROL});
    ASSERT_EQ(FirstVisibleLine(box_), 0) << c.name;
    for (const Key& key : c.keys) PressKey(WM_KEYDOWN, key.key, key.held);
    EXPECT_EQ(SelectionOf(box_), std::make_pair(OffsetAt(box_, c.startLine, c.startColumn),
                                                OffsetAt(box_, c.endLine, c.endColumn)))
        << c.name;
    EXPECT_EQ(FirstVisibleLine(box_) > 0, c.scrolled) << c.name;
  }
  // Page Down moves the view by a page with the caret, which keeps its row.
  PressKey(WM_KEYDOWN, VK_HOME, {VK_CONTROL});
  PressKey(WM_KEYDOWN, VK_NEXT);
  EXPECT_GT(FirstVisibleLine(box_), 10);
  EXPECT_EQ(SelectionOf(box_).first, OffsetAt(box_, static_cast<int>(FirstVisibleLine(box_)), 0));
  // Return, typed letters and Escape change nothing in a read-only box.
  const std::pair<DWORD, DWORD> before = SelectionOf(box_);
  for (const UINT key : {UINT{VK_RETURN}, UINT{'X'}, UINT{VK_ESCAPE}}) {
    PressKey(WM_KEYDOWN, key);
    PressKey(WM_CHAR, key);
  }
  EXPECT_EQ(SelectionOf(box_), before);
  EXPECT_TRUE(frmMain::ReportText(box_) == result_.Report());
  EXPECT_EQ(GetFocus(), box_);
}

// A mouse message at a place in the box, with keys held as the box reads them.
void MouseAt(HWND box, UINT message, DWORD offset, const std::vector<int>& held = {}, int belowBy = 0) {
  const auto position = static_cast<DWORD>(SendMessageW(box, EM_POSFROMCHAR, offset, 0));
  BYTE before[256] = {};
  GetKeyboardState(before);
  BYTE state[256];
  std::copy(std::begin(before), std::end(before), std::begin(state));
  for (int key : held) state[key] = 0x80;
  SetKeyboardState(state);
  RECT client{};
  GetClientRect(box, &client);
  const int y = belowBy > 0 ? client.bottom + belowBy : static_cast<short>(HIWORD(position)) + 2;
  SendMessageW(box, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON,
               MAKELPARAM(static_cast<short>(LOWORD(position)) + 1, y));
  SetKeyboardState(before);
}

TEST_F(Win32ResultsBox, TheMouseSelectsByDragShiftClickAndDoubleClick) {
  struct Press {
    UINT message;
    int line, column;
    std::vector<int> held;
  };
  struct Case {
    const char* name;
    std::vector<Press> presses;
    int startLine, startColumn, endLine, endColumn;
  };
  const Case cases[] = {
      {"drag over a line end", {{WM_LBUTTONDOWN, 1, 4, {}}, {WM_MOUSEMOVE, 2, 3, {}}, {WM_LBUTTONUP, 2, 3, {}}},
       1, 4, 2, 3},
      {"shift+click", {{WM_LBUTTONDOWN, 1, 2, {}}, {WM_LBUTTONUP, 1, 2, {}}, {WM_LBUTTONDOWN, 3, 5, {VK_SHIFT}}},
       1, 2, 3, 5},
      {"double-click on a word", {{WM_LBUTTONDOWN, 1, 25, {}}, {WM_LBUTTONUP, 1, 25, {}}, {WM_LBUTTONDBLCLK, 1, 25, {}}},
       1, 23, 1, 30},
  };
  for (const Case& c : cases) {
    for (const Press& press : c.presses) MouseAt(box_, press.message, OffsetAt(box_, press.line, press.column), press.held);
    SendMessageW(box_, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(SelectionOf(box_), std::make_pair(OffsetAt(box_, c.startLine, c.startColumn),
                                                OffsetAt(box_, c.endLine, c.endColumn)))
        << c.name;
  }
  // Dragged below the box, the view follows the pointer down.
  MouseAt(box_, WM_LBUTTONDOWN, OffsetAt(box_, 1, 0));
  for (int step = 0; step < 3; ++step) MouseAt(box_, WM_MOUSEMOVE, 0, {}, 5);
  MouseAt(box_, WM_LBUTTONUP, 0);
  EXPECT_GT(FirstVisibleLine(box_), 0);
  EXPECT_EQ(SelectionOf(box_).first, OffsetAt(box_, 1, 0));
  EXPECT_GT(SelectionOf(box_).second, OffsetAt(box_, static_cast<int>(FirstVisibleLine(box_)), 0));
}

// The menu item a test picks, by its access key, once the context menu is up.
wchar_t menuChoice = 0;
void CALLBACK ChooseMenuItem(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  PostMessageW(GetFocus(), WM_CHAR, menuChoice, 1);
}

TEST_F(Win32ResultsBox, TheContextMenuCopiesAndSelectsAll) {
  const std::string& report = result_.Report();
  const size_t firstLineEnd = report.find("\r\n") + 2;
  struct Case {
    const char* name;
    LPARAM where;
    std::pair<DWORD, DWORD> selection;
    wchar_t choice;
    std::string clipboard;
  };
  const Case cases[] = {
      {"Copy at the pointer", MAKELPARAM(20, 20), {0, OffsetAt(box_, 1, 0)}, L'c', report.substr(0, firstLineEnd)},
      {"Select All from the keyboard", -1, {0, 0}, L'a', "kept"},
      {"Copy of everything", MAKELPARAM(20, 20), {0, OffsetAt(box_, 3001, 0)}, L'c', report},
  };
  for (const Case& c : cases) {
    SendMessageW(box_, EM_SETSEL, c.selection.first, c.selection.second);
    ASSERT_TRUE(PutTextOnClipboard(window_->Handle(), "kept"));
    menuChoice = c.choice;
    SetTimer(nullptr, 0, 50, ChooseMenuItem);
    SendMessageW(box_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(box_), c.where);
    EXPECT_TRUE(WideToUtf8(ClipboardText(window_->Handle())) == c.clipboard) << c.name;
  }
  EXPECT_EQ(SelectionOf(box_), std::make_pair(DWORD{0}, OffsetAt(box_, 3001, 0))) << "after Select All";
}

TEST_F(Win32ResultsBox, ScreenReadersReadItAsAReadOnlyTextNamedByItsLabel) {
  frmMain::SetReportText(box_, ResultWithLines(2));
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IAccessible* accessible = nullptr;
  ASSERT_EQ(AccessibleObjectFromWindow(box_, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&accessible)),
            S_OK);
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  VARIANT role{}, state{};
  EXPECT_EQ(accessible->get_accRole(self, &role), S_OK);
  EXPECT_EQ(role.lVal, ROLE_SYSTEM_TEXT);
  EXPECT_EQ(accessible->get_accState(self, &state), S_OK);
  EXPECT_TRUE((state.lVal & STATE_SYSTEM_READONLY) != 0);
  BSTR name = nullptr, value = nullptr;
  EXPECT_EQ(accessible->get_accName(self, &name), S_OK);
  EXPECT_EQ(std::wstring(name != nullptr ? name : L""), L"Items Found");
  EXPECT_EQ(accessible->get_accValue(self, &value), S_OK);
  EXPECT_EQ(WideToUtf8(value != nullptr ? value : L""), ResultWithLines(2).Report());
  SysFreeString(name);
  SysFreeString(value);
  accessible->Release();
  if (SUCCEEDED(com)) CoUninitialize();
}

// What a screen reader reads of a control: the role, name and value of its client area's object.
struct AccessibleSeen {
  long role = 0;
  std::string name;
  std::string value;
  bool operator==(const AccessibleSeen&) const = default;
};
void PrintTo(const AccessibleSeen& seen, std::ostream* out) {
  *out << "role " << seen.role << " \"" << seen.name << "\" = \"" << seen.value << "\"";
}

// Every visible child of a window in z-order, which is the order a screen reader walks them in.
std::vector<AccessibleSeen> ReadForScreenReader(HWND window) {
  std::vector<AccessibleSeen> seen;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if ((GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) == 0) continue;
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(child, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&accessible)))) {
      seen.push_back({-1, "no object", ""});
      continue;
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role{};
    BSTR name = nullptr, value = nullptr;
    accessible->get_accRole(self, &role);
    accessible->get_accName(self, &name);
    accessible->get_accValue(self, &value);
    seen.push_back({role.vt == VT_I4 ? role.lVal : 0, WideToUtf8(name != nullptr ? name : L""),
                    WideToUtf8(value != nullptr ? value : L"")});
    SysFreeString(name);
    SysFreeString(value);
    accessible->Release();
  }
  return seen;
}

TEST_F(Win32MainWindow, ScreenReadersFindEveryControlOfEveryWindowByNameAndRole) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  SetWindowTextW(FindWindowExW(window_->Handle(), nullptr, L"EDIT", nullptr), L"C:\\Site");
  EXPECT_THAT(ReadForScreenReader(window_->Handle()),
              ::testing::ElementsAre(AccessibleSeen{ROLE_SYSTEM_STATICTEXT, "[User] Path", ""},
                                     AccessibleSeen{ROLE_SYSTEM_TEXT, "[User] Path", "C:\\Site"},
                                     AccessibleSeen{ROLE_SYSTEM_STATICTEXT, "Items Found", ""},
                                     AccessibleSeen{ROLE_SYSTEM_TEXT, "Items Found", ""},
                                     AccessibleSeen{ROLE_SYSTEM_PUSHBUTTON, "Start", ""},
                                     AccessibleSeen{ROLE_SYSTEM_CHECKBUTTON, "Show all tarvo instances on pages", ""},
                                     AccessibleSeen{ROLE_SYSTEM_PUSHBUTTON, "Browse...", ""},
                                     AccessibleSeen{ROLE_SYSTEM_CHECKBUTTON, "Ignore Built-In Projects", ""}));

  frmStatusBar progress;
  progress.Show();
  bool cancel = false;
  progress.Update(42, cancel);
  EXPECT_THAT(ReadForScreenReader(progress.Handle()),
              ::testing::ElementsAre(AccessibleSeen{ROLE_SYSTEM_STATICTEXT, "Operation in progress...", ""},
                                     AccessibleSeen{ROLE_SYSTEM_STATICTEXT, "", ""},
                                     AccessibleSeen{ROLE_SYSTEM_STATICTEXT, "", ""},
                                     AccessibleSeen{ROLE_SYSTEM_PROGRESSBAR, "Progress", "42%"},
                                     AccessibleSeen{ROLE_SYSTEM_PUSHBUTTON, "Cancel", ""}));
  progress.Close();

  frmPageServer dialog(window_->Handle(), key_.c_str(), nullptr);
  EXPECT_THAT(ReadForScreenReader(dialog.Handle()),
              ::testing::ElementsAre(
                  AccessibleSeen{ROLE_SYSTEM_STATICTEXT,
                                 "In use: our page-file server (<page>.json in each project's folder)", ""},
                  AccessibleSeen{ROLE_SYSTEM_RADIOBUTTON, "Our page-file server: <page>.json in each project's folder", ""},
                  AccessibleSeen{ROLE_SYSTEM_RADIOBUTTON, "Class identifier (ProgID or {CLSID}):", ""},
                  AccessibleSeen{ROLE_SYSTEM_TEXT, "Class identifier (ProgID or {CLSID})", ""},
                  AccessibleSeen{ROLE_SYSTEM_PUSHBUTTON, "Test", ""},
                  AccessibleSeen{ROLE_SYSTEM_STATICTEXT, "", ""},
                  AccessibleSeen{ROLE_SYSTEM_PUSHBUTTON, "OK", ""},
                  AccessibleSeen{ROLE_SYSTEM_PUSHBUTTON, "Cancel", ""}));
  if (SUCCEEDED(com)) CoUninitialize();
}

// The page server dialog over a settings key of the test's own, driven as the user drives it.
class Win32PageServerDialog : public Win32Settings {
 protected:
  void SetUp() override {
    Win32Settings::SetUp();
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (probe == nullptr) GTEST_SKIP() << "no display to create windows on";
    DestroyWindow(probe);
  }
  std::unique_ptr<frmPageServer> Open() {
    auto dialog = std::make_unique<frmPageServer>(nullptr, key_.c_str(), TestPageServer);
    ShowWindow(dialog->Handle(), SW_SHOWNORMAL);
    return dialog;
  }
  static HWND Child(const frmPageServer& dialog, const wchar_t* className, const wchar_t* caption) {
    return FindWindowExW(dialog.Handle(), nullptr, className, caption);
  }
  // The line under Test that says what came of it: the control after Test in the tab order.
  static std::string Outcome(const frmPageServer& dialog) {
    return WindowTextUtf8(GetWindow(Child(dialog, L"BUTTON", L"&Test"), GW_HWNDNEXT));
  }
  static void ChooseClass(const frmPageServer& dialog, const wchar_t* identifier) {
    SendMessageW(Child(dialog, L"BUTTON", L"&Class identifier (ProgID or {CLSID}):"), BM_CLICK, 0, 0);
    SetWindowTextW(Child(dialog, L"EDIT", nullptr), identifier);
  }
};

TEST_F(Win32PageServerDialog, TestCreatesTheChosenServerAndSaysWhatARunWouldSay) {
  struct Case {
    const wchar_t* identifier;  // nullptr: our page-file server
    const char* said;
  };
  const Case cases[] = {
      {nullptr, "Our page-file server is ready: it opens <page>.json in each project's folder."},
      {L" Morvex.NoSuchServer ",
       "The page server \"Morvex.NoSuchServer\" cannot be created: no class is registered under this ProgID 429"},
      // A class Wine registers that answers IDispatch but has none of a page server's operations.
      {L"Scripting.Dictionary", "The page server \"Scripting.Dictionary\" cannot be created: it is not a page server"},
      {L"{not-a-clsid}", "The page server \"{not-a-clsid}\" cannot be created: it is not a class identifier"},
  };
  for (const Case& test : cases) {
    const auto dialog = Open();
    if (test.identifier != nullptr) ChooseClass(*dialog, test.identifier);
    PressButton(dialog->Handle(), L"&Test");
    EXPECT_THAT(Outcome(*dialog), ::testing::StartsWith(test.said));
    EXPECT_TRUE(IsWindow(dialog->Handle()));
  }
  // Testing writes nothing.
  EXPECT_EQ(TypeOf(L"PageServer"), static_cast<DWORD>(REG_NONE));
}

TEST_F(Win32PageServerDialog, OkAndReturnWriteTheChoiceCancelAndEscapeLeaveTheStoredOne) {
  struct Case {
    const char* name;
    const wchar_t* identifier;  // nullptr: our page-file server
    UINT key;                   // pressed in the identifier's box or on the first option; 0: OK clicked
    const char* stored;         // the value afterwards
  };
  const Case cases[] = {
      {"Return in the box", L"  Acme.Pages ", VK_RETURN, "Acme.Pages"},
      {"OK for ours", nullptr, 0, ""},
      {"Escape", L"Other.Pages", VK_ESCAPE, "Before.Pages"},
  };
  for (const Case& test : cases) {
    Store(L"PageServer", L"Before.Pages");
    const auto dialog = Open();
    EXPECT_EQ(WindowTextUtf8(Child(*dialog, L"EDIT", nullptr)), "Before.Pages") << test.name;
    EXPECT_EQ(WindowTextUtf8(GetWindow(dialog->Handle(), GW_CHILD)), "In use: the COM server Before.Pages");
    if (test.identifier != nullptr) {
      ChooseClass(*dialog, test.identifier);
    } else {
      SendMessageW(Child(*dialog, L"BUTTON", L"&Our page-file server: <page>.json in each project's folder"), BM_CLICK,
                   0, 0);
    }
    if (test.key == 0) {
      PressButton(dialog->Handle(), L"OK");
    } else {
      SetFocus(Child(*dialog, L"EDIT", nullptr));
      PressKey(WM_KEYDOWN, test.key);
    }
    EXPECT_FALSE(IsWindow(dialog->Handle())) << test.name;
    EXPECT_EQ(dialog->Accepted(), test.key != VK_ESCAPE) << test.name;
    EXPECT_EQ(LoadPageServerSetting(HKEY_CURRENT_USER, key_.c_str()), test.stored) << test.name;
    EXPECT_EQ(TypeOf(L"PageServer"), static_cast<DWORD>(REG_SZ)) << test.name;
  }
}

// Test must not call ready what OK refuses.
TEST_F(Win32PageServerDialog, OkAndTestWithAnEmptyClassIdentifierBothAskForOneAndWriteNothing) {
  for (const wchar_t* button : {L"OK", L"&Test"}) {
    const auto dialog = Open();
    ChooseClass(*dialog, L"  ");
    PressButton(dialog->Handle(), button);
    EXPECT_TRUE(IsWindow(dialog->Handle()));
    EXPECT_EQ(Outcome(*dialog), "Type a ProgID or {CLSID}, or choose our page-file server.") << WideToUtf8(button);
    EXPECT_EQ(GetFocus(), Child(*dialog, L"EDIT", nullptr)) << WideToUtf8(button);
  }
  EXPECT_EQ(TypeOf(L"PageServer"), static_cast<DWORD>(REG_NONE));
}

// What a timer saw of the window a system menu command put up over the main window, which it then closed.
struct CommandWindowSeen {
  HWND owner = nullptr;
  bool ownerDisabled = false;
  std::wstring windowClass;
  std::string text;  // a message box's text
};
CommandWindowSeen commandWindowSeen;

BOOL CALLBACK FindOwnedWindow(HWND window, LPARAM found) {
  if (GetWindow(window, GW_OWNER) != commandWindowSeen.owner || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

void CALLBACK CloseCommandWindow(HWND, UINT, UINT_PTR, DWORD) {
  HWND up = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindOwnedWindow, reinterpret_cast<LPARAM>(&up));
  if (up == nullptr) return;
  wchar_t name[64] = {};
  GetClassNameW(up, name, 64);
  commandWindowSeen.windowClass = name;
  commandWindowSeen.ownerDisabled = !IsWindowEnabled(commandWindowSeen.owner);
  if (HWND text = GetDlgItem(up, 0xFFFF)) commandWindowSeen.text = WindowTextUtf8(text);
  PostMessageW(up, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(Win32MainWindow, TheSystemMenuOpensThePageServerDialogAndAboutOverTheDisabledWindow) {
  HWND main = window_->Handle();
  // An earlier test's window ended this thread's message loop; a modal loop would end on the same WM_QUIT.
  MSG quit;
  while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  struct Command {
    UINT id;
    const wchar_t* caption;
    const wchar_t* windowClass;
  };
  for (const Command& command : {Command{frmMain::kPageServerCommand, L"&Page server...", L"MorvexPageServer"},
                                 Command{frmMain::kAboutCommand, L"&About Morvex...", L"#32770"}}) {
    wchar_t caption[64] = {};
    GetMenuStringW(GetSystemMenu(main, FALSE), command.id, caption, 64, MF_BYCOMMAND);
    EXPECT_STREQ(caption, command.caption);
    commandWindowSeen = {main, false, {}, {}};
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseCommandWindow);
    SendMessageW(main, WM_SYSCOMMAND, command.id, 0);
    KillTimer(nullptr, timer);
    EXPECT_EQ(commandWindowSeen.windowClass, command.windowClass);
    EXPECT_TRUE(commandWindowSeen.ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(main));
  }
  // About tells the notice and whether these are the programs 64-bit or 32-bit servers load into.
  EXPECT_THAT(commandWindowSeen.text, ::testing::HasSubstr("\r\nCopyright "));
  EXPECT_THAT(commandWindowSeen.text, ::testing::HasSubstr("LICENSE.txt"));
  EXPECT_THAT(commandWindowSeen.text, ::testing::HasSubstr(sizeof(void*) == 8 ? "64-bit (x64)" : "32-bit (x86)"));
}

// A modal window opened from inside a run's Update holds the run until it is closed.
TEST_F(Win32MainWindow, TheSystemMenusCommandsAreGreyedDuringARunAndOpenNothingIfSentThen) {
  HWND main = nullptr;
  std::vector<UINT> statesDuringRun;
  const auto run = [&](const std::string&, bool, bool) {
    for (UINT command : {frmMain::kPageServerCommand, frmMain::kAboutCommand}) {
      statesDuringRun.push_back(GetMenuState(GetSystemMenu(main, FALSE), command, MF_BYCOMMAND) & MF_GRAYED);
      commandWindowSeen = {main, false, {}, {}};
      const UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseCommandWindow);  // should a window open after all
      SendMessageW(main, WM_SYSCOMMAND, command, 0);
      KillTimer(nullptr, timer);
      EXPECT_EQ(commandWindowSeen.windowClass, L"") << command;
    }
    return SearchResult{};
  };
  window_ = std::make_unique<frmMain>(progress_, run, [](const std::string&, const std::string& start, bool) {
    return start;
  }, key_.c_str());
  main = window_->Handle();
  PressButton(main, L"Start");
  EXPECT_THAT(statesDuringRun, ::testing::Each(UINT{MF_GRAYED}));
  EXPECT_EQ(statesDuringRun.size(), 2u);
  for (UINT command : {frmMain::kPageServerCommand, frmMain::kAboutCommand}) {
    EXPECT_EQ(GetMenuState(GetSystemMenu(main, FALSE), command, MF_BYCOMMAND) & MF_GRAYED, 0u) << "after the run";
  }
}

// The box the offer opens, answered from a timer the box's own modal loop runs.
struct OfferAnswer {
  int button = IDNO;
  std::wstring text;
  bool noIsDefault = false;
};
OfferAnswer* answering = nullptr;

void CALLBACK AnswerOffer(HWND, UINT, UINT_PTR timer, DWORD) {
  // Earlier tests' windows may share the caption: the box is the visible one with a No button.
  HWND box = nullptr;
  while ((box = FindWindowExW(nullptr, box, L"#32770", L"Morvex")) != nullptr) {
    if (IsWindowVisible(box) && GetDlgItem(box, IDNO) != nullptr) break;
  }
  if (box == nullptr) return;
  KillTimer(nullptr, timer);
  // The text is the static control numbered 0xFFFF; the default button carries the default push style.
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (GetDlgCtrlID(child) == 0xFFFF) {
      wchar_t text[512] = {};
      GetWindowTextW(child, text, 512);
      answering->text = text;
    }
  }
  answering->noIsDefault = (GetWindowLongW(GetDlgItem(box, IDNO), GWL_STYLE) & BS_DEFPUSHBUTTON) != 0;
  PostMessageW(GetDlgItem(box, answering->button), BM_CLICK, 0, 0);
}

TEST_F(Win32MainWindow, AnOfferToCopyAsksYesOrNoAndOnlyYesReplacesTheClipboard) {
  window_->Show(SW_SHOWNORMAL);
  // A quit message an earlier test left in the queue would end the box before it is answered.
  for (MSG pending; PeekMessageW(&pending, nullptr, 0, 0, PM_REMOVE);) {
  }
  frmStatusBar progress;
  MessageBoxSink messages(window_->Handle(), progress);
  for (const auto& [button, expected] :
       std::vector<std::pair<int, std::wstring>>{{IDNO, L"kept"}, {IDYES, L"P\tMain\tmissing\r\n"}}) {
    ASSERT_TRUE(PutTextOnClipboard(window_->Handle(), "kept"));
    OfferAnswer answer;
    answer.button = button;
    answering = &answer;
    SetTimer(nullptr, 0, 20, AnswerOffer);
    messages.ShowMessageOfferingCopy("2 of 2 pages could not be opened", "Copy?",
                                     [] { return std::string("P\tMain\tmissing\r\n"); });
    EXPECT_EQ(answer.text, L"2 of 2 pages could not be opened\r\n\r\nCopy?");
    EXPECT_TRUE(answer.noIsDefault);
    EXPECT_EQ(ClipboardText(window_->Handle()), expected);
  }
  answering = nullptr;
}

}  // namespace
}  // namespace morvex::win32
