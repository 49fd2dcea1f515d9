// The command line's progress object and message sink: status line drawing, Ctrl-C as Cancel, stderr lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ScanTerminal.h"

namespace morvex {
namespace {

using namespace std::string_literals;

class ScanTerminalTest : public ::testing::Test {
 protected:
  ScanTerminalTest() : stream_(std::tmpfile()) {}
  ~ScanTerminalTest() override { std::fclose(stream_); }

  std::string Written() {
    std::fflush(stream_);
    std::rewind(stream_);
    std::string text;
    char buffer[256];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, stream_)) > 0) text.append(buffer, got);
    return text;
  }

  std::FILE* stream_;
};

TEST_F(ScanTerminalTest, InterruptIsHandedOutAsOneCancelAtTheNextUpdate) {
  TerminalProgress progress(stream_, false);
  bool bCancel = true;
  progress.Update(10, bCancel);
  EXPECT_FALSE(bCancel);
  RequestInterruptForTest();
  progress.Update(20, bCancel);
  EXPECT_TRUE(bCancel);
  progress.Update(30, bCancel);
  EXPECT_FALSE(bCancel);
  EXPECT_EQ(Written(), "");  // not a terminal: nothing drawn
}

TEST_F(ScanTerminalTest, StatusLineShowsPercentProjectPageAndCountOnOneRedrawnLine) {
  TerminalProgress progress(stream_, true);
  progress.Show();
  progress.Text(0, "Searching for reserved Tarvo keywords...");
  progress.Text(1, "Project: Kläranlage");
  progress.Text(2, "Page: Zulauf");
  bool bCancel = false;
  progress.Update(40, bCancel);
  progress.Text(0, "Searching for reserved Tarvo keywords...12 found.");
  progress.Update(250, bCancel);
  progress.Close();
  EXPECT_EQ(Written(),
            "\r\033[K40% | Project: Kl\xC3\xA4ranlage | Page: Zulauf | 0 found"
            "\r\033[K100% | Project: Kl\xC3\xA4ranlage | Page: Zulauf | 12 found"
            "\r\033[K");
}

TEST_F(ScanTerminalTest, MessagesClearTheStatusLineAndDoneIsNotPrinted) {
  TerminalProgress progress(stream_, true);
  TerminalMessages messages(stream_, progress);
  progress.Show();
  bool bCancel = false;
  progress.Update(5, bCancel);
  messages.ShowMessage("Cannot open page list:\r\n/x/pages.dbf");
  messages.ShowMessage("Done");
  EXPECT_EQ(Written(), "\r\033[K5% |  |  | 0 found\r\033[KCannot open page list: /x/pages.dbf\n");
}

TEST_F(ScanTerminalTest, MessagesAndStatusLineHoldingNulAreWrittenWhole) {
  TerminalProgress progress(stream_, true);
  TerminalMessages messages(stream_, progress);
  progress.Show();
  progress.Text(1, "Project: a\0b"s);
  bool bCancel = false;
  progress.Update(5, bCancel);
  messages.ShowMessage("Cannot open page list:\r\n/a\0b/pages.dbf"s);
  messages.ShowMessage("next");
  EXPECT_EQ(Written(),
            "\r\033[K5% | Project: a\0b |  | 0 found\r\033[K"
            "Cannot open page list: /a\0b/pages.dbf\nnext\n"s);
}

TEST_F(ScanTerminalTest, ClosingResetsTheLinesForTheNextShow) {
  TerminalProgress progress(stream_, false);
  progress.Show();
  progress.Text(1, "Project: A");
  progress.Close();
  progress.Show();
  EXPECT_EQ(progress.Text(0), "Operation in progress...");
  EXPECT_EQ(progress.Text(1), "");
}

}  // namespace
}  // namespace morvex
