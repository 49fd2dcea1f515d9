// The command line's progress object, message sink and Ctrl-C handling.
#include "ScanTerminal.h"

#include <atomic>
#include <string_view>
#include <utility>

#include "Console.h"
#include "ScanMessages.h"
#include "TextUtil.h"

namespace morvex {

namespace {

// Lock-free atomics: set from a signal handler on Linux and from the console's own thread on Windows.
std::atomic<int> gInterruptCount{0};
std::atomic<int> gInterruptPending{0};
static_assert(std::atomic<int>::is_always_lock_free);

// True for the second Ctrl-C, which ends the process.
bool NoteInterrupt() {
  if (gInterruptCount.load() > 0) return true;
  gInterruptCount.store(1);
  gInterruptPending.store(1);
  return false;
}

constexpr std::string_view kSearchingText = "Searching for reserved Tarvo keywords...";

// The running count that the page scan appends to line 0, or "0" before the first finding.
std::string_view FindingsSoFar(std::string_view line0) {
  if (line0.size() <= kSearchingText.size() || !line0.starts_with(kSearchingText)) return "0";
  size_t end = kSearchingText.size();
  while (end < line0.size() && line0[end] >= '0' && line0[end] <= '9') ++end;
  const std::string_view digits = line0.substr(kSearchingText.size(), end - kSearchingText.size());
  return digits.empty() ? "0" : digits;
}

// Cuts the text to at most count characters, never inside one; answers how many are left.
size_t KeepCharacters(std::string& text, size_t count) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (characters++ == count) {
      text.resize(i);
      return count;
    }
  }
  return characters;
}

constexpr std::string_view kWipeLine = "\r\033[K";

}  // namespace

void InstallInterruptHandler() { console::OnInterrupt(NoteInterrupt); }

bool TakeInterruptRequest() { return gInterruptPending.exchange(0) != 0; }

void RequestInterruptForTest() {
  gInterruptCount.store(1);
  gInterruptPending.store(1);
}

StatusLineStyle StatusLineStyleFor(std::FILE* stream) {
  if (!console::IsConsole(stream)) return StatusLineStyle::kNone;
  // A terminal that cannot move the cursor still gets the line, as other command-line tools give it there:
  // Emacs's shell buffers and the usual CI log viewers act on a carriage return, so the line is rewritten in
  // place as on any terminal, while an escape sequence would show as text. Blanks wipe what a longer line
  // left.
  return console::TakesControlSequences(stream) ? StatusLineStyle::kInPlace : StatusLineStyle::kPlain;
}

TerminalProgress::TerminalProgress(std::FILE* stream, bool bDrawStatusLine)
    : TerminalProgress(stream, bDrawStatusLine ? StatusLineStyle::kInPlace : StatusLineStyle::kNone) {}

TerminalProgress::TerminalProgress(std::FILE* stream, StatusLineStyle style,
                                   std::chrono::steady_clock::duration redrawInterval, Clock clock)
    : stream_(stream), style_(style), redrawInterval_(redrawInterval), clock_(std::move(clock)) {
  ResetLines();
}

void TerminalProgress::ResetLines() {
  lines_[0] = "Operation in progress...";
  lines_[1].clear();
  lines_[2].clear();
  percent_ = 0;
}

void TerminalProgress::Show() { shown_ = true; }

void TerminalProgress::Close() {
  if (!shown_) return;
  shown_ = false;
  ResetLines();
  ClearStatusLine();
}

void TerminalProgress::ShowPercent(int32_t nPercent) {
  const bool reachedEnd = nPercent == 100 && percent_ != 100;
  percent_ = nPercent;
  if (style_ == StatusLineStyle::kNone) return;
  // A page can take less than a millisecond; redrawing for each would cost more than the scan itself on a
  // slow terminal, and a skipped state is soon overtaken by a later one. Drawn at once regardless: a line
  // that is not on screen (the first one, or one a message wiped), and the first 100 %, so that a run ending
  // on a burst of small pages does not leave an earlier figure standing.
  if (statusLineDrawn_ && !reachedEnd && clock_() - lastDrawn_ < redrawInterval_) return;
  DrawStatusLine();
}

void TerminalProgress::ProcessEvents() {
  if (TakeInterruptRequest()) PressCancel();
}

void TerminalProgress::DrawStatusLine() {
  std::string status = ToDecimal(percent_);
  status.append("% | ");
  AppendShownControls(status, lines_[1]);
  status.append(" | ");
  AppendShownControls(status, lines_[2]);
  status.append(" | ");
  status.append(FindingsSoFar(lines_[0])).append(" found");
  Draw(std::move(status));
}

void TerminalProgress::Draw(std::string status) {
  // Longer than the terminal is wide, the line would wrap and \r could no longer redraw it in place.
  const size_t characters = KeepCharacters(status, console::Columns(stream_) - 1);
  std::string line;
  if (style_ == StatusLineStyle::kInPlace) {
    line.assign(kWipeLine).append(status);
  } else {
    line.assign("\r").append(status);
    if (characters < drawnCharacters_) line.append(drawnCharacters_ - characters, ' ');
  }
  Write(line);
  statusLineDrawn_ = true;
  drawnCharacters_ = characters;
  lastDrawn_ = clock_();
}

void TerminalProgress::ShowWriting(std::string_view what) {
  if (style_ == StatusLineStyle::kNone) return;
  Draw("Writing " + std::string(what) + "...");
}

void TerminalProgress::ClearStatusLine() {
  if (!statusLineDrawn_) return;
  if (style_ == StatusLineStyle::kInPlace) {
    Write(kWipeLine);
  } else {
    std::string blank = "\r";
    blank.append(drawnCharacters_, ' ').append("\r");
    Write(blank);
  }
  statusLineDrawn_ = false;
  drawnCharacters_ = 0;
}

void TerminalProgress::Write(std::string_view text) {
  // By length: a project or page name may hold a NUL, which would cut the line short.
  std::fwrite(text.data(), 1, text.size(), stream_);
  std::fflush(stream_);
}

void TerminalMessages::ShowMessage(std::string_view sMessage) {
  if (sMessage == "Done") return;
  progress_.ClearStatusLine();
  // By length: a NUL from a table value must not cut the message and swallow its line end.
  const std::string line = prefix_ + MessageLine(sMessage);
  std::fwrite(line.data(), 1, line.size(), stream_);
  std::fflush(stream_);
}

}  // namespace morvex
