// Tests of the main window's "Save report..." and "About Morvex...": what a save writes, what a failed one
// tells and leaves, and both greyed during a run.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "AppContext.h"
#include "PageFileServer.h"
#include "QtText.h"
#include "UiTestSupport.h"
#include "frmMain.h"

namespace morvex {
namespace {

struct NoMessages : MessageSink {
  void ShowMessage(std::string_view) override {}
};

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The scan time is the one part a second run cannot repeat.
std::string WithoutTime(const std::string& html) {
  static const std::regex time(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d UTC)");
  return std::regex_replace(html, time, "TIME");
}

// The window over the example site, read by our page-file server; its save dialog answers with answer.
class MainWindowSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings(QStringLiteral("Morvex"), QStringLiteral("Morvex")).clear();
    ASSERT_TRUE(scratch.isValid());
    window = std::make_unique<frmMain>(
        progress,
        [this](const std::string& folder, bool showAll, bool ignoreBuiltIn) {
          if (duringRun) duringRun();
          return RunSearchDetailed(context, folder, showAll, ignoreBuiltIn);
        },
        [](QWidget*, const std::string&, const std::string& start, bool) { return start; });
    window->SetSaveFileChooser([this](QWidget*, bool htmlOffered, std::string& path, SavedFormat& format) {
      offers.push_back(htmlOffered);
      path = answer.first.string();
      format = answer.second;
      return true;
    });
    window->findChild<QLineEdit*>(QStringLiteral("txtUserPath"))->setText(QStringLiteral(MORVEX_SOURCE_DIR "/examples/site"));
    window->show();
  }

  void Start() { QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdSearch")), Qt::LeftButton); }
  ReportView* Found() const { return window->findChild<ReportView*>(QStringLiteral("txtFound")); }
  QAction* Action(const char* name) const { return window->findChild<QAction*>(QLatin1String(name)); }
  std::filesystem::path Scratch(const char* name) const { return std::filesystem::path(scratch.path().toStdString()) / name; }

  QTemporaryDir scratch;
  testing::MemoryProgress progress;
  NoMessages messages;
  AppContext context{MakePageFileServerFactory(), progress, messages};
  std::unique_ptr<frmMain> window;
  std::pair<std::filesystem::path, SavedFormat> answer;
  std::vector<bool> offers;
  std::function<void()> duringRun;
};

TEST_F(MainWindowSaveTest, TheTextIsTheBoxsAndTheHtmlIsTheCommandLinesApartFromTheTime) {
  Start();
  std::filesystem::create_directories(Scratch("reports"));
  answer = {Scratch("reports/found.tsv"), SavedFormat::kTsv};
  Action("save-report")->trigger();
  EXPECT_EQ(FileText(answer.first), Found()->Report());

  answer = {Scratch("reports/found.html"), SavedFormat::kHtml};
  Action("save-report")->trigger();
  QProcess scan;
  scan.start(QStringLiteral(MORVEX_SCAN_EXE),
             {QStringLiteral("--format"), QStringLiteral("html"), QStringLiteral("--show-all"), QStringLiteral("-o"),
              ToQString(Scratch("reports/scan.html").string()), QStringLiteral(MORVEX_SOURCE_DIR "/examples/site")});
  ASSERT_TRUE(scan.waitForFinished(60000));
  const std::string saved = FileText(answer.first);
  EXPECT_NE(saved.find("file:"), std::string::npos) << "links to the page files outside the report's folder";
  EXPECT_EQ(WithoutTime(saved), WithoutTime(FileText(Scratch("reports/scan.html"))));
  EXPECT_EQ(offers, (std::vector<bool>{true, true}));
}

TEST_F(MainWindowSaveTest, AFailedWriteIsToldAndLeavesTheFileAsItWas) {
  Start();
  std::ofstream(Scratch("old.tsv"), std::ios::binary) << "old";
  struct Case {
    const char* name;
    std::filesystem::path target;
    std::filesystem::path untouched;
  };
  std::filesystem::create_directories(Scratch("folder.tsv"));
  const Case cases[] = {{"a folder in the way", Scratch("folder.tsv"), Scratch("old.tsv")},
                        {"a folder that does not exist", Scratch("gone/found.tsv"), Scratch("old.tsv")}};
  for (const Case& c : cases) {
    answer = {c.target, SavedFormat::kTsv};
    QString told;
    testing::ModalDriver driver([&told](QWidget* modal) {
      told = qobject_cast<QMessageBox*>(modal)->text();
      modal->close();
    });
    Action("save-report")->trigger();
    EXPECT_TRUE(told.contains(ToQString(c.target.string()))) << c.name << ": " << told.toStdString();
    EXPECT_EQ(FileText(c.untouched), "old") << c.name;
    EXPECT_TRUE(std::filesystem::is_directory(Scratch("folder.tsv"))) << c.name;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path().toStdString()),
                          std::filesystem::directory_iterator()), 2) << "no scratch file left behind";
}

TEST_F(MainWindowSaveTest, SaveAndAboutSitInTheContextMenuAndAreGreyedDuringARunSaveUntilThereIsAReport) {
  EXPECT_FALSE(Action("save-report")->isEnabled()) << "no report yet";
  EXPECT_TRUE(Action("about")->isEnabled());
  std::vector<bool> duringRunEnabled;
  duringRun = [&] { duringRunEnabled = {Action("save-report")->isEnabled(), Action("about")->isEnabled()}; };
  window->findChild<ValueCheckBox*>(QStringLiteral("chkShowAllInstances"))->SetValue(0);
  Start();
  EXPECT_EQ(duringRunEnabled, (std::vector<bool>{false, false}));
  EXPECT_TRUE(Action("save-report")->isEnabled());
  std::unique_ptr<QMenu> after(Found()->CreateContextMenu());
  EXPECT_TRUE(after->actions().contains(Action("save-report")));
  EXPECT_TRUE(after->actions().contains(Action("about")));

  // A --unique run keeps no placements for the HTML page's counts: only the text is offered.
  answer = {Scratch("unique.tsv"), SavedFormat::kTsv};
  Action("save-report")->trigger();
  EXPECT_EQ(offers, std::vector<bool>{false});

  QString about;
  testing::ModalDriver driver([&about](QWidget* modal) {
    about = qobject_cast<QMessageBox*>(modal)->text();
    modal->close();
  });
  Action("about")->trigger();
  for (const char* line : {"\nCopyright ", "Licence: ", "Page server: our page-file server", "Settings: ", "Programs: "})
    EXPECT_TRUE(about.contains(QLatin1String(line))) << line << " in " << about.toStdString();
}

}  // namespace
}  // namespace morvex
