// morvex-scan's stderr lines and exit status: every message on one line, the status from outcome and findings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FinishedRun.h"
#include "ScanMessages.h"

namespace morvex {
namespace {

using namespace std::string_literals;

TEST(ScanMessagesTest, MessageLineKeepsEveryMessageOnOneLine) {
  EXPECT_EQ(MessageLine("Cannot open page list:\r\n/site/a/pages.dbf"), "Cannot open page list: /site/a/pages.dbf\n");
  EXPECT_EQ(MessageLine("odd\nname\rhere"), "odd name here\n");
  // Control characters from a table value are shown, not sent: grep and the terminal see plain text.
  EXPECT_EQ(MessageLine("a\0b\x1B[2J\tc\x7F"s), "a\\0b\\x1B[2J\tc\\x7F\n"s);
}

TEST(ScanMessagesTest, ExitStatusFollowsOutcomeAndFindings) {
  EXPECT_EQ(ExitStatus(Finished(true, {}, RunOutcome::kCompleted)), 0);
  EXPECT_EQ(ExitStatus(Finished(false, {{"a", "b", "c", "TEXT"}}, RunOutcome::kCompleted)), 1);
  EXPECT_EQ(ExitStatus(Finished(true, {}, RunOutcome::kCancelled)), 130);
  SearchResult failed;
  failed.outcome = RunOutcome::kProjectListMissing;
  EXPECT_EQ(ExitStatus(failed), 2);
  failed.outcome = RunOutcome::kUnexpectedError;
  EXPECT_EQ(ExitStatus(failed), 2);
}

}  // namespace
}  // namespace morvex
