// morvex-bench-window: one search through the real windows, clicked programmatically, for timing as a process.
// Usage: morvex-bench-window SITE_DIR [--unique] [--cancel-after-page N] [--box-floor] [--copy-all]
// Both boxes start ticked, as on a first start; --unique clears the show-all box.
// Prints the report's size, the time from Start to the report drawn in the box, and the longest the event loop
// went unserved from Start until then (a timer that should fire every 5 ms tells); with --cancel-after-page, how
// many pages the run scanned after the press. With --box-floor it then times the results box taking the same
// text once more: what the box's own insertion costs, whoever hands it the report. With --copy-all it times
// Ctrl+A and then Ctrl+C sent to the box as key presses, each until the event loop is free again, and checks
// that the clipboard holds the report.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "AppContext.h"
#include "PageFileServer.h"
#include "PageWorkers.h"
#include "QtText.h"
#include "ReportView.h"
#include "TextUtil.h"
#include "basSearch.h"
#include "frmMain.h"
#include "frmStatusBar.h"

namespace {

// Messages go to stderr so that no box waits for a user; the run itself is unchanged.
class StderrMessages : public morvex::MessageSink {
 public:
  void ShowMessage(std::string_view sMessage) override {
    std::fprintf(stderr, "message: %.*s\n", static_cast<int>(sMessage.size()), sMessage.data());
  }
};

// The real progress window that, once, presses its own Cancel through the event queue after a given page, the
// way a user's click arrives while the run is busy.
class PressingProgress : public morvex::frmStatusBar {
 public:
  explicit PressingProgress(int pressAfterPage) : pressAfterPage_(pressAfterPage) {}
  int PagesShown() const { return pagesShown_; }
  qint64 PressedAtNs() const { return pressedAtNs_; }
  QElapsedTimer clock;

 protected:
  void ShowPercent(int32_t nPercent) override {
    frmStatusBar::ShowPercent(nPercent);
    if (++pagesShown_ != pressAfterPage_) return;
    auto* cancel = findChild<QPushButton*>(QStringLiteral("cmdCancel"));
    const QPointF inside(cancel->width() / 2.0, cancel->height() / 2.0);
    const QPointF global = cancel->mapToGlobal(inside);
    QCoreApplication::postEvent(cancel, new QMouseEvent(QEvent::MouseButtonPress, inside, global, Qt::LeftButton,
                                                        Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(cancel, new QMouseEvent(QEvent::MouseButtonRelease, inside, global, Qt::LeftButton,
                                                        Qt::NoButton, Qt::NoModifier));
    pressedAtNs_ = clock.nsecsElapsed();
  }

 private:
  int pressAfterPage_;
  int pagesShown_ = 0;
  qint64 pressedAtNs_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  morvex::InstallReportViewAccessibility();

  std::string site;
  bool showAll = true;
  int cancelAfterPage = -1;
  bool boxFloor = false;
  bool copyAll = false;
  for (int index = 1; index < argc; ++index) {
    if (std::strcmp(argv[index], "--unique") == 0) {
      showAll = false;
    } else if (std::strcmp(argv[index], "--box-floor") == 0) {
      boxFloor = true;
    } else if (std::strcmp(argv[index], "--copy-all") == 0) {
      copyAll = true;
    } else if (std::strcmp(argv[index], "--cancel-after-page") == 0 && index + 1 < argc) {
      cancelAfterPage = std::atoi(argv[++index]);
    } else {
      site = argv[index];
    }
  }
  if (site.empty()) {
    std::fprintf(stderr, "usage: morvex-bench-window SITE_DIR [--unique] [--cancel-after-page N] [--box-floor] "
                 "[--copy-all]\n");
    return 2;
  }

  // The window reads and writes its settings; keep the user's own store out of the measurement.
  QTemporaryDir settingsDir;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());

  PressingProgress progress(cancelAfterPage);
  StderrMessages messages;
  morvex::AppContext context(morvex::MakePageFileServerFactory(), progress, messages);
  context.pageWorkers = morvex::DefaultPageWorkers("");  // as the window runs
  qint64 runReturnedNs = -1;  // the search has returned its result; what follows is the window's
  morvex::frmMain window(
      progress,
      [&context, &progress, &runReturnedNs](const std::string& sFolder, bool bShowAll, bool bIgnoreBuiltIn) {
        morvex::SearchResult result = morvex::RunSearchDetailed(context, sFolder, bShowAll, bIgnoreBuiltIn);
        runReturnedNs = progress.clock.nsecsElapsed();
        return result;
      },
      [](QWidget*, const std::string&, const std::string& sStart, bool) { return sStart; });
  window.show();
  window.findChild<QLineEdit*>(QStringLiteral("txtUserPath"))->setText(QString::fromLocal8Bit(site.c_str()));
  window.findChild<morvex::ValueCheckBox*>(QStringLiteral("chkShowAllInstances"))->SetValue(showAll ? 1 : 0);

  auto* found = window.findChild<morvex::ReportView*>(QStringLiteral("txtFound"));
  // The report counts as shown once the box has painted it.
  struct PaintWatch : QObject {
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) painted = true;
      return false;
    }
  } paints;
  found->viewport()->installEventFilter(&paints);
  QTimer heartbeat;
  qint64 lastBeatNs = 0;
  qint64 longestWaitNs = 0;
  qint64 handoverWaitNs = -1;  // from the search's return to the first beat after the box took the report
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    const qint64 now = progress.clock.nsecsElapsed();
    longestWaitNs = std::max(longestWaitNs, now - lastBeatNs);
    if (runReturnedNs >= 0 && handoverWaitNs < 0) handoverWaitNs = now - std::max(lastBeatNs, runReturnedNs);
    lastBeatNs = now;
  });
  heartbeat.start(5);

  progress.clock.start();
  window.findChild<QPushButton*>(QStringLiteral("cmdSearch"))->click();
  const qint64 endNs = progress.clock.nsecsElapsed();
  paints.painted = false;
  while (!paints.painted) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const qint64 shownNs = progress.clock.nsecsElapsed();
  while (handoverWaitNs < 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  heartbeat.stop();

  const size_t bytes = found->Report().size();
  std::printf("report %zu bytes, %d pages shown, run %.3f s, shown %.3f s, event-loop wait: longest %.3f s, "
              "while the box takes the report %.3f s\n",
              bytes, progress.PagesShown(), static_cast<double>(endNs) / 1e9, static_cast<double>(shownNs) / 1e9,
              static_cast<double>(longestWaitNs) / 1e9, static_cast<double>(handoverWaitNs) / 1e9);
  if (boxFloor) {
    std::string text = found->Report();
    QElapsedTimer insertion;
    insertion.start();
    found->SetText(std::move(text));
    std::printf("the box alone takes %.3f s for the same text\n", static_cast<double>(insertion.nsecsElapsed()) / 1e9);
  }
  if (copyAll) {
    found->setFocus();
    QCoreApplication::processEvents();
    const auto press = [found](int key) {
      QElapsedTimer timer;
      timer.start();
      QKeyEvent down(QEvent::KeyPress, key, Qt::ControlModifier);
      QCoreApplication::sendEvent(found, &down);
      QKeyEvent up(QEvent::KeyRelease, key, Qt::ControlModifier);
      QCoreApplication::sendEvent(found, &up);
      QCoreApplication::processEvents();
      return static_cast<double>(timer.nsecsElapsed()) / 1e9;
    };
    const double selectAll = press(Qt::Key_A);
    const double copy = press(Qt::Key_C);
    const bool same = QGuiApplication::clipboard()->text() == morvex::ToQString(found->Report());
    std::printf("Ctrl+A %.3f s, Ctrl+C %.3f s, clipboard %s the report\n", selectAll, copy,
                same ? "holds" : "does NOT hold");
  }
  if (cancelAfterPage > 0) {
    std::printf("cancel pressed after page %d; run stopped after page %d, %.3f ms after the press\n",
                cancelAfterPage, progress.PagesShown(), static_cast<double>(endNs - progress.PressedAtNs()) / 1e6);
  }
  window.close();
  return bytes == 0 ? 1 : 0;
}
