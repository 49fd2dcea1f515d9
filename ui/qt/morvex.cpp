// morvex: the desktop program: the main window over the page-file server, one progress window, message boxes.
#include <QApplication>

#include "AppContext.h"
#include "MessageBoxSink.h"
#include "PageFileServer.h"
#include "PageWorkers.h"
#include "ReportView.h"
#include "basBrowseFolder.h"
#include "basSearch.h"
#include "frmMain.h"
#include "frmStatusBar.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Morvex"));
  QApplication::setOrganizationName(QStringLiteral("Morvex"));
  QApplication::setDesktopFileName(QStringLiteral("morvex"));
  QApplication::setWindowIcon(morvex::MorvexIcon());
  morvex::InstallReportViewAccessibility();
  morvex::InstallStatusBarAccessibility();

  morvex::frmStatusBar progress;
  morvex::MessageBoxSink messages;
  morvex::AppContext context(morvex::MakePageFileServerFactory(), progress, messages);
  // Workers change nothing the window shows: pages are still told, counted and cancelled in page order.
  context.pageWorkers = morvex::DefaultPageWorkers("");

  morvex::frmMain window(
      progress,
      [&context](const std::string& sFolder, bool bShowAll, bool bIgnoreBuiltIn) {
        return morvex::RunSearchDetailed(context, sFolder, bShowAll, bIgnoreBuiltIn);
      },
      basBrowseFolder::BrowseFolder);
  messages.SetOwner(&window);
  messages.SetProgressWindow(&progress);
  window.show();
  return QApplication::exec();
}
