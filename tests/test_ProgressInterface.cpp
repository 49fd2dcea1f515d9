// Tests of the progress object's shared rules: line index checks, percent clamping and the cancel hand-out.
#include "ProgressInterface.h"

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <string>
#include <vector>

#include "Error.h"
#include "ErrorNumber.h"
#include "RecordingProgress.h"

namespace morvex {
namespace {

using ::testing::ElementsAre;

TEST(ProgressInterface, LineSetThenGetReturnsTheText) {
  doubles::RecordingProgress progress;
  progress.Show();
  progress.Text(1, "Project: Plant");
  EXPECT_EQ(progress.Text(1), "Project: Plant");
  EXPECT_EQ(progress.Text(0), "Operation in progress...");
  EXPECT_EQ(progress.Text(2), "");
}

TEST(ProgressInterface, BadIndexRaisesOutOfRangeOrOverflowAndChangesNoLine) {
  doubles::RecordingProgress progress;
  progress.Show();
  progress.Text(0, "zero");
  progress.Text(1, "one");
  progress.Text(2, "two");
  EXPECT_EQ(ErrorNumberOf([&] { progress.Text(3, "x"); }), kErrOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { progress.Text(-1, "x"); }), kErrOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { progress.Text(32767, "x"); }), kErrOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { progress.Text(-32768, "x"); }), kErrOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { progress.Text(40000, "x"); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([&] { progress.Text(32768, "x"); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([&] { progress.Text(-32769, "x"); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([&] { (void)progress.Text(3); }), kErrOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { (void)progress.Text(INT32_MIN); }), kErrOverflow);
  EXPECT_EQ(progress.CurrentLine(0), "zero");
  EXPECT_EQ(progress.CurrentLine(1), "one");
  EXPECT_EQ(progress.CurrentLine(2), "two");
  EXPECT_EQ(progress.LineHistory(0).size() + progress.LineHistory(1).size() + progress.LineHistory(2).size(), 3u);
}

TEST(ProgressInterface, UpdateClampsThePercentForDisplayOnly) {
  doubles::RecordingProgress progress;
  bool cancel = true;
  progress.Update(-5, cancel);
  EXPECT_FALSE(cancel);
  progress.Update(250, cancel);
  EXPECT_FALSE(cancel);
  progress.Update(INT32_MIN, cancel);
  progress.Update(INT32_MAX, cancel);
  progress.Update(37, cancel);
  EXPECT_THAT(progress.Percentages(), ElementsAre(0, 100, 0, 100, 37));
}

TEST(ProgressInterface, CancelIsHandedOutOnceByTheUpdateThatProcessedIt) {
  doubles::RecordingProgress progress;
  progress.PressCancelAtUpdate(2);
  progress.PressCancelAtUpdate(4, 2);  // two presses in one Update are one True
  bool cancel = false;
  std::vector<bool> handedOut;
  for (int i = 0; i < 5; ++i) {
    progress.Update(i * 10, cancel);
    handedOut.push_back(cancel);
  }
  EXPECT_THAT(handedOut, ElementsAre(false, true, false, true, false));
}

TEST(ProgressInterface, PressOutsideARunOutlivesCloseAndShow) {
  doubles::RecordingProgress progress;
  progress.Show();
  progress.Close();
  progress.PressCancel();
  progress.Show();
  bool cancel = false;
  progress.Update(-5, cancel);
  EXPECT_TRUE(cancel);
  progress.Update(250, cancel);
  EXPECT_FALSE(cancel);
}

TEST(ProgressInterface, FreshShowResetsLinesButShowingAShownWindowKeepsThem) {
  doubles::RecordingProgress progress;
  progress.Show();
  progress.Text(0, "Searching for reserved Tarvo keywords...");
  progress.Text(2, "Page: Main");
  progress.Show();
  EXPECT_EQ(progress.Text(0), "Searching for reserved Tarvo keywords...");
  EXPECT_EQ(progress.Text(2), "Page: Main");
  progress.Close();
  progress.Show();
  EXPECT_EQ(progress.Text(0), "Operation in progress...");
  EXPECT_EQ(progress.Text(1), "");
  EXPECT_EQ(progress.Text(2), "");
  EXPECT_FALSE(progress.HasPercent());
}

}  // namespace
}  // namespace morvex
