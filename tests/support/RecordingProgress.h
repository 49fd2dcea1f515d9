// RecordingProgress: a progress object for tests that remembers every call and presses Cancel on cue.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Error.h"
#include "ProgressInterface.h"

namespace morvex::doubles {

enum class ProgressCall { kShow, kClose, kTitle, kText, kUpdate };

struct ProgressEvent {
  ProgressCall call = ProgressCall::kShow;
  int32_t index = 0;      // line index for kText
  std::string text;    // line text for kText, caption for kTitle
  int32_t percent = 0;    // clamped percentage for kUpdate
};

class RecordingProgress : public ProgressInterface {
 public:
  static constexpr const char* kFirstLine = "Operation in progress...";

  RecordingProgress() { ResetLines(); }

  // The nth Update (1-based, counted over the object's life) processes `presses` Cancel presses.
  void PressCancelAtUpdate(int32_t nthUpdate, int presses = 1) { cancelPresses_[nthUpdate] += presses; }
  // The nth line write (1-based, through Text set) throws this error instead of changing the line.
  void FailTextAt(int32_t nthWrite, int32_t number = kErrOverflow) { failingWrites_[nthWrite] = number; }
  // Every line write from now on throws.
  void FailAllText(bool fail = true, int32_t number = kErrOverflow) {
    failAllWrites_ = fail;
    failAllNumber_ = number;
  }
  // Runs inside Update as the window's event processing would: user input during a run lands here.
  void OnProcessEvents(std::function<void(int32_t nthUpdate)> handler) { onEvents_ = std::move(handler); }

  void Title(std::string_view sTitle) override {
    title_.assign(sTitle);
    events_.push_back({ProgressCall::kTitle, 0, std::string(sTitle), 0});
  }
  std::string Title() const override { return title_; }

  void Show() override {
    events_.push_back({ProgressCall::kShow, 0, {}, 0});
    if (shown_) return;
    shown_ = true;
    ++showCount_;
    ResetLines();
    percent_ = 0;
    hasPercent_ = false;
  }
  void Close() override {
    events_.push_back({ProgressCall::kClose, 0, {}, 0});
    shown_ = false;
    ++closeCount_;
  }
  bool Shown() const override { return shown_; }

  const std::vector<ProgressEvent>& Events() const { return events_; }
  // Every text written to one line, in order (failed writes excluded).
  std::vector<std::string> LineHistory(int32_t index) const {
    std::vector<std::string> history;
    for (const ProgressEvent& event : events_)
      if (event.call == ProgressCall::kText && event.index == index) history.push_back(event.text);
    return history;
  }
  // The clamped percentages shown by every Update, in order.
  std::vector<int32_t> Percentages() const {
    std::vector<int32_t> shown;
    for (const ProgressEvent& event : events_)
      if (event.call == ProgressCall::kUpdate) shown.push_back(event.percent);
    return shown;
  }
  std::string CurrentLine(int index) const { return lines_[static_cast<size_t>(index)]; }
  int32_t CurrentPercent() const { return percent_; }
  bool HasPercent() const { return hasPercent_; }
  int32_t UpdateCount() const { return updates_; }
  int32_t TextWriteCount() const { return writes_; }
  int32_t ShowCount() const { return showCount_; }
  int32_t CloseCount() const { return closeCount_; }
  void ClearEvents() { events_.clear(); }

 protected:
  void SetLine(int index, std::string_view sText) override {
    ++writes_;
    if (failAllWrites_) throw Error(failAllNumber_, "scripted progress failure");
    if (const auto failing = failingWrites_.find(writes_); failing != failingWrites_.end())
      throw Error(failing->second, "scripted progress failure");
    lines_[static_cast<size_t>(index)] = sText;
    events_.push_back({ProgressCall::kText, index, std::string(sText), 0});
  }
  std::string Line(int index) const override { return lines_[static_cast<size_t>(index)]; }
  void ShowPercent(int32_t nPercent) override {
    ++updates_;
    percent_ = nPercent;
    hasPercent_ = true;
    events_.push_back({ProgressCall::kUpdate, 0, {}, nPercent});
  }
  void ProcessEvents() override {
    if (const auto presses = cancelPresses_.find(updates_); presses != cancelPresses_.end())
      for (int i = 0; i < presses->second; ++i) PressCancel();
    if (onEvents_) onEvents_(updates_);
  }

 private:
  void ResetLines() {
    lines_[0] = kFirstLine;
    lines_[1].clear();
    lines_[2].clear();
  }

  std::string lines_[3];
  std::string title_;
  int32_t percent_ = 0;
  bool hasPercent_ = false;
  bool shown_ = false;
  int32_t updates_ = 0;
  int32_t writes_ = 0;
  int32_t showCount_ = 0;
  int32_t closeCount_ = 0;
  std::map<int32_t, int> cancelPresses_;
  std::map<int32_t, int32_t> failingWrites_;
  bool failAllWrites_ = false;
  int32_t failAllNumber_ = kErrOverflow;
  std::function<void(int32_t)> onEvents_;
  std::vector<ProgressEvent> events_;
};

}  // namespace morvex::doubles
