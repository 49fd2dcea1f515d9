// Tests of the progress window: its lines and their checks, the cancel hand-out, and the bar's pixels.
#include "frmStatusBar.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <functional>
#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest/QTest>

#include "Error.h"
#include "TextUtil.h"

namespace morvex {
namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlue = qRgb(0, 0, 255);

bool IsWhite(QRgb pixel) { return (pixel & 0xFFFFFFu) == (kWhite & 0xFFFFFFu); }
bool IsBlue(QRgb pixel) { return (pixel & 0xFFFFFFu) == (kBlue & 0xFFFFFFu); }

struct PixelCounts {
  int white = 0;
  int blue = 0;
  int other = 0;
};

PixelCounts CountPixels(const QImage& image, int fromX, int toX) {
  PixelCounts counts;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = fromX; x < toX; ++x) {
      const QRgb pixel = image.pixel(x, y);
      if (IsWhite(pixel)) ++counts.white;
      else if (IsBlue(pixel)) ++counts.blue;
      else ++counts.other;
    }
  }
  return counts;
}

bool ColumnIs(const QImage& image, int x, bool (*test)(QRgb)) {
  for (int y = 0; y < image.height(); ++y) {
    if (!test(image.pixel(x, y))) return false;
  }
  return true;
}

// Lets the event loop run until done() holds or a second has passed.
bool Eventually(const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > 1000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

QImage Drawn(int32_t nPercent) {
  QImage picture(293, 13, QImage::Format_RGB32);
  frmStatusBar::DrawBar(picture, nPercent);
  return picture;
}

class StatusBarTest : public ::testing::Test {
 protected:
  void TearDown() override { window.Close(); }

  QPushButton* CancelButton() { return window.findChild<QPushButton*>(QStringLiteral("cmdCancel")); }
  QLabel* Label(int index) { return window.findChild<QLabel*>(QStringLiteral("lblProgress%1").arg(index)); }

  frmStatusBar window;
};

// --- Lines, caption and showing ---

TEST_F(StatusBarTest, FreshShowStartsWithDesignLinesTitleAndBlankBar) {
  window.Show();
  EXPECT_TRUE(window.Shown());
  EXPECT_EQ(window.Title(), "Morvex");
  EXPECT_EQ(window.Text(0), "Operation in progress...");
  EXPECT_EQ(window.Text(1), "");
  EXPECT_EQ(window.Text(2), "");
  EXPECT_EQ(CountPixels(window.BarPicture(), 0, 293).white, 293 * 13);
}

TEST_F(StatusBarTest, ShowWhileShownKeepsLinesAndBarAndCloseThenShowResetsThem) {
  window.Show();
  window.Text(0, "Searching for reserved Tarvo keywords...");
  window.Text(1, "Project: Plant");
  bool cancel = false;
  window.Update(40, cancel);
  const QImage barAt40 = window.BarPicture();

  window.Show();
  EXPECT_EQ(window.Text(1), "Project: Plant");
  EXPECT_EQ(window.BarPicture(), barAt40);

  window.Close();
  EXPECT_FALSE(window.Shown());
  window.Show();
  EXPECT_EQ(window.Text(0), "Operation in progress...");
  EXPECT_EQ(window.Text(1), "");
  EXPECT_EQ(CountPixels(window.BarPicture(), 0, 293).white, 293 * 13);
  // The same percentage as before the close must still be drawn on the fresh, blank box.
  window.Update(40, cancel);
  EXPECT_EQ(window.BarPicture(), barAt40);
}

TEST_F(StatusBarTest, TitleIsMorvexOnEveryLoadEvenAfterBeingChanged) {
  window.Show();
  window.Title("Something else");
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Something else"));
  window.Close();
  window.Show();
  EXPECT_EQ(window.Title(), "Morvex");
}

TEST_F(StatusBarTest, LineSetIsReadBackAtOnceAndShownAsPlainText) {
  window.Show();
  window.Text(1, "Project: Dämpfer <b>5</b>");
  EXPECT_EQ(window.Text(1), "Project: Dämpfer <b>5</b>");
  EXPECT_TRUE(Eventually([&] { return Label(1)->text() == QStringLiteral("Project: Dämpfer <b>5</b>"); }));
  EXPECT_EQ(Label(1)->textFormat(), Qt::PlainText);
}

TEST_F(StatusBarTest, BurstOfLinesEndsWithTheLastOnScreenWithinAFrame) {
  window.Show();
  bool cancel = false;
  for (int page = 1; page <= 500; ++page) {
    window.Text(2, "Page: P" + ToDecimal(page));
    window.Update(page / 5, cancel);
  }
  EXPECT_EQ(window.Text(2), "Page: P500");
  // Nothing but the event loop runs from here, as after a run that left the window open.
  EXPECT_TRUE(Eventually([&] { return Label(2)->text() == QStringLiteral("Page: P500"); }));
}

TEST_F(StatusBarTest, CloseDropsLinesStillOnTheirWayAndShowStartsFromTheDesignTexts) {
  window.Show();
  window.Text(0, "first");
  window.Text(0, "second");
  window.Close();
  window.Show();
  EXPECT_EQ(window.Text(0), "Operation in progress...");
  EXPECT_EQ(Label(0)->text(), QStringLiteral("Operation in progress..."));
  QTest::qWait(40);
  EXPECT_EQ(Label(0)->text(), QStringLiteral("Operation in progress..."));
}

TEST_F(StatusBarTest, BadIndexFailsAndChangesNoLine) {
  window.Show();
  window.Text(0, "zero");
  window.Text(1, "one");
  window.Text(2, "two");
  try {
    window.Text(3, "three");
    FAIL() << "index 3 accepted";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), kErrOutOfRange);
  }
  try {
    window.Text(40000, "far");
    FAIL() << "index 40000 accepted";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), kErrOverflow);
  }
  EXPECT_THROW(window.Text(-1), Error);
  EXPECT_EQ(window.Text(0), "zero");
  EXPECT_EQ(window.Text(1), "one");
  EXPECT_EQ(window.Text(2), "two");
}

// --- Cancel ---

TEST_F(StatusBarTest, TwoPressesBeforeOneUpdateAreHandedOutOnce) {
  window.Show();
  QTest::mouseClick(CancelButton(), Qt::LeftButton);
  QTest::mouseClick(CancelButton(), Qt::LeftButton);
  bool cancel = false;
  window.Update(10, cancel);
  EXPECT_TRUE(cancel);
  window.Update(11, cancel);
  EXPECT_FALSE(cancel);
  // Pressing Cancel leaves the window as it was: open, button usable, lines untouched.
  EXPECT_TRUE(window.Shown());
  EXPECT_TRUE(CancelButton()->isEnabled());
  EXPECT_EQ(window.Text(0), "Operation in progress...");
}

TEST_F(StatusBarTest, PressQueuedDuringRunIsSeenByTheUpdateThatProcessesIt) {
  window.Show();
  bool cancel = true;
  window.Update(1, cancel);
  EXPECT_FALSE(cancel);
  QMetaObject::invokeMethod(CancelButton(), &QPushButton::click, Qt::QueuedConnection);
  window.Update(2, cancel);
  EXPECT_TRUE(cancel);
}

// The flag outlives the window; it is the run that drops a stale press when it starts.
TEST_F(StatusBarTest, PressOnWindowLeftOpenSurvivesCloseAndShow) {
  window.Show();
  QTest::mouseClick(CancelButton(), Qt::LeftButton);
  window.Close();
  window.Show();
  bool cancel = false;
  window.Update(0, cancel);
  EXPECT_TRUE(cancel);
}

TEST_F(StatusBarTest, ClampedPercentsHandOutCancelAlike) {
  window.Show();
  bool cancel = true;
  window.Update(-5, cancel);
  EXPECT_FALSE(cancel);
  QTest::mouseClick(CancelButton(), Qt::LeftButton);
  window.Update(250, cancel);
  EXPECT_TRUE(cancel);
}

// During a run the close box reaches the window only inside Update, as a queued close does here.
TEST_F(StatusBarTest, UserClosingTheWindowDuringARunCancelsAndLeavesItToTheRun) {
  window.Show();
  bool closed = true;
  QMetaObject::invokeMethod(&window, [this, &closed] { closed = window.close(); }, Qt::QueuedConnection);
  bool cancel = false;
  window.Update(5, cancel);
  EXPECT_FALSE(closed);
  EXPECT_TRUE(cancel);
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.Shown());
  window.Update(6, cancel);
  EXPECT_FALSE(cancel) << "one close, one cancel";
}

TEST_F(StatusBarTest, UserClosingTheWindowALeftOverRunLeftClosesItAndTheNextShowStartsAfresh) {
  window.Show();
  window.Text(1, "Project: Plant");
  bool cancel = false;
  window.Update(40, cancel);
  // The run has returned through its error report and left the window up.
  EXPECT_TRUE(window.close());
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(window.Shown());
  window.Show();
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.Text(1), "");
  EXPECT_EQ(CountPixels(window.BarPicture(), 0, 293).white, 293 * 13);
  window.Update(41, cancel);
  EXPECT_FALSE(cancel) << "closing the left-over window is no Cancel";
}

// --- The window ---

TEST_F(StatusBarTest, FixedLayoutAlwaysOnTopAndCentred) {
  window.Show();
  EXPECT_EQ(window.size(), QSize(312, 112));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(window.testAttribute(Qt::WA_ShowWithoutActivating));
  EXPECT_EQ(Label(0)->geometry(), QRect(8, 8, 297, 17));
  EXPECT_EQ(Label(2)->geometry(), QRect(8, 40, 297, 17));
  EXPECT_EQ(window.findChild<QWidget*>(QStringLiteral("picStatusBar"))->geometry(), QRect(8, 56, 297, 17));
  EXPECT_EQ(CancelButton()->geometry(), QRect(120, 80, 73, 25));
  EXPECT_FALSE(CancelButton()->isDefault());
  EXPECT_FALSE(CancelButton()->autoDefault());

  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const QRect frame = window.frameGeometry();
  EXPECT_LE(std::abs(frame.center().x() - screen.center().x()), 1) << frame.x() << "," << frame.y() << " "
                                                                    << frame.width() << "x" << frame.height();
  EXPECT_LE(std::abs(frame.center().y() - screen.center().y()), 1);
}

// --- The bar ---

TEST(StatusBarDrawing, EveryPixelIsPureWhiteOrPureBlue) {
  for (int percent : {0, 1, 33, 50, 67, 99, 100}) {
    EXPECT_EQ(CountPixels(Drawn(percent), 0, 293).other, 0) << percent << "%";
  }
}

TEST(StatusBarDrawing, ZeroShowsBlueTextOnWhiteAndNoBar) {
  const QImage picture = Drawn(0);
  EXPECT_TRUE(ColumnIs(picture, 0, IsWhite));
  EXPECT_TRUE(ColumnIs(picture, 292, IsWhite));
  const PixelCounts counts = CountPixels(picture, 0, 293);
  EXPECT_GT(counts.blue, 10) << "no text drawn";
  EXPECT_LT(counts.blue, 293 * 13 / 4);
  // The label sits near the middle.
  EXPECT_EQ(CountPixels(picture, 0, 100).blue, 0);
  EXPECT_EQ(CountPixels(picture, 193, 293).blue, 0);
}

TEST(StatusBarDrawing, FiftySplitsTheCentredLabelAtTheBarEdge) {
  const QImage picture = Drawn(50);
  // 50 hundredths of 293 pixels, halves to even: 146 pixels of bar.
  EXPECT_TRUE(ColumnIs(picture, 0, IsBlue));
  EXPECT_TRUE(ColumnIs(picture, 145, IsBlue) || CountPixels(picture, 145, 146).white > 0);
  EXPECT_FALSE(ColumnIs(picture, 146, IsBlue));
  EXPECT_TRUE(ColumnIs(picture, 292, IsWhite));
  EXPECT_GT(CountPixels(picture, 120, 146).white, 0) << "no white text over the bar";
  EXPECT_GT(CountPixels(picture, 146, 175).blue, 0) << "no blue text beside the bar";
  EXPECT_EQ(CountPixels(picture, 0, 100).white, 0);
  EXPECT_EQ(CountPixels(picture, 193, 293).blue, 0);
}

TEST(StatusBarDrawing, HundredIsAllBlueWithWhiteText) {
  const QImage picture = Drawn(100);
  EXPECT_TRUE(ColumnIs(picture, 0, IsBlue));
  EXPECT_TRUE(ColumnIs(picture, 292, IsBlue));
  const PixelCounts counts = CountPixels(picture, 0, 293);
  EXPECT_GT(counts.white, 10) << "no text drawn";
  EXPECT_LT(counts.white, 293 * 13 / 4);
}

TEST(StatusBarDrawing, BarGrowsWithThePercentage) {
  int previousBlueInFirstRow = -1;
  for (int percent = 0; percent <= 100; percent += 10) {
    const QImage picture = Drawn(percent);
    int firstRowBlue = 0;
    for (int x = 0; x < 293; ++x) firstRowBlue += IsBlue(picture.pixel(x, 0)) ? 1 : 0;
    EXPECT_GT(firstRowBlue, previousBlueInFirstRow) << percent << "%";
    previousBlueInFirstRow = firstRowBlue;
  }
}

class StatusBarUpdateTest : public StatusBarTest {};

TEST_F(StatusBarUpdateTest, OutOfRangePercentsAreDrawnClamped) {
  window.Show();
  bool cancel = false;
  window.Update(-5, cancel);
  EXPECT_EQ(window.BarPicture(), Drawn(0));
  window.Update(250, cancel);
  EXPECT_EQ(window.BarPicture(), Drawn(100));
  window.Update(50, cancel);
  EXPECT_EQ(window.BarPicture(), Drawn(50));
}

// A drawing says nothing to a screen reader: the box is a progress bar with the percentage as its value.
TEST_F(StatusBarUpdateTest, ScreenReadersFindEveryControlByNameAndRoleAndTheBarsPercentage) {
  window.Show();
  bool cancel = false;
  window.Update(42, cancel);
  struct Expected {
    const char* control;
    QAccessible::Role role;
    const char* name;
  };
  const Expected expected[] = {
      {"lblProgress0", QAccessible::StaticText, "Operation in progress..."},
      {"picStatusBar", QAccessible::ProgressBar, "Progress"},
      {"cmdCancel", QAccessible::Button, "Cancel"},
  };
  for (const Expected& e : expected) {
    QAccessibleInterface* control =
        QAccessible::queryAccessibleInterface(window.findChild<QWidget*>(QLatin1String(e.control)));
    ASSERT_NE(control, nullptr) << e.control;
    EXPECT_EQ(control->role(), e.role) << e.control;
    EXPECT_EQ(control->text(QAccessible::Name), QString::fromUtf8(e.name)) << e.control;
  }
  QAccessibleValueInterface* bar =
      QAccessible::queryAccessibleInterface(window.findChild<QWidget*>(QStringLiteral("picStatusBar")))->valueInterface();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->currentValue().toInt(), 42);
  EXPECT_EQ(bar->maximumValue().toInt(), 100);
}

TEST_F(StatusBarUpdateTest, DrawingBoxShowsTheBarInsideASunkenBorder) {
  window.Show();
  bool cancel = false;
  window.Update(50, cancel);
  auto* box = window.findChild<QWidget*>(QStringLiteral("picStatusBar"));
  const QImage onScreen = box->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(onScreen.size(), QSize(297, 17));
  EXPECT_EQ(onScreen.copy(2, 2, 293, 13), Drawn(50));
}

}  // namespace
}  // namespace morvex
