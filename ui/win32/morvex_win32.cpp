// morvex.exe: the Windows desktop program: the Win32 main window over the page server its settings name at
// each run (our page-file server by default), one progress window, message boxes.
#include "AppContext.h"
#include "ComPageServer.h"
#include "MessageBoxSink.h"
#include "PageWorkers.h"
#include "RegistrySettings.h"
#include "basBrowseFolder.h"
#include "basSearch.h"
#include "frmMain.h"
#include "frmStatusBar.h"

#include <commctrl.h>
#include <objbase.h>

#include <string>
#include <utility>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  // The folder browser is a shell window and wants an apartment on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  morvex::win32::frmStatusBar progress;
  morvex::win32::MessageBoxSink messages(nullptr, progress);
  std::string serverInUse = morvex::win32::LoadPageServerSetting();
  morvex::AppContext context(morvex::MakePageServerFactory(serverInUse), progress, messages);
  context.serverChoiceHint = morvex::ServerChoiceHint::kChooseInWindow;
  // Workers change nothing the window shows: pages are still told, counted and cancelled in page order.
  context.pageWorkers = morvex::DefaultPageWorkers(serverInUse);
  int exitCode = 0;
  {
    morvex::win32::frmMain window(
        progress,
        [&context, &serverInUse](const std::string& sFolder, bool bShowAll, bool bIgnoreBuiltIn) {
          // Every run reads the setting afresh: a server chosen since, in the dialog or by hand, takes the
          // place of the one an earlier run left held.
          if (std::string chosen = morvex::win32::LoadPageServerSetting(); chosen != serverInUse) {
            context.automation.reset();
            context.createAutomation = morvex::MakePageServerFactory(chosen);
            context.pageWorkers = morvex::DefaultPageWorkers(chosen);
            serverInUse = std::move(chosen);
          }
          return morvex::RunSearchDetailed(context, sFolder, bShowAll, bIgnoreBuiltIn);
        },
        morvex::win32::basBrowseFolder::BrowseFolder);
    window.SetPageServerTest(morvex::TestPageServer);
    messages.SetMainWindow(window.Handle());
    window.Show(showCommand);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) morvex::win32::DispatchWithDialogKeys(message);
    exitCode = static_cast<int>(message.wParam);
  }
  progress.Close();
  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
