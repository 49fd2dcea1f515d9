// A progress object that keeps its lines and shows nothing, for fuzzing and benchmarks of the page scan.
#pragma once

#include <cstdint>
#include <string>

#include "ProgressInterface.h"

namespace morvex {

class SilentProgress : public ProgressInterface {
 public:
  void Title(const std::u16string& sTitle) override { title_ = sTitle; }
  std::u16string Title() const override { return title_; }
  void Show() override {}
  void Close() override {}
  bool Shown() const override { return true; }

 protected:
  void SetLine(int index, const std::u16string& sText) override { lines_[index] = sText; }
  std::u16string Line(int index) const override { return lines_[index]; }
  void ShowPercent(int32_t) override {}
  void ProcessEvents() override {}

 private:
  std::u16string lines_[3];
  std::u16string title_;
};

}  // namespace morvex
