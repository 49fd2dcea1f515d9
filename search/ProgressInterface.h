// The progress object the search talks to: three text lines, a percentage, a cancel flag, show and close.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace morvex {

// The checks and the cancel hand-out live here so that the window and every test double behave alike;
// a front end supplies the drawing and the event processing.
class ProgressInterface {
 public:
  virtual ~ProgressInterface() = default;

  // Line nIndex (0 to 2). Another index is error 9, one outside the signed 16-bit range error 6; no line changes.
  void Text(int32_t nIndex, std::string_view sText);
  std::string Text(int32_t nIndex) const;

  virtual void Title(std::string_view sTitle) = 0;
  virtual std::string Title() const = 0;

  // Shows nPercent (clamped to 0..100 for display), lets pending events run, then hands out bCancel once.
  void Update(int32_t nPercent, bool& bCancel);

  // Modeless, no owner; showing a shown window changes nothing. Closing resets the lines for the next show.
  virtual void Show() = 0;
  virtual void Close() = 0;
  virtual bool Shown() const = 0;

  // Lets pending events run and hands out bCancel once, without touching the percentage: a page that failed
  // to open must not swallow a Cancel pressed meanwhile, yet it moves no bar.
  void PollCancel(bool& bCancel);

  // What the Cancel button does, and nothing more.
  void PressCancel() { bCancel_ = true; }

  // A press left over from a window that outlived its run must not cut the next run short.
  void ClearCancel() { bCancel_ = false; }

  static int32_t ClampPercent(int32_t nPercent) { return nPercent < 0 ? 0 : (nPercent > 100 ? 100 : nPercent); }

 protected:
  virtual void SetLine(int index, std::string_view sText) = 0;
  virtual std::string Line(int index) const = 0;
  // Must make the new state visible before returning; receives the clamped value.
  virtual void ShowPercent(int32_t nPercent) = 0;
  virtual void ProcessEvents() = 0;

 private:
  bool bCancel_ = false;
};

}  // namespace morvex
