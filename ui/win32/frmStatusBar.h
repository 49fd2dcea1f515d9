// frmStatusBar: the Win32 progress window, the application's one progress object, with its not-XOR bar.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "ProgressInterface.h"
#include "Win32Form.h"

namespace morvex::win32 {

class frmStatusBar : public ProgressInterface {
 public:
  frmStatusBar();
  ~frmStatusBar() override;
  frmStatusBar(const frmStatusBar&) = delete;
  frmStatusBar& operator=(const frmStatusBar&) = delete;

  void Title(std::string_view sTitle) override;
  std::string Title() const override;
  void Show() override;
  void Close() override;
  bool Shown() const override { return window_ != nullptr; }
  HWND Handle() const { return window_; }

  // Draws the bar and its label for an already clamped percentage into a bitmap selected into dc, of
  // width × height pixels: clear to white, blue text centred in the box's units, then the bar in not-XOR.
  static void DrawBar(HDC dc, int width, int height, HFONT font, int32_t nPercent);

 protected:
  void SetLine(int index, std::string_view sText) override;
  std::string Line(int index) const override;
  void ShowPercent(int32_t nPercent) override;
  void ProcessEvents() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void createWindow();
  void createControls();
  void layOut();
  void createBarPicture();
  void deleteBarPicture();
  void onDpiChanged(int dpi, LPARAM suggestedFrame);
  void fitFrameToLines();
  void showLines();
  void paintBar(HDC dc) const;
  void destroyWindow();

  int dpi_ = 96;
  int clientWidth_ = 0;  // pixels: the design's width, or more where the first line needs it
  HWND window_ = nullptr;
  std::array<HWND, 3> lblProgress_{};
  HWND picStatusBar_ = nullptr;
  HWND cmdCancel_ = nullptr;
  HFONT font_ = nullptr;
  HFONT barFont_ = nullptr;
  HDC barDc_ = nullptr;          // the bar's picture, kept for repaints
  HBITMAP barBitmap_ = nullptr;
  HGDIOBJ barOldBitmap_ = nullptr;
  int barWidth_ = 0;
  int barHeight_ = 0;
  std::array<std::string, 3> lines_;
  // The lines catch up at most once per frame: a run rewrites them for every page and finding.
  static constexpr ULONGLONG kLineFrameMs = 16;
  ULONGLONG linesShownAt_ = 0;
  bool linesPending_ = false;
  static constexpr int32_t kNothingShown = -1;
  int32_t shownPercent_ = kNothingShown;
  bool processingRunEvents_ = false;  // a run is letting events through: a close box press means Cancel
  // A run lets its events through after every page, but under Wine each look into the message queue is a
  // call to the one server process that also opens every page file for the workers. A few milliseconds
  // between looks is still far quicker than anyone presses Cancel.
  static constexpr std::chrono::milliseconds kPumpInterval{4};
  std::optional<std::chrono::steady_clock::time_point> pumpedAt_;  // none yet: the first look is never put off
};

}  // namespace morvex::win32
