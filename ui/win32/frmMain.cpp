// The Win32 main window: layout, registry settings, and the hand-off of Start and Browse to the core.
#include "frmMain.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "AboutText.h"
#include "ControlAccessible.h"
#include "FrontEndRules.h"
#include "HtmlReport.h"
#include "ReportView.h"
#include "TextUtil.h"
#include "Version.h"
#include "basSaveReport.h"

namespace morvex::win32 {

namespace {

constexpr wchar_t kClassName[] = L"MorvexMain";
enum ControlId { kPathId = 10, kBrowseId, kShowAllId, kIgnoreId, kSearchId, kFoundId };

// The form in twips: its client area and each control's rectangle.
constexpr int kClientWidth = 8400;
constexpr int kClientHeight = 7080;
constexpr TwipRect kPathLabel{240, 240, 795, 195};
constexpr TwipRect kPathBox{240, 480, 6735, 375};
constexpr TwipRect kBrowseButton{7080, 480, 1095, 375};
constexpr TwipRect kShowAllBox{240, 960, 3015, 255};
constexpr TwipRect kIgnoreBox{3480, 960, 3015, 255};
constexpr TwipRect kStartButton{7080, 960, 1095, 375};
constexpr TwipRect kResultsLabel{240, 1320, 870, 195};
constexpr TwipRect kRunNote{1320, 1320, 6855, 195};
constexpr TwipRect kResultsBox{240, 1560, 7935, 5295};

// Widens a control to its caption, never past maxRight (client pixels): where the desktop's font is wider
// than the design's, a caption would otherwise be clipped or wrapped.
void WidenToCaption(HWND control, HFONT font, int extra, int maxRight) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)), L'\0');
  GetWindowTextW(control, text.data(), static_cast<int>(text.size()) + 1);
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  RECT place{};
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
  const int wanted = std::min(static_cast<int>(extent.cx) + extra, maxRight - static_cast<int>(place.left));
  if (wanted > static_cast<int>(place.right - place.left)) {
    SetWindowPos(control, nullptr, 0, 0, wanted, static_cast<int>(place.bottom - place.top), SWP_NOMOVE | SWP_NOZORDER);
  }
}

// The system menu's own commands open modal windows, whose loops would hold a run in its Update: greyed
// while it goes, enabled again when it returns, also through an exception.
class SystemMenuCommandsDuringRun {
 public:
  explicit SystemMenuCommandsDuringRun(HWND window) : menu_(GetSystemMenu(window, FALSE)) { Enable(MF_GRAYED); }
  ~SystemMenuCommandsDuringRun() { Enable(MF_ENABLED); }
  SystemMenuCommandsDuringRun(const SystemMenuCommandsDuringRun&) = delete;
  SystemMenuCommandsDuringRun& operator=(const SystemMenuCommandsDuringRun&) = delete;

 private:
  void Enable(UINT state) const {
    for (UINT command : {frmMain::kPageServerCommand, frmMain::kAboutCommand, frmMain::kSaveReportCommand}) {
      EnableMenuItem(menu_, command, MF_BYCOMMAND | state);
    }
  }
  HMENU menu_;
};

}  // namespace

frmMain::frmMain(ProgressInterface& progress, SearchRunner runSearch, FolderBrowser browseFolder,
                 const wchar_t* settingsKey)
    : progress_(progress),
      runSearch_(std::move(runSearch)),
      browseFolder_(std::move(browseFolder)),
      settingsKey_(settingsKey) {
  createWindow();
  createControls();
  createToolTips();
  loadSettings();
  setCaptionFromVersion();
  CentreOnScreen(window_);
}

frmMain::~frmMain() {
  if (window_ != nullptr) DestroyWindow(window_);
  if (font_ != nullptr) DeleteObject(font_);
}

void frmMain::createWindow() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  RegisterClassExW(&windowClass);

  dpi_ = SystemDpi();
  // A fixed single frame without minimise and maximise boxes.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_CONTROLPARENT;
  RECT frame{0, 0, TwipsToPixels(kClientWidth, dpi_), TwipsToPixels(kClientHeight, dpi_)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  window_ = CreateWindowExW(exStyle, kClassName, L"Veltra Tarvo Reserved Keyword Search", style, CW_USEDEFAULT,
                            CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                            GetModuleHandleW(nullptr), this);
  RegisterDialogWindow(window_);
  // The window has no menu bar and a fixed frame: its settings beyond the three on the form live here.
  HMENU systemMenu = GetSystemMenu(window_, FALSE);
  AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(systemMenu, MF_STRING | MF_GRAYED, kSaveReportCommand, L"&Save report...");
  AppendMenuW(systemMenu, MF_STRING, kPageServerCommand, L"&Page server...");
  AppendMenuW(systemMenu, MF_STRING, kAboutCommand, L"&About Morvex...");
}

void frmMain::createControls() {
  // Created in tab-index order: the z-order of the children is the order Tab walks them in. Each label comes
  // just before the box it names: screen readers name a text box by the label before it in this order.
  Label1_ = CreateChild(window_, L"STATIC", L"[User] Path", SS_LEFT | SS_NOTIFY | SS_NOPREFIX, 0);
  txtUserPath_ = CreateChild(window_, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, kPathId, WS_EX_CLIENTEDGE);
  // Beside the box's caption, never in the box: what a user copies stays the report alone. Hidden while it
  // has nothing to say, so that screen readers meet no nameless label.
  lblRunNote_ = CreateChild(window_, L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, 0);
  ShowWindow(lblRunNote_, SW_HIDE);
  Label3_ = CreateChild(window_, L"STATIC", L"Items Found", SS_LEFT | SS_NOPREFIX, 0);
  ReportView::Register();
  txtFound_ = CreateChild(window_, ReportView::kClassName, L"",
                          ReportView::kEditStyle | WS_HSCROLL | WS_VSCROLL | WS_TABSTOP, kFoundId, WS_EX_CLIENTEDGE);
  cmdSearch_ = CreateChild(window_, L"BUTTON", L"Start", BS_PUSHBUTTON | WS_TABSTOP, kSearchId);
  chkShowAllInstances_ =
      CreateChild(window_, L"BUTTON", L"Show all tarvo instances on pages", BS_3STATE | WS_TABSTOP, kShowAllId);
  cmdBrowse_ = CreateChild(window_, L"BUTTON", L"Browse...", BS_PUSHBUTTON | WS_TABSTOP, kBrowseId);
  chkIgnoreBuiltInProjects_ =
      CreateChild(window_, L"BUTTON", L"Ignore Built-In Projects", BS_3STATE | WS_TABSTOP, kIgnoreId);
  const std::pair<HWND, AccessibleFacts> facts[] = {
      {Label1_, kLabelFacts},         {txtUserPath_, kTextBoxFacts},       {lblRunNote_, kLabelFacts},
      {Label3_, kLabelFacts},         {cmdSearch_, kPushButtonFacts},      {chkShowAllInstances_, kCheckBoxFacts},
      {cmdBrowse_, kPushButtonFacts}, {chkIgnoreBuiltInProjects_, kCheckBoxFacts}};
  for (const auto& [control, fact] : facts) AnswerScreenReaders(control, fact);
  layOut();
  lastFocus_ = txtUserPath_;
}

// Every control at its twip rectangle at dpi_, with the dialog font at that size.
void frmMain::layOut() {
  HFONT oldFont = font_;
  font_ = CreateDialogFont(dpi_);
  const std::pair<HWND, TwipRect> places[] = {
      {txtUserPath_, kPathBox},          {Label1_, kPathLabel},     {txtFound_, kResultsBox},
      {cmdSearch_, kStartButton},        {chkShowAllInstances_, kShowAllBox},
      {Label3_, kResultsLabel},          {lblRunNote_, kRunNote},           {cmdBrowse_, kBrowseButton},
      {chkIgnoreBuiltInProjects_, kIgnoreBox}};
  for (const auto& [control, place] : places) PlaceChild(control, place, dpi_, font_);
  if (oldFont != nullptr) DeleteObject(oldFont);
  // Nothing stands right of the labels; each check box may grow up to the control beside it.
  const int clientRight = TwipsToPixels(kClientWidth, dpi_);
  const int checkExtra = GetSystemMetrics(SM_CXMENUCHECK) + 8;
  WidenToCaption(Label1_, font_, 2, clientRight);
  WidenToCaption(Label3_, font_, 2, clientRight);
  WidenToCaption(chkShowAllInstances_, font_, checkExtra, TwipsToPixels(kIgnoreBox.left, dpi_) - 4);
  WidenToCaption(chkIgnoreBuiltInProjects_, font_, checkExtra, TwipsToPixels(kStartButton.left, dpi_) - 4);
}

// On a screen of another DPI the form keeps its size in twips; the frame goes where the system suggests.
void frmMain::onDpiChanged(int dpi, LPARAM suggestedFrame) {
  dpi_ = dpi;
  layOut();
  MoveToSuggestedFrame(window_, suggestedFrame);
}

void frmMain::createToolTips() {
  toolTips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  const std::pair<HWND, const wchar_t*> tips[] = {
      {Label1_, L"Location of MASTER.DBF containing the projects to be searched"},
      {chkShowAllInstances_, L"If unchecked, only unique tarvos will be listed"},
      {chkIgnoreBuiltInProjects_, L"Skip Example, Include, ZRM_..."},
  };
  for (const auto& [control, text] : tips) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

int frmMain::CheckValue(HWND checkBox) {
  switch (SendMessageW(checkBox, BM_GETCHECK, 0, 0)) {
    case BST_CHECKED: return 1;
    case BST_INDETERMINATE: return 2;
    default: return 0;
  }
}

void frmMain::SetCheckValue(HWND checkBox, int value) {
  const WPARAM state = value == 0 ? BST_UNCHECKED : (value == 2 ? BST_INDETERMINATE : BST_CHECKED);
  SendMessageW(checkBox, BM_SETCHECK, state, 0);
}

void frmMain::loadSettings() {
  const MainSettings settings = LoadSettings(HKEY_CURRENT_USER, settingsKey_);
  SetWindowTextUtf8(txtUserPath_, settings.userPath);
  SetCheckValue(chkShowAllInstances_, settings.showInstances);
  SetCheckValue(chkIgnoreBuiltInProjects_, settings.ignoreBuiltIn);
}

void frmMain::saveSettings() const {
  MainSettings settings;
  settings.userPath = WindowTextUtf8(txtUserPath_);
  settings.showInstances = CheckValue(chkShowAllInstances_);
  settings.ignoreBuiltIn = CheckValue(chkIgnoreBuiltInProjects_);
  SaveSettings(settings, HKEY_CURRENT_USER, settingsKey_);
}

void frmMain::setCaptionFromVersion() {
  const std::string caption = "Veltra Tarvo Reserved Keyword Search v" + std::to_string(kVersionMajor) + "." +
                              std::to_string(kVersionMinor) + "." + std::to_string(kVersionRevision) + " " +
                              kVersionComment;
  SetWindowTextUtf8(window_, caption);
}

void frmMain::Show(int showCommand) {
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  SetFocus(txtUserPath_);
}

namespace {

std::string ReportOf(const SearchResult& result) {
  std::string report;
  WriteReport(result, "\r\n", [&report](std::string_view piece) { report.append(piece); });
  return report;
}

}  // namespace

void frmMain::SetReportText(HWND box, const SearchResult& result) { ReportView::SetReport(box, ReportOf(result)); }

// Writing out a dense report and indexing its lines takes about half a second: done beside the message loop, the
// window answers meanwhile, and Start and Browse stay ignored until the report is shown.
void frmMain::showReport(const SearchResult& result) {
  ReportView::Prepared prepared;
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (done == nullptr) {
    prepared = ReportView::Prepare(ReportOf(result));
  } else {
    std::thread writer([&] {
      prepared = ReportView::Prepare(ReportOf(result));
      SetEvent(done);
    });
    bool pumping = true;
    while (pumping && MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
      pumping = PumpPendingMessages();  // after a quit message, which waits in the queue, only the writer is awaited
    }
    WaitForSingleObject(done, INFINITE);
    writer.join();
    CloseHandle(done);
  }
  if (!closedDuringRun_) ReportView::Show(txtFound_, std::move(prepared));
}

std::string frmMain::ReportText(HWND box) { return ReportView::Report(box); }

void frmMain::onSearchClicked() {
  // A run yields only inside the progress window's Update; a second run started there would share and then
  // release the automation object under the first.
  if (runInProgress_) return;
  {
    FlagGuard running(runInProgress_);
    SystemMenuCommandsDuringRun greyed(window_);
    ShowWindow(lblRunNote_, SW_HIDE);
    lastRun_ = {};
    lastRun_.siteFolder = WindowTextUtf8(txtUserPath_);
    lastRun_.scanTime = UtcTimeText(std::chrono::system_clock::now());
    // The runner reads the same setting as it starts: blank is our page-file server.
    lastRun_.ownPageServer =
        LoadPageServerSetting(HKEY_CURRENT_USER, settingsKey_).find_first_not_of(" \t") == std::string::npos;
    lastRun_.result = runSearch_(lastRun_.siteFolder, CheckValue(chkShowAllInstances_) == 1,
                                 CheckValue(chkIgnoreBuiltInProjects_) == 1);
    lastRun_.ran = true;
    if (!closedDuringRun_) {
      showReport(lastRun_.result);
      const std::string_view note = ReportCompletenessNote(lastRun_.result.outcome);
      SetWindowTextUtf8(lblRunNote_, note);
      ShowWindow(lblRunNote_, note.empty() ? SW_HIDE : SW_SHOWNA);
    }
  }
  EnableMenuItem(GetSystemMenu(window_, FALSE), kSaveReportCommand,
                 MF_BYCOMMAND | (CanSave(lastRun_) ? MF_ENABLED : MF_GRAYED));
  if (closedDuringRun_) {
    // A failed run leaves its progress window up; with the main window gone nothing would close it.
    if (progress_.Shown()) progress_.Close();
    DestroyWindow(window_);
  }
}

void frmMain::onBrowseClicked() {
  if (runInProgress_) return;
  SetWindowTextUtf8(txtUserPath_, browseFolder_("Select User Folder", WindowTextUtf8(txtUserPath_), false));
}

void frmMain::onPageServerCommand() {
  if (runInProgress_) return;
  {
    FlagGuard busy(runInProgress_);  // Start and Browse wait until the dialog is closed
    frmPageServer dialog(window_, settingsKey_, testServer_);
    dialog.RunModal();
  }
  // A close that came meanwhile was taken as one during a run: the window is hidden and waits for this.
  if (closedDuringRun_) DestroyWindow(window_);
}

void frmMain::onAboutCommand() {
  // A box opened from inside a run's Update would hold the run until it is closed.
  if (runInProgress_) return;
  const std::string about = AboutText(
      frmPageServer::Describe(LoadPageServerSetting(HKEY_CURRENT_USER, settingsKey_)),
      "HKEY_CURRENT_USER\\" + WideToUtf8(settingsKey_), "LICENSE.txt beside the programs", true, "\r\n");
  MessageBoxW(window_, Utf8ToWide(about).c_str(), L"About Morvex", MB_OK | MB_ICONINFORMATION);
}

void frmMain::onSaveReportCommand() {
  // The dialog's modal loop, opened inside a run's Update, would hold the run until it is closed.
  if (runInProgress_) return;
  basSaveReport::SaveReportAs(window_, lastRun_);
}

void frmMain::onClose() {
  saveSettings();
  if (runInProgress_) {
    // The run is waiting inside Update below this call: it stops after its current page, and the Start
    // handler destroys the window once it returns.
    closedDuringRun_ = true;
    progress_.PressCancel();
    ShowWindow(window_, SW_HIDE);
    return;
  }
  if (progress_.Shown()) progress_.Close();
  DestroyWindow(window_);
}

LRESULT CALLBACK frmMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  frmMain* self = FormOfWindow<frmMain>(window, message, lParam);
  return self != nullptr ? self->handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT frmMain::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) break;
      switch (LOWORD(wParam)) {
        case kSearchId: onSearchClicked(); return 0;
        case kBrowseId: onBrowseClicked(); return 0;
        case kShowAllId:
        case kIgnoreId: {
          // The user switches between clear and ticked only; a greyed box comes from a stored 2.
          HWND box = reinterpret_cast<HWND>(lParam);
          SetCheckValue(box, CheckValue(box) == 1 ? 0 : 1);
          return 0;
        }
        default: break;
      }
      break;
    case WM_ACTIVATE:
      // The focus comes back to the control that had it, as in a dialog.
      if (LOWORD(wParam) == WA_INACTIVE) {
        if (HWND focus = GetFocus(); focus != nullptr && IsChild(window_, focus)) lastFocus_ = focus;
      } else if (lastFocus_ != nullptr) {
        SetFocus(lastFocus_);
        return 0;
      }
      break;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == kPageServerCommand) {
        onPageServerCommand();
        return 0;
      }
      if ((wParam & 0xFFF0) == kAboutCommand) {
        onAboutCommand();
        return 0;
      }
      if ((wParam & 0xFFF0) == kSaveReportCommand) {
        onSaveReportCommand();
        return 0;
      }
      break;
    case WM_CLOSE:
      onClose();
      return 0;
    case WM_DPICHANGED:
      onDpiChanged(DpiOfChange(wParam), lParam);
      return 0;
    case WM_DESTROY:
      UnregisterDialogWindow(window_);
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace morvex::win32
