// Tests of the main window: settings, caption, what Start and Browse hand over, and behaviour during a run.
#include "frmMain.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QAccessible>
#include <QContextMenuEvent>
#include <QMenu>
#include <QScrollBar>
#include <QtTest/QTest>
#include <filesystem>
#include <optional>
#include <vector>

#include "DbfWriter.h"
#include "MessageBoxSink.h"
#include "QtText.h"
#include "ScriptedAutomation.h"
#include "basSearch.h"
#include "frmStatusBar.h"
#include "UiTestSupport.h"
#include "TextUtil.h"
#include "Version.h"

namespace morvex {
namespace {

using testing::MemoryProgress;
using testing::ModalDismisser;
using testing::ModalDriver;

// The run result behind a report text: CR LF lines after a header, fields split at tabs; no text is a failed run.
SearchResult ResultOf(const std::string& report) {
  SearchResult result;
  if (report.empty()) {
    result.outcome = RunOutcome::kUnexpectedError;
    return result;
  }
  result.showAll = report.starts_with("Pg Proj");
  size_t at = report.find("\r\n");
  if (at == std::string::npos) return result;  // "No items found"
  for (at += 2; at < report.size();) {
    const size_t end = report.find("\r\n", at);
    const std::string_view line(report.data() + at, (end == std::string::npos ? report.size() : end) - at);
    std::vector<std::string_view> fields;
    for (size_t start = 0;;) {
      const size_t tab = line.find('\t', start);
      fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
      if (tab == std::string_view::npos) break;
      start = tab + 1;
    }
    result.findings.Add(fields.data(), fields.size());
    at = end == std::string::npos ? report.size() : end + 2;
  }
  return result;
}

struct RunCall {
  std::string folder;
  bool showAll;
  bool ignoreBuiltIn;
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { Store().clear(); }

  static QSettings Store() { return QSettings(QStringLiteral("Morvex"), QStringLiteral("Morvex")); }
  static void StoreSetting(const char* key, const QString& value) {
    QSettings store = Store();
    store.setValue(QStringLiteral("Settings/") + QLatin1String(key), value);
  }
  static QString StoredSetting(const char* key) {
    return Store().value(QStringLiteral("Settings/") + QLatin1String(key)).toString();
  }

  // A window whose Start records its arguments and answers with report (after running duringRun, if set).
  std::unique_ptr<frmMain> MakeWindow() {
    auto window = std::make_unique<frmMain>(
        progress,
        [this](const std::string& folder, bool showAll, bool ignoreBuiltIn) {
          runs.push_back({folder, showAll, ignoreBuiltIn});
          if (duringRun) duringRun();
          return ResultOf(report);
        },
        [this](QWidget*, const std::string& title, const std::string& start, bool newStyle) {
          browses.push_back({title, start, newStyle});
          return browseAnswer.value_or(start);
        });
    return window;
  }

  static QLineEdit* PathBox(frmMain& window) { return window.findChild<QLineEdit*>(QStringLiteral("txtUserPath")); }
  static ValueCheckBox* Box(frmMain& window, const char* name) {
    return window.findChild<ValueCheckBox*>(QLatin1String(name));
  }
  static ReportView* Found(frmMain& window) { return window.findChild<ReportView*>(QStringLiteral("txtFound")); }
  static QString RunNote(frmMain& window) { return window.findChild<QLabel*>(QStringLiteral("lblRunNote"))->text(); }
  static QPushButton* Button(frmMain& window, const char* name) {
    return window.findChild<QPushButton*>(QLatin1String(name));
  }

  struct BrowseCall {
    std::string title;
    std::string start;
    bool newStyle;
  };

  MemoryProgress progress;
  std::vector<RunCall> runs;
  std::vector<BrowseCall> browses;
  std::string report;
  std::optional<std::string> browseAnswer;
  std::function<void()> duringRun;
};

// --- Settings ---

TEST_F(MainWindowTest, FirstStartHasEmptyPathAndBothBoxesTicked) {
  auto window = MakeWindow();
  EXPECT_EQ(PathBox(*window)->text(), QString());
  EXPECT_EQ(Box(*window, "chkShowAllInstances")->Value(), 1);
  EXPECT_EQ(Box(*window, "chkIgnoreBuiltInProjects")->Value(), 1);
}

TEST_F(MainWindowTest, ClosingWritesTheThreeSettingsAndTheNextStartReadsThemBack) {
  {
    auto window = MakeWindow();
    PathBox(*window)->setText(QStringLiteral("/srv/sites/Anlage Süd, Nord; @alt "));
    Box(*window, "chkShowAllInstances")->SetValue(0);
    window->show();
    window->close();
  }
  EXPECT_EQ(StoredSetting("UserPath"), QStringLiteral("/srv/sites/Anlage Süd, Nord; @alt "));
  EXPECT_EQ(StoredSetting("ShowInstances"), QStringLiteral("0"));
  EXPECT_EQ(StoredSetting("IgnoreBuiltInProjects"), QStringLiteral("1"));

  auto again = MakeWindow();
  EXPECT_EQ(PathBox(*again)->text(), QStringLiteral("/srv/sites/Anlage Süd, Nord; @alt "));
  EXPECT_EQ(Box(*again, "chkShowAllInstances")->Value(), 0);
  EXPECT_EQ(Box(*again, "chkIgnoreBuiltInProjects")->Value(), 1);
}

TEST_F(MainWindowTest, NothingIsWrittenBeforeTheWindowCloses) {
  auto window = MakeWindow();
  PathBox(*window)->setText(QStringLiteral("/typed"));
  QTest::mouseClick(Box(*window, "chkIgnoreBuiltInProjects"), Qt::LeftButton);
  EXPECT_FALSE(Store().contains(QStringLiteral("Settings/UserPath")));
}

TEST_F(MainWindowTest, StoredTwoShowsGreyedPassesFalseAndIsWrittenBackAsTwo) {
  StoreSetting("ShowInstances", QStringLiteral("2"));
  StoreSetting("IgnoreBuiltInProjects", QStringLiteral("2"));
  auto window = MakeWindow();
  EXPECT_EQ(Box(*window, "chkShowAllInstances")->checkState(), Qt::PartiallyChecked);
  window->show();
  QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_FALSE(runs[0].showAll);
  EXPECT_FALSE(runs[0].ignoreBuiltIn);
  window->close();
  EXPECT_EQ(StoredSetting("ShowInstances"), QStringLiteral("2"));
}

TEST_F(MainWindowTest, UserTogglesOnlyBetweenClearAndTicked) {
  StoreSetting("ShowInstances", QStringLiteral("2"));
  auto window = MakeWindow();
  window->show();
  ValueCheckBox* box = Box(*window, "chkShowAllInstances");
  std::vector<int> seen;
  for (int click = 0; click < 4; ++click) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    seen.push_back(box->Value());
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 0, 1, 0}));
}

TEST_F(MainWindowTest, StoredValuesOtherThanZeroOneTwoFallBackToTicked) {
  StoreSetting("ShowInstances", QStringLiteral("7"));
  StoreSetting("IgnoreBuiltInProjects", QStringLiteral("abc"));
  auto window = MakeWindow();
  EXPECT_EQ(Box(*window, "chkShowAllInstances")->Value(), 1);
  EXPECT_EQ(Box(*window, "chkIgnoreBuiltInProjects")->Value(), 1);
}

TEST(CheckValueFromSetting, ConvertsLikeAWholeNumberAndRejectsTheRest) {
  EXPECT_EQ(frmMain::CheckValueFromSetting(QStringLiteral("0")), 0);
  EXPECT_EQ(frmMain::CheckValueFromSetting(QStringLiteral("2")), 2);
  EXPECT_EQ(frmMain::CheckValueFromSetting(QStringLiteral(" 0 ")), 0);
  EXPECT_EQ(frmMain::CheckValueFromSetting(QStringLiteral("0.4")), 0);
  EXPECT_EQ(frmMain::CheckValueFromSetting(QStringLiteral("2.5")), 2);  // halves to even
  EXPECT_EQ(frmMain::CheckValueFromSetting(QStringLiteral("-1")), 1);
  EXPECT_EQ(frmMain::CheckValueFromSetting(QStringLiteral("3")), 1);
  EXPECT_EQ(frmMain::CheckValueFromSetting(QStringLiteral("65536")), 1);
  EXPECT_EQ(frmMain::CheckValueFromSetting(QString()), 1);
  EXPECT_EQ(frmMain::CheckValueFromSetting(QStringLiteral("nan")), 1);
  EXPECT_EQ(frmMain::CheckValueFromSetting(QStringLiteral("0x1")), 1);
}

// --- Caption and layout ---

TEST_F(MainWindowTest, CaptionCarriesVersionAndComment) {
  auto window = MakeWindow();
  const QString expected = QStringLiteral("Veltra Tarvo Reserved Keyword Search v%1.%2.%3 %4")
                               .arg(kVersionMajor)
                               .arg(kVersionMinor)
                               .arg(kVersionRevision)
                               .arg(QString::fromUtf8(kVersionComment));
  EXPECT_EQ(window->windowTitle(), expected);
  EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("Veltra Tarvo Reserved Keyword Search v1.")));
}

TEST_F(MainWindowTest, TitleBarCarriesTheRenderedIconFromSmallToLarge) {
  auto window = MakeWindow();
  const QList<QSize> sizes = window->windowIcon().availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(16, 16))) << sizes.size();
  EXPECT_TRUE(sizes.contains(QSize(256, 256))) << sizes.size();
}

TEST_F(MainWindowTest, ControlsSitWhereTheTwipsPutThem) {
  auto window = MakeWindow();
  struct Placement {
    const char* name;
    QRect pixels;
  };
  const Placement placements[] = {
      {"Label1", {16, 16, 53, 13}},       {"txtUserPath", {16, 32, 449, 25}},
      {"cmdBrowse", {472, 32, 73, 25}},   {"chkShowAllInstances", {16, 64, 201, 17}},
      {"chkIgnoreBuiltInProjects", {232, 64, 201, 17}}, {"cmdSearch", {472, 64, 73, 25}},
      {"Label3", {16, 88, 58, 13}},       {"txtFound", {16, 104, 529, 353}},
  };
  for (const Placement& placement : placements) {
    auto* control = window->findChild<QWidget*>(QLatin1String(placement.name));
    ASSERT_NE(control, nullptr) << placement.name;
    if (qobject_cast<QLabel*>(control) != nullptr) {
      // Captions may grow to the right when the desktop font is wider than the design's.
      EXPECT_EQ(control->pos(), placement.pixels.topLeft()) << placement.name;
      EXPECT_EQ(control->height(), placement.pixels.height()) << placement.name;
      EXPECT_GE(control->width(), placement.pixels.width()) << placement.name;
    } else {
      EXPECT_EQ(control->geometry(), placement.pixels) << placement.name;
    }
  }
  EXPECT_EQ(window->size(), QSize(560, 472));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  for (const char* name : {"cmdBrowse", "cmdSearch"}) {
    EXPECT_FALSE(Button(*window, name)->isDefault()) << name;
    EXPECT_FALSE(Button(*window, name)->autoDefault()) << name;
  }
}

TEST_F(MainWindowTest, ShownWindowHasItsOuterFrameCentredOnTheScreen) {
  auto window = MakeWindow();
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  const QRect frame = window->frameGeometry();
  ASSERT_NE(frame, window->geometry()) << "this platform draws no frame, so there is nothing to centre";
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_LE(std::abs(frame.center().x() - screen.center().x()), 1) << frame.x() << "," << frame.y();
  EXPECT_LE(std::abs(frame.center().y() - screen.center().y()), 1) << frame.x() << "," << frame.y();
}

TEST_F(MainWindowTest, EveryCaptionFitsItsControl) {
  auto window = MakeWindow();
  for (const char* name : {"Label1", "Label3", "chkShowAllInstances", "chkIgnoreBuiltInProjects"}) {
    auto* control = window->findChild<QWidget*>(QLatin1String(name));
    EXPECT_LE(control->sizeHint().width(), control->width()) << name << " would be clipped";
  }
  for (const char* name : {"cmdBrowse", "cmdSearch"}) {
    QPushButton* button = Button(*window, name);
    EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 8, button->width()) << name;
  }
}

TEST_F(MainWindowTest, PathBoxHasTheFocusAndTabWalksTheDesignOrderFromEveryControlBothWays) {
  auto window = MakeWindow();
  window->show();
  QApplication::setActiveWindow(window.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  const std::vector<QString> order{QStringLiteral("txtUserPath"), QStringLiteral("txtFound"),
                                   QStringLiteral("cmdSearch"),   QStringLiteral("chkShowAllInstances"),
                                   QStringLiteral("cmdBrowse"),   QStringLiteral("chkIgnoreBuiltInProjects")};
  const auto focused = [] {
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
  };
  EXPECT_EQ(focused(), order[0]);
  const auto press = [&](const QString& from, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    window->findChild<QWidget*>(from)->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    return focused();
  };
  const size_t count = order.size();
  for (size_t at = 0; at < count; ++at) {
    EXPECT_EQ(press(order[at], Qt::Key_Tab, Qt::NoModifier), order[(at + 1) % count])
        << order[at].toStdString();
    EXPECT_EQ(press(order[at], Qt::Key_Backtab, Qt::ShiftModifier), order[(at + count - 1) % count])
        << order[at].toStdString();
  }
}

// --- Start ---

TEST_F(MainWindowTest, StartPassesThePathUntrimmedWithTheFlags) {
  auto window = MakeWindow();
  PathBox(*window)->setText(QStringLiteral("/srv/site "));
  Box(*window, "chkIgnoreBuiltInProjects")->SetValue(0);
  QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].folder, "/srv/site ");
  EXPECT_TRUE(runs[0].showAll);
  EXPECT_FALSE(runs[0].ignoreBuiltIn);
}

TEST_F(MainWindowTest, StartShowsOneFindingPerLineAtTheTopAndCopyingAllGivesTheReport) {
  report = "Project\tLibrary\tObject\tPropertyname\r\nPlant\tvalves\tvalve_h\tTEXT\r\nPlant\tvalves\tvalve_h\tFONT\r\n";
  for (int line = 0; line < 200; ++line) report += "Plant" + std::to_string(line) + "\tvalves\tvalve_h\tVISIBLE\r\n";
  auto window = MakeWindow();
  window->show();
  ReportView* found = Found(*window);
  found->SetText("old results\nfurther down");
  found->Select({1, 3}, {1, 5});
  found->verticalScrollBar()->setValue(found->verticalScrollBar()->maximum());
  QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);

  EXPECT_EQ(found->Text().LineCount(), 204u);  // the lines and the empty one after the last CR LF
  EXPECT_EQ(found->Text().LineBytes(1), "Plant\tvalves\tvalve_h\tTEXT");
  EXPECT_TRUE(found->Report() == report);
  EXPECT_EQ(found->verticalScrollBar()->value(), 0) << "a new report shows from its top";
  EXPECT_TRUE(found->Selection().Empty());
  EXPECT_EQ(found->Selection().Caret(), (TextPoint{0, 0}));

  found->SelectAll();
  found->Copy();
  EXPECT_TRUE(QApplication::clipboard()->text() == QString::fromStdString(report));
}

TEST_F(MainWindowTest, ACopyOfAnyPartIsItsCharactersAsTheyAreWithTheirLineEnds) {
  auto window = MakeWindow();
  ReportView* found = Found(*window);
  found->SetText("Project\tLibrary\tObject\tPropertyname\r\nPl\u00a0nt\tv\tx\tTEXT\r\nP2\tv\ty\tFONT\nlast\r\n");
  struct Case {
    TextPoint from, to;
    QString expected;
  };
  const std::vector<Case> cases = {
      {{0, 0}, {0, 35}, QStringLiteral("Project\tLibrary\tObject\tPropertyname")},
      {{0, 35}, {1, 0}, QStringLiteral("\r\n")},                       // the line end alone
      {{0, 31}, {1, 3}, QStringLiteral("name\r\nPl\u00a0")},          // across it, a no-break space kept
      {{1, 0}, {2, 0}, QStringLiteral("Pl\u00a0nt\tv\tx\tTEXT\r\n")},  // a line with its end
      {{2, 7}, {3, 2}, QStringLiteral("FONT\nla")},                    // a lone LF stays one
      {{3, 0}, {9, 0}, QStringLiteral("last\r\n")},                    // up to the empty last line
  };
  for (const Case& c : cases) {
    found->Select(c.to, c.from);  // selected backwards, as a drag upwards does
    found->Copy();
    EXPECT_EQ(QApplication::clipboard()->text(), c.expected) << c.from.line << ":" << c.from.column;
    EXPECT_EQ(found->CopyOfSelection(), c.expected);
  }
  found->SelectAll();
  found->Copy();
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), found->Report());
}

// The box's keys, each case from a caret at the given place of a 60-line report in a box that shows fewer.
TEST_F(MainWindowTest, ResultsBoxKeysMoveAndSelectAsATextBoxDoes) {
  auto window = MakeWindow();
  window->show();
  ReportView* found = Found(*window);
  std::string text = "Pg Proj\tPage\tAN\r\n";
  for (int line = 1; line < 60; ++line) text += "Plant" + std::to_string(line) + "\tMain\t7\r\n";
  found->SetText(text);
  found->setFocus();
  struct Press {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
  };
  struct Case {
    const char* name;
    TextPoint from;
    std::vector<Press> presses;
    std::string selected;
    TextPoint caret;
  };
  const auto shift = Qt::ShiftModifier;
  const auto ctrl = Qt::ControlModifier;
  const size_t page = static_cast<size_t>(found->verticalScrollBar()->pageStep());
  ASSERT_LT(page, 40u) << "the box must show fewer lines than the report has";
  const std::vector<Case> cases = {
      {"shift+right twice", {0, 0}, {{Qt::Key_Right, shift}, {Qt::Key_Right, shift}}, "Pg", {0, 2}},
      {"shift+left across a line end", {1, 0}, {{Qt::Key_Left, shift}}, "\r\n", {0, 15}},
      {"shift+down", {1, 2}, {{Qt::Key_Down, shift}}, "ant1\tMain\t7\r\nPl", {2, 2}},
      {"ctrl+shift+right", {1, 0}, {{Qt::Key_Right, ctrl | shift}}, "Plant1\t", {1, 7}},
      {"shift+end", {1, 7}, {{Qt::Key_End, shift}}, "Main\t7", {1, 13}},
      {"ctrl+end", {1, 0}, {{Qt::Key_End, ctrl}}, "", {60, 0}},
      {"ctrl+home", {5, 3}, {{Qt::Key_Home, ctrl}}, "", {0, 0}},
      {"shift+page down", {0, 0}, {{Qt::Key_PageDown, shift}}, text.substr(0, text.find("Plant" + std::to_string(page))),
       {page, 0}},
      {"ctrl+a", {3, 3}, {{Qt::Key_A, ctrl}}, text, {60, 0}},
  };
  for (const Case& c : cases) {
    found->Select(c.from, c.from);
    for (const Press& press : c.presses) QTest::keyClick(found, press.key, press.modifiers);
    EXPECT_EQ(found->Selection().Selected(found->Text()), c.selected) << c.name;
    EXPECT_EQ(found->Selection().Caret(), c.caret) << c.name;
    if (c.presses[0].key == Qt::Key_A) continue;  // selecting all leaves the view where the user reads
    // The caret's line is on screen.
    const auto first = static_cast<size_t>(found->verticalScrollBar()->value());
    EXPECT_TRUE(first <= c.caret.line && c.caret.line < first + page) << c.name;
  }
  QTest::keyClick(found, Qt::Key_C, ctrl);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), text);
}

TEST_F(MainWindowTest, ResultsBoxSelectsByDragShiftClickAndDoubleClick) {
  auto window = MakeWindow();
  window->show();
  ReportView* found = Found(*window);
  found->SetText("Pg Proj\tPage\r\nPlant_1\tMain\r\nPlant_2\tValves\r\n");
  QWidget* viewport = found->viewport();
  const auto at = [found](TextPoint point) {
    const QRect cell = found->CharacterRect(point);
    return QPoint(cell.left() + 1, cell.center().y());
  };
  QTest::mousePress(viewport, Qt::LeftButton, {}, at({0, 3}));
  QTest::mouseMove(viewport, at({1, 5}));
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, at({1, 5}));
  EXPECT_EQ(found->CopyOfSelection(), QStringLiteral("Proj\tPage\r\nPlant"));

  QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, at({2, 2}));
  EXPECT_EQ(found->CopyOfSelection(), QStringLiteral("Proj\tPage\r\nPlant_1\tMain\r\nPl")) << "the anchor stays";

  QTest::mouseDClick(viewport, Qt::LeftButton, {}, at({2, 10}));
  EXPECT_EQ(found->CopyOfSelection(), QStringLiteral("Valves"));

  // Held below the box, a drag scrolls on by itself and selects what comes into view.
  std::string lines;
  for (int line = 0; line < 100; ++line) lines += "line " + std::to_string(line) + "\r\n";
  found->SetText(lines);
  const QPoint below(20, viewport->height() + 1);
  QTest::mousePress(viewport, Qt::LeftButton, {}, at({0, 2}));
  QTest::mouseMove(viewport, below);
  for (int tick = 0; tick < 80 && found->verticalScrollBar()->value() < 4; ++tick) QTest::qWait(25);
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, below);
  const auto first = static_cast<size_t>(found->verticalScrollBar()->value());
  EXPECT_GE(first, 4u);
  EXPECT_EQ(found->Selection().Anchor(), (TextPoint{0, 2}));
  EXPECT_GE(found->Selection().Caret().line, first);
}

TEST_F(MainWindowTest, ResultsBoxContextMenuCopiesAndSelectsAll) {
  auto window = MakeWindow();
  window->show();
  ReportView* found = Found(*window);
  found->SetText("a\tb\r\nc\r\n");
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), found->viewport()->mapToGlobal(QPoint(10, 10)));
  QCoreApplication::sendEvent(found->viewport(), &event);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr) << "a right click opens the menu";
  QStringList captions;
  for (QAction* action : menu->actions()) {
    if (!action->isSeparator()) captions << action->text();
  }
  EXPECT_EQ(captions, (QStringList{QStringLiteral("&Copy"), QStringLiteral("Select All"),
                                   QStringLiteral("&Save report..."), QStringLiteral("&About Morvex...")}));
  auto* copy = menu->findChild<QAction*>(QStringLiteral("edit-copy"));
  EXPECT_FALSE(copy->isEnabled()) << "nothing is selected";
  menu->close();

  std::unique_ptr<QMenu> again(found->CreateContextMenu());
  again->findChild<QAction*>(QStringLiteral("select-all"))->trigger();
  std::unique_ptr<QMenu> third(found->CreateContextMenu());
  ASSERT_TRUE(third->findChild<QAction*>(QStringLiteral("edit-copy"))->isEnabled());
  third->findChild<QAction*>(QStringLiteral("edit-copy"))->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("a\tb\r\nc\r\n"));
}

TEST_F(MainWindowTest, ScreenReadersReadTheResultsBoxTextCaretAndSelection) {
  auto window = MakeWindow();
  window->show();
  ReportView* found = Found(*window);
  found->SetText("Pg\tPage\r\nP\u00e9\tMain\r\n");
  QAccessibleInterface* box = QAccessible::queryAccessibleInterface(found);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->role(), QAccessible::EditableText);
  EXPECT_TRUE(box->state().readOnly);
  EXPECT_TRUE(box->state().multiLine);
  EXPECT_EQ(box->text(QAccessible::Name), QStringLiteral("Items Found"));
  QAccessibleTextInterface* text = box->textInterface();
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->characterCount(), 18) << "CR LF counts as two, é as one";
  EXPECT_EQ(text->text(0, text->characterCount()), QStringLiteral("Pg\tPage\r\nP\u00e9\tMain\r\n"));
  int start = -1;
  int end = -1;
  EXPECT_EQ(text->textAtOffset(12, QAccessible::LineBoundary, &start, &end), QStringLiteral("P\u00e9\tMain\r\n"));
  EXPECT_EQ(std::make_pair(start, end), std::make_pair(9, 18));
  EXPECT_EQ(text->textAtOffset(14, QAccessible::WordBoundary, &start, &end), QStringLiteral("Main"));

  found->Select({0, 3}, {1, 2});
  EXPECT_EQ(text->selectionCount(), 1);
  text->selection(0, &start, &end);
  EXPECT_EQ(std::make_pair(start, end), std::make_pair(3, 11));
  EXPECT_EQ(text->cursorPosition(), 11);

  text->setSelection(0, 12, 9);
  EXPECT_EQ(found->CopyOfSelection(), QStringLiteral("P\u00e9\t"));
  EXPECT_EQ(found->Selection().Caret(), (TextPoint{1, 0}));
}

// Screen readers announce a control by its name and role; a text box has its name from the label whose buddy it is.
TEST_F(MainWindowTest, EveryControlHasTheAccessibleNameAndRoleItIsAnnouncedBy) {
  auto window = MakeWindow();
  window->show();
  struct Expected {
    const char* control;
    QAccessible::Role role;
    const char* name;
  };
  const Expected expected[] = {
      {"Label1", QAccessible::StaticText, "[User] Path"},
      {"txtUserPath", QAccessible::EditableText, "[User] Path"},
      {"cmdBrowse", QAccessible::Button, "Browse..."},
      {"chkShowAllInstances", QAccessible::CheckBox, "Show all tarvo instances on pages"},
      {"chkIgnoreBuiltInProjects", QAccessible::CheckBox, "Ignore Built-In Projects"},
      {"cmdSearch", QAccessible::Button, "Start"},
      {"Label3", QAccessible::StaticText, "Items Found"},
      {"txtFound", QAccessible::EditableText, "Items Found"},
  };
  for (const Expected& e : expected) {
    QAccessibleInterface* control =
        QAccessible::queryAccessibleInterface(window->findChild<QWidget*>(QLatin1String(e.control)));
    ASSERT_NE(control, nullptr) << e.control;
    EXPECT_EQ(control->role(), e.role) << e.control;
    EXPECT_EQ(control->text(QAccessible::Name), QString::fromUtf8(e.name)) << e.control;
  }
  for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isVisible()) {
      EXPECT_FALSE(QAccessible::queryAccessibleInterface(child)->text(QAccessible::Name).isEmpty())
          << child->objectName().toStdString() << " has no name";
    }
  }
}

TEST_F(MainWindowTest, StartReplacesTheBoxWithWhateverComesBackEvenNothing) {
  auto window = MakeWindow();
  report = "No items found";
  QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
  EXPECT_EQ(Found(*window)->Report(), "No items found");
  report = "";
  QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
  EXPECT_EQ(Found(*window)->Report(), "");
}

TEST_F(MainWindowTest, OldResultsStayVisibleWhileTheRunShowsItsMessages) {
  MessageBoxSink messages;
  std::string seenDuringRun;
  auto window = MakeWindow();
  window->show();
  Found(*window)->SetText("previous report");
  report = "No items found";
  duringRun = [&] {
    seenDuringRun = Found(*window)->Report();
    messages.ShowMessage("Done");
  };
  ModalDismisser dismisser;
  QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
  EXPECT_EQ(seenDuringRun, "previous report");
  EXPECT_EQ(dismisser.Titles(), QStringList{QStringLiteral("Morvex")});
  EXPECT_EQ(Found(*window)->Report(), "No items found");
}

TEST_F(MainWindowTest, AnOfferToCopyAsksYesOrNoAndOnlyYesReplacesTheClipboard) {
  MessageBoxSink messages;
  auto window = MakeWindow();
  window->show();
  messages.SetOwner(window.get());
  for (const auto& [answer, expected] : std::vector<std::pair<QMessageBox::StandardButton, QString>>{
           {QMessageBox::No, QStringLiteral("kept")}, {QMessageBox::Yes, QStringLiteral("P\tMain\tmissing\r\n")}}) {
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    ModalDriver driver([&, answer = answer](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->text(), QStringLiteral("2 of 2 pages could not be opened\n\nCopy?"));
      defaultButton = box->standardButton(box->defaultButton());
      box->button(answer)->click();
    });
    messages.ShowMessageOfferingCopy("2 of 2 pages could not be opened", "Copy?",
                                     [] { return std::string("P\tMain\tmissing\r\n"); });
    EXPECT_EQ(driver.Handled(), 1);
    EXPECT_EQ(defaultButton, QMessageBox::No);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);
  }
}

// --- Browse ---

TEST_F(MainWindowTest, BrowseAsksWithTitleCurrentPathAndClassicStyleAndTakesTheAnswer) {
  auto window = MakeWindow();
  PathBox(*window)->setText(QStringLiteral("/old/place"));
  browseAnswer = "/new/Ørsted";
  QTest::mouseClick(Button(*window, "cmdBrowse"), Qt::LeftButton);
  ASSERT_EQ(browses.size(), 1u);
  EXPECT_EQ(browses[0].title, "Select User Folder");
  EXPECT_EQ(browses[0].start, "/old/place");
  EXPECT_FALSE(browses[0].newStyle);
  EXPECT_EQ(PathBox(*window)->text(), QStringLiteral("/new/Ørsted"));

  browseAnswer = "";  // a choice without a file-system path
  QTest::mouseClick(Button(*window, "cmdBrowse"), Qt::LeftButton);
  EXPECT_EQ(PathBox(*window)->text(), QString());
}

// --- During a run ---

TEST_F(MainWindowTest, StartAndBrowseDuringARunAreIgnored) {
  auto window = MakeWindow();
  window->show();
  duringRun = [&] {
    EXPECT_TRUE(window->RunInProgress());
    QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
    QTest::mouseClick(Button(*window, "cmdBrowse"), Qt::LeftButton);
  };
  report = "first";
  QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
  EXPECT_EQ(runs.size(), 1u);
  EXPECT_TRUE(browses.empty());
  EXPECT_FALSE(window->RunInProgress());

  duringRun = nullptr;
  QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
  EXPECT_EQ(runs.size(), 2u) << "Start stays blocked after the run";
}

TEST_F(MainWindowTest, ClosingDuringARunCancelsItWritesSettingsAndClosesALeftOverProgressWindow) {
  auto window = MakeWindow();
  window->show();
  PathBox(*window)->setText(QStringLiteral("/during"));
  bool cancelSeen = false;
  duringRun = [&] {
    progress.Show();
    window->close();
    EXPECT_EQ(StoredSetting("UserPath"), QStringLiteral("/during"));
    progress.Update(50, cancelSeen);
    // The run ends the way a failed one does: its progress window still up.
  };
  QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
  EXPECT_TRUE(cancelSeen);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(progress.Shown());
}

TEST_F(MainWindowTest, ClosingAfterAFailedRunClosesTheProgressWindowItLeft) {
  auto window = MakeWindow();
  window->show();
  duringRun = [&] { progress.Show(); };
  QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
  ASSERT_TRUE(progress.Shown());
  window->close();
  EXPECT_FALSE(progress.Shown());
  bool cancel = true;
  progress.Update(0, cancel);
  EXPECT_FALSE(cancel) << "a close without a run must not leave a cancel for the next run";
}

// --- With the real run and the real progress window ---

// The real progress window that queues one action (a click, a close) while page N is on screen, the way user
// input arrives while a run is busy.
class ActingProgress : public frmStatusBar {
 public:
  int pagesShown = 0;
  int actAfterPage = -1;
  std::function<void()> action;
  std::vector<std::string> trace;  // the three lines and the percentage, at each page

 protected:
  void ShowPercent(int32_t nPercent) override {
    frmStatusBar::ShowPercent(nPercent);
    trace.push_back(Line(0) + "|" + Line(1) + "|" + Line(2) + "|" + std::to_string(nPercent));
    if (++pagesShown == actAfterPage && action) action();
  }
};

class MainWindowRunTest : public MainWindowTest {
 protected:
  static constexpr int kProjects = 3;
  static constexpr int kPagesPerProject = 4;

  void SetUp() override {
    MainWindowTest::SetUp();
    ASSERT_TRUE(root.isValid());
    const std::filesystem::path folder(root.path().toStdString());
    doubles::DbfWriter projects = doubles::ProjectListWriter();
    for (int project = 1; project <= kProjects; ++project) {
      const std::string name = "Plant" + std::to_string(project);
      projects.Add({name, (folder / name).string()});
      doubles::DbfWriter pages = doubles::PageListWriter();
      for (int page = 1; page <= kPagesPerProject; ++page) {
        const std::string pageName = "Page" + std::to_string(page);
        pages.Add({pageName});
        site->AddPage((name), (pageName),
                      {doubles::TarvoObject(static_cast<int16_t>(page), {"include", "valves", "valve_h", 1},
                                            {{"TEXT", (name + "/" + pageName)}, {"Tag", "x"}})});
      }
      pages.WriteTo(folder / name / "pages.dbf");
    }
    projects.WriteTo(folder / "master.dbf");
  }

  std::unique_ptr<frmMain> MakeRunningWindow() {
    auto window = std::make_unique<frmMain>(
        statusBar,
        [this](const std::string& folder, bool showAll, bool ignoreBuiltIn) {
          return RunSearchDetailed(context, folder, showAll, ignoreBuiltIn);
        },
        [](QWidget*, const std::string&, const std::string& start, bool) { return start; });
    PathBox(*window)->setText(root.path());
    window->show();
    return window;
  }

  int PagesOpened() const { return static_cast<int>(site->OpenedPages().size()); }

  // Each message box of a run: its text, who owns it, whether it had the keyboard and the progress window was up.
  struct SeenBox {
    QString text;
    QWidget* owner;
    bool active;
    bool progressVisible;
  };
  ModalDismisser RecordingDismisser(std::vector<SeenBox>& seen) {
    return ModalDismisser([this, &seen](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      const bool active = QTest::qWaitForWindowActive(box, 1000);
      seen.push_back({box->text(), box->parentWidget(), active, statusBar.isVisible()});
    });
  }

  QTemporaryDir root;
  std::shared_ptr<doubles::ScriptedSite> site = std::make_shared<doubles::ScriptedSite>();
  ActingProgress statusBar;
  MessageBoxSink messages;
  AppContext context{doubles::MakeScriptedFactory(site), statusBar, messages};
};

TEST_F(MainWindowRunTest, StartRunsTheSearchIntoTheBoxAndSaysDone) {
  auto window = MakeRunningWindow();
  ModalDismisser dismisser;
  QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
  EXPECT_EQ(PagesOpened(), kProjects * kPagesPerProject);
  EXPECT_EQ(dismisser.Titles(), QStringList{QStringLiteral("Morvex")});
  const ReportText& lines = Found(*window)->Text();
  ASSERT_EQ(lines.LineCount(), 1u + kProjects * kPagesPerProject + 1);
  EXPECT_TRUE(lines.LineBytes(0).starts_with("Pg Proj\tPage\tAN"));
  EXPECT_TRUE(lines.LineBytes(1).starts_with("Plant1\tPage1\t1\t"));
  EXPECT_FALSE(statusBar.Shown());
  EXPECT_FALSE(statusBar.isVisible());
}

TEST_F(MainWindowRunTest, MessagesDuringTheRunBelongToTheProgressWindowAndTakeTheKeyboard) {
  std::filesystem::remove(std::filesystem::path(root.path().toStdString()) / "Plant2" / "pages.dbf");
  site->FailOpenPage("Plant3", "Page2");
  auto window = MakeRunningWindow();
  messages.SetOwner(window.get());
  messages.SetProgressWindow(&statusBar);
  std::vector<SeenBox> seen;
  ModalDismisser dismisser = RecordingDismisser(seen);
  QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_TRUE(seen[0].text.startsWith(QStringLiteral("Cannot open page list:"))) << seen[0].text.toStdString();
  // A page that did not open is told before "Done", in front of the progress window like the other messages.
  EXPECT_EQ(seen[1].text, QStringLiteral("1 of 8 pages could not be opened: 1 refused by the page server; "
                                         "1 of 3 page lists could not be opened: 1 missing\n\n") +
                             ToQString(kCopyUnopenedQuestion));
  for (const SeenBox& box : {seen[0], seen[1]}) {
    // Owned by any window beneath it, the box would sit under the always-on-top progress window.
    EXPECT_TRUE(box.progressVisible);
    EXPECT_EQ(box.owner, &statusBar);
    EXPECT_TRUE(box.active);
  }
  EXPECT_EQ(seen[2].text, QStringLiteral("Done"));
  EXPECT_FALSE(seen[2].progressVisible);
  EXPECT_EQ(seen[2].owner, window.get());
  EXPECT_TRUE(seen[2].active);
}

TEST_F(MainWindowRunTest, CancelOnTheWindowAFailedRunLeftDoesNotCutTheNextRunShort) {
  site->FailCall(doubles::AutomationOp::kSetInteractive, 1);
  auto window = MakeRunningWindow();
  std::vector<SeenBox> seen;
  ModalDismisser dismisser = RecordingDismisser(seen);
  QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
  ASSERT_EQ(seen.size(), 1u);
  ASSERT_TRUE(statusBar.isVisible()) << "the error report leaves the progress window up";
  EXPECT_EQ(RunNote(*window), QStringLiteral("No report: an error ended the run."));
  QTest::mouseClick(statusBar.findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);

  QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
  EXPECT_EQ(PagesOpened(), kProjects * kPagesPerProject);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].text, QStringLiteral("Done"));
  EXPECT_EQ(Found(*window)->Text().LineCount(), 1u + kProjects * kPagesPerProject + 1);
  EXPECT_FALSE(statusBar.isVisible());
  EXPECT_EQ(RunNote(*window), QString()) << "a whole report has no note";
}

TEST_F(MainWindowRunTest, CancelStopsTheRunAfterThePageOnScreen) {
  auto window = MakeRunningWindow();
  auto* cancel = statusBar.findChild<QPushButton*>(QStringLiteral("cmdCancel"));
  statusBar.actAfterPage = 5;
  statusBar.action = [cancel] { QMetaObject::invokeMethod(cancel, &QPushButton::click, Qt::QueuedConnection); };
  ModalDismisser dismisser;
  QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
  EXPECT_EQ(PagesOpened(), 5);
  EXPECT_TRUE(dismisser.Titles().isEmpty()) << "no Done after a cancel";
  EXPECT_EQ(Found(*window)->Text().LineCount(), 1u + 5 + 1);
  EXPECT_EQ(RunNote(*window), QStringLiteral("Partial report: the run was cancelled."));
  EXPECT_EQ(Found(*window)->Report().find("cancelled"), std::string::npos) << "the copied report stays the report alone";
}

// The window runs on workers as the command line does: what it shows must be what one server shows, page by page.
TEST_F(MainWindowRunTest, OnWorkersTheReportProgressDoneAndCancelAreThoseOfOneServer) {
  struct Seen {
    std::string report;
    std::vector<std::string> trace;
    QStringList boxes;
  };
  auto window = MakeRunningWindow();
  auto* cancel = statusBar.findChild<QPushButton*>(QStringLiteral("cmdCancel"));
  const auto run = [&](int32_t workers, int cancelAfterPage) {
    context.pageWorkers = workers;
    statusBar.trace.clear();
    statusBar.pagesShown = 0;
    statusBar.actAfterPage = cancelAfterPage;
    statusBar.action = [cancel] { QMetaObject::invokeMethod(cancel, &QPushButton::click, Qt::QueuedConnection); };
    ModalDismisser dismisser;
    QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
    return Seen{Found(*window)->Report(), statusBar.trace, dismisser.Titles()};
  };
  for (const int cancelAfterPage : {-1, 5}) {
    const Seen one = run(1, cancelAfterPage);
    const Seen three = run(3, cancelAfterPage);
    EXPECT_EQ(three.report, one.report) << cancelAfterPage;
    EXPECT_EQ(three.trace, one.trace) << cancelAfterPage;
    EXPECT_EQ(three.boxes, one.boxes) << cancelAfterPage;
    EXPECT_EQ(Found(*window)->Text().LineCount(), 1u + (cancelAfterPage < 0 ? kProjects * kPagesPerProject : 5) + 1)
        << "pages the workers read past the cancel are dropped";
  }
}

TEST_F(MainWindowRunTest, SecondStartQueuedDuringARunIsIgnored) {
  auto window = MakeRunningWindow();
  QPushButton* start = Button(*window, "cmdSearch");
  statusBar.actAfterPage = 2;
  statusBar.action = [start] { QMetaObject::invokeMethod(start, &QPushButton::click, Qt::QueuedConnection); };
  ModalDismisser dismisser;
  QTest::mouseClick(start, Qt::LeftButton);
  EXPECT_EQ(PagesOpened(), kProjects * kPagesPerProject);
  EXPECT_EQ(site->CreationAttempts(), 1);
  EXPECT_EQ(dismisser.Titles().size(), 1);
}

TEST_F(MainWindowRunTest, ClosingTheWindowDuringARunCancelsSavesAndEndsTheApplication) {
  auto window = MakeRunningWindow();
  frmMain* target = window.get();
  statusBar.actAfterPage = 3;
  statusBar.action = [target] { QMetaObject::invokeMethod(target, &QWidget::close, Qt::QueuedConnection); };
  ModalDismisser dismisser;
  // Start from inside the application's event loop, as a user does; the loop must end by itself.
  QPushButton* start = Button(*window, "cmdSearch");
  QTimer::singleShot(0, start, [start] { QTest::mouseClick(start, Qt::LeftButton); });
  bool endedByItself = true;
  QTimer::singleShot(10000, qApp, [&endedByItself] {
    endedByItself = false;
    QCoreApplication::exit(1);
  });
  QApplication::exec();
  EXPECT_TRUE(endedByItself);
  EXPECT_EQ(PagesOpened(), 3);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(statusBar.isVisible());
  EXPECT_EQ(StoredSetting("UserPath"), root.path());
}

TEST_F(MainWindowRunTest, MissingProjectListEmptiesTheBoxAfterItsMessage) {
  auto window = MakeRunningWindow();
  PathBox(*window)->setText(root.path() + QStringLiteral("/nowhere"));
  Found(*window)->SetText("old");
  QString message;
  QString caption;
  QMessageBox::StandardButtons buttons;
  Qt::TextFormat format = Qt::AutoText;
  ModalDriver driver([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    message = box->text();
    caption = box->windowTitle();
    buttons = box->standardButtons();
    format = box->textFormat();
    modal->close();
  });
  QTest::mouseClick(Button(*window, "cmdSearch"), Qt::LeftButton);
  EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot open project list:\n"))) << message.toStdString();
  EXPECT_FALSE(message.contains(QLatin1Char('\r')));
  EXPECT_EQ(caption, QStringLiteral("Morvex"));
  EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_EQ(format, Qt::PlainText) << "a path is never markup";
  EXPECT_EQ(Found(*window)->Report(), "");
  EXPECT_FALSE(statusBar.Shown());
}

}  // namespace
}  // namespace morvex
