// morvex-bench-window.exe: one search through the real Win32 windows, Start pressed programmatically, for
// timing as a process against morvex-scan.exe. Usage: morvex-bench-window.exe SITE_DIR [--unique]
// Both boxes start ticked, as on a first start; --unique clears the show-all box. Messages go to stderr.
#include "AppContext.h"
#include "Console.h"
#include "PageFileServer.h"
#include "basSearch.h"
#include "frmMain.h"
#include "frmStatusBar.h"

// After windows.h, which frmMain.h brings.
#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// No box waits for a user; the run itself is unchanged.
class StderrMessages : public morvex::MessageSink {
 public:
  void ShowMessage(std::string_view sMessage) override {
    std::fprintf(stderr, "message: %.*s\n", static_cast<int>(sMessage.size()), sMessage.data());
  }
};

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = morvex::console::Arguments(argc, argv);
  std::string site;
  bool unique = false;
  for (size_t index = 1; index < arguments.size(); ++index) {
    if (arguments[index] == "--unique") {
      unique = true;
    } else {
      site = arguments[index];
    }
  }
  if (site.empty()) {
    std::fprintf(stderr, "usage: morvex-bench-window SITE_DIR [--unique]\n");
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  // The window reads and writes its settings; the user's own stay out of the measurement.
  const std::wstring settingsKey = L"Software\\MorvexBench\\" + std::to_wstring(GetCurrentProcessId());
  morvex::win32::frmStatusBar progress;
  StderrMessages messages;
  morvex::AppContext context(morvex::MakePageFileServerFactory(), progress, messages);
  size_t characters = 0;
  ULONGLONG pressedAt = 0, ranAt = 0, filledAt = 0;
  {
    morvex::win32::frmMain window(
        progress,
        [&context, &ranAt](const std::string& sFolder, bool bShowAll, bool bIgnoreBuiltIn) {
          morvex::SearchResult result = morvex::RunSearchDetailed(context, sFolder, bShowAll, bIgnoreBuiltIn);
          ranAt = GetTickCount64();
          return result;
        },
        [](const std::string&, const std::string& sStart, bool) { return sStart; }, settingsKey.c_str());
    window.Show(SW_SHOWNORMAL);
    HWND main = window.Handle();
    morvex::win32::SetWindowTextUtf8(FindWindowExW(main, nullptr, L"EDIT", nullptr), site);
    if (unique) {
      SendMessageW(FindWindowExW(main, nullptr, L"BUTTON", L"Show all tarvo instances on pages"), BM_SETCHECK,
                   BST_UNCHECKED, 0);
    }
    // The press as the button itself reports it; the run and the filling of the box end before it returns.
    pressedAt = GetTickCount64();
    morvex::win32::PressButton(main, L"Start");
    filledAt = GetTickCount64();
    characters = static_cast<size_t>(GetWindowTextLengthW(window.ResultsBox()));
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, settingsKey.c_str());
  // The run and the results box taking its report, apart: the box's layout is the window system's own work.
  std::printf("report %zu characters; run %.3f s, results box %.3f s\n", characters,
              static_cast<double>(ranAt - pressedAt) / 1000, static_cast<double>(filledAt - ranAt) / 1000);
  return characters == 0 ? 1 : 0;
}
