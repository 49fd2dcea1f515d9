// A progress object that keeps its lines and shows nothing, for fuzzing and benchmarks of the page scan.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ProgressInterface.h"

namespace morvex {

class SilentProgress : public ProgressInterface {
 public:
  void Title(std::string_view sTitle) override { title_.assign(sTitle); }
  std::string Title() const override { return title_; }
  void Show() override {}
  void Close() override {}
  bool Shown() const override { return true; }

 protected:
  void SetLine(int index, std::string_view sText) override { lines_[index].assign(sText); }
  std::string Line(int index) const override { return lines_[index]; }
  void ShowPercent(int32_t) override {}
  void ProcessEvents() override {}

 private:
  std::string lines_[3];
  std::string title_;
};

}  // namespace morvex
