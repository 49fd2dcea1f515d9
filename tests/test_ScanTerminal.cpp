// The command line's progress object and message sink: status line drawing, Ctrl-C as Cancel, stderr lines.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "ScanTerminal.h"

namespace morvex {
namespace {

using namespace std::string_literals;
using std::chrono::milliseconds;

size_t Occurrences(const std::string& text, std::string_view piece) {
  size_t count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
  return count;
}

// Sets TERM for one scope and puts back what was there.
class TermVariable {
 public:
  explicit TermVariable(const std::optional<std::string>& value) {
    if (const char* old = getenv("TERM")) old_ = old;
    if (value) {
      setenv("TERM", value->c_str(), 1);
    } else {
      unsetenv("TERM");
    }
  }
  ~TermVariable() {
    if (old_) {
      setenv("TERM", old_->c_str(), 1);
    } else {
      unsetenv("TERM");
    }
  }

 private:
  std::optional<std::string> old_;
};

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

  // A clock the test moves by hand, so that redraw intervals need no sleeping.
  TerminalProgress::Clock FakeClock() {
    return [this] { return now_; };
  }

  std::FILE* stream_;
  std::chrono::steady_clock::time_point now_{};
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

TEST_F(ScanTerminalTest, AfterTheScanTheStatusLineSaysWhatIsBeingWrittenUntilCleared) {
  for (const bool bTerminal : {true, false}) {
    TerminalProgress progress(stream_, bTerminal);
    progress.Show();
    bool bCancel = false;
    progress.Update(250, bCancel);
    progress.Close();
    progress.ShowWriting("the report");
    progress.ClearStatusLine();
  }
  EXPECT_EQ(Written(), "\r\033[K100% |  |  | 0 found\r\033[K\r\033[KWriting the report...\r\033[K");
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

TEST_F(ScanTerminalTest, MessagesAndStatusLineHoldingNulShowItEscaped) {
  TerminalProgress progress(stream_, true);
  TerminalMessages messages(stream_, progress);
  progress.Show();
  progress.Text(1, "Project: a\0b"s);
  bool bCancel = false;
  progress.Update(5, bCancel);
  messages.ShowMessage("Cannot open page list:\r\n/a\0b/pages.dbf"s);
  messages.ShowMessage("next");
  EXPECT_EQ(Written(),
            "\r\033[K5% | Project: a\\0b |  | 0 found\r\033[K"
            "Cannot open page list: /a\\0b/pages.dbf\nnext\n"s);
}

TEST_F(ScanTerminalTest, StatusLineIsRedrawnAtMostOncePerIntervalExceptWhenNothingOrAnOldFigureIsShown) {
  struct Step {
    int atMilliseconds;
    int32_t percent;
    bool messageFirst = false;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    size_t draws;
  };
  const Case cases[] = {
      {"many updates within the interval", {{0, 1}, {10, 2}, {20, 3}, {50, 4}, {99, 5}}, 1},
      {"updates past the interval", {{0, 1}, {50, 2}, {100, 3}, {150, 4}, {200, 5}}, 3},
      {"the first 100 % within the interval", {{0, 98}, {1, 99}, {2, 100}, {3, 100}}, 2},
      {"a line a message wiped", {{0, 1}, {1, 2, true}, {2, 3}}, 2},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    std::FILE* stream = std::tmpfile();
    TerminalProgress progress(stream, StatusLineStyle::kInPlace, milliseconds(100), FakeClock());
    TerminalMessages messages(stream, progress);
    progress.Show();
    bool bCancel = false;
    for (const Step& step : test.steps) {
      now_ = std::chrono::steady_clock::time_point(milliseconds(step.atMilliseconds));
      if (step.messageFirst) messages.ShowMessage("note");
      progress.Update(step.percent, bCancel);
    }
    std::fflush(stream);
    std::rewind(stream);
    std::string text(4096, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), stream));
    std::fclose(stream);
    EXPECT_EQ(Occurrences(text, " found"), test.draws) << text;
  }
}

TEST_F(ScanTerminalTest, PlainStatusLineIsRewrittenWithCarriageReturnAndBlanksWithoutEscapeSequences) {
  TerminalProgress progress(stream_, StatusLineStyle::kPlain, milliseconds(100), FakeClock());
  TerminalMessages messages(stream_, progress);
  progress.Show();
  progress.Text(1, "Project: Kläranlage");
  bool bCancel = false;
  progress.Update(5, bCancel);
  progress.Text(1, "Project: B");
  now_ += milliseconds(100);
  progress.Update(6, bCancel);
  messages.ShowMessage("Cannot open page list:\r\n/x/pages.dbf");
  progress.Close();
  const std::string written = Written();
  EXPECT_EQ(written,
            "\r5% | Project: Kl\xC3\xA4ranlage |  | 0 found"
            "\r6% | Project: B |  | 0 found" +
                std::string(9, ' ') +  // the 9 characters "Kläranlage" had more
                "\r" + std::string(28, ' ') +
                "\r"  // wiped for the message
                "Cannot open page list: /x/pages.dbf\n");
  EXPECT_EQ(written.find('\033'), std::string::npos);
}

TEST_F(ScanTerminalTest, TerminalThatCannotMoveTheCursorGetsThePlainStatusLine) {
  // A pseudo-terminal stands in for the user's terminal: the choice needs a real one, never a file.
  const int controller = posix_openpt(O_RDWR | O_NOCTTY);
  if (controller < 0) GTEST_SKIP() << "no pseudo-terminal here";
  ASSERT_EQ(grantpt(controller), 0);
  ASSERT_EQ(unlockpt(controller), 0);
  std::FILE* terminal = std::fopen(ptsname(controller), "w");
  ASSERT_NE(terminal, nullptr);
  struct Case {
    std::optional<std::string> term;
    StatusLineStyle style;
  };
  const Case cases[] = {
      {"xterm-256color", StatusLineStyle::kInPlace},
      {"dumb", StatusLineStyle::kPlain},
      {"", StatusLineStyle::kPlain},
      {std::nullopt, StatusLineStyle::kPlain},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.term.value_or("(unset)"));
    const TermVariable term(test.term);
    EXPECT_EQ(StatusLineStyleFor(terminal), test.style);
    EXPECT_EQ(StatusLineStyleFor(stream_), StatusLineStyle::kNone);  // a file, whatever TERM says
  }
  std::fclose(terminal);
  close(controller);
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
