// morvex-scan's stand-ins for the progress window and the message boxes: a status line and stderr lines.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
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

// How the status line reaches the stream: not at all (a pipe or a file, so logs stay clean), rewritten after
// a carriage return and padded with blanks (a terminal that cannot move the cursor), or wiped in place with
// an escape sequence.
enum class StatusLineStyle { kNone, kPlain, kInPlace };

// The style that suits the stream as it is now.
StatusLineStyle StatusLineStyleFor(std::FILE* stream);

class TerminalProgress : public ProgressInterface {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // Fast enough to look live, slow enough that a run of many small pages does not spend itself on redraws.
  static constexpr std::chrono::steady_clock::duration kRedrawInterval = std::chrono::milliseconds(100);

  // bDrawStatusLine: the stream is a terminal that takes escape sequences; nothing is drawn otherwise.
  TerminalProgress(std::FILE* stream, bool bDrawStatusLine);
  TerminalProgress(std::FILE* stream, StatusLineStyle style,
                   std::chrono::steady_clock::duration redrawInterval = kRedrawInterval,
                   Clock clock = std::chrono::steady_clock::now);

  void Title(std::string_view sTitle) override { title_ = sTitle; }
  std::string Title() const override { return title_; }
  void Show() override;
  void Close() override;
  bool Shown() const override { return shown_; }

  // Wipes the status line so that a message or the end of the program starts on a clean line.
  void ClearStatusLine();
  // After the scan: the status line says what is being written, which can take a while, instead of standing
  // still at the scan's end.
  void ShowWriting(std::string_view what);
  int32_t LastPercent() const { return percent_; }

 protected:
  void SetLine(int index, std::string_view sText) override { lines_[index] = sText; }
  std::string Line(int index) const override { return lines_[index]; }
  void ShowPercent(int32_t nPercent) override;
  void ProcessEvents() override;

 private:
  void ResetLines();
  void DrawStatusLine();
  void Draw(std::string status);
  void Write(std::string_view text);

  std::FILE* stream_;
  StatusLineStyle style_;
  std::chrono::steady_clock::duration redrawInterval_;
  Clock clock_;
  std::chrono::steady_clock::time_point lastDrawn_{};
  bool statusLineDrawn_ = false;
  // Characters of the line on screen, which a plain redraw or wipe must cover with blanks.
  size_t drawnCharacters_ = 0;
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
