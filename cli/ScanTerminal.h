// morvex-scan's stand-ins for the progress window and the message boxes: a status line and stderr lines.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "MessageSink.h"
#include "ProgressInterface.h"

namespace morvex {

// Ctrl-C asks for Cancel; a second one ends the process at once with status 130.
void InstallInterruptHandler();
// True once per Ctrl-C that has not been handed to a progress object yet.
bool TakeInterruptRequest();
// For tests that cannot send a signal to themselves cleanly.
void RequestInterruptForTest();

class TerminalProgress : public ProgressInterface {
 public:
  // bDrawStatusLine: stderr is a terminal; nothing is drawn otherwise, so logs and pipes stay clean.
  TerminalProgress(std::FILE* stream, bool bDrawStatusLine);

  void Title(std::string_view sTitle) override { title_ = sTitle; }
  std::string Title() const override { return title_; }
  void Show() override;
  void Close() override;
  bool Shown() const override { return shown_; }

  // Wipes the status line so that a message or the end of the program starts on a clean line.
  void ClearStatusLine();
  int32_t LastPercent() const { return percent_; }

 protected:
  void SetLine(int index, std::string_view sText) override { lines_[index] = sText; }
  std::string Line(int index) const override { return lines_[index]; }
  void ShowPercent(int32_t nPercent) override;
  void ProcessEvents() override;

 private:
  void ResetLines();
  void DrawStatusLine();

  std::FILE* stream_;
  bool drawStatusLine_;
  bool statusLineDrawn_ = false;
  bool shown_ = false;
  int32_t percent_ = 0;
  std::string title_;
  std::string lines_[3];
};

// Every message but "Done" as one line on the stream; "Done" is what the exit status already says.
class TerminalMessages : public MessageSink {
 public:
  // prefix: the program's name and ": ", so that a line in a pipeline's log says where it came from.
  TerminalMessages(std::FILE* stream, TerminalProgress& progress, std::string_view prefix = {})
      : stream_(stream), progress_(progress), prefix_(prefix) {}
  void ShowMessage(std::string_view sMessage) override;

 private:
  std::FILE* stream_;
  TerminalProgress& progress_;
  std::string prefix_;
};

}  // namespace morvex
