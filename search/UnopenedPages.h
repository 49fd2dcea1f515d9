// UnopenedPages: the pages of a run that did not open, each with its reason, and how many pages it tried.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "PageFailure.h"

namespace morvex {

// Kept compactly (a site of pages that all fail holds hundreds of thousands): the names and details share one
// text, and a project's name is held once for its run of pages.
class UnopenedPages {
 public:
  struct Entry {
    std::string_view project;
    std::string_view page;
    PageFailureReason reason;
    std::string_view detail;
  };

  void CountTried() { ++tried_; }
  void Add(std::string_view project, std::string_view page, const PageFailure& failure);

  // Pages the run tried to open, and how many of them did not open.
  int64_t Tried() const { return tried_; }
  int64_t Count() const { return static_cast<int64_t>(entries_.size()); }
  int64_t CountOf(PageFailureReason reason) const { return byReason_[static_cast<size_t>(reason)]; }
  // 0-based, in the order the run met them. The views stay valid until the next Add.
  Entry At(int64_t index) const;

 private:
  struct Slot {
    uint32_t project;  // index into projects_
    PageFailureReason reason;
    size_t page;  // offset into text_; the detail follows the page
    uint32_t pageLength;
    uint32_t detailLength;
  };
  int64_t tried_ = 0;
  std::vector<std::string> projects_;
  std::string text_;
  std::vector<Slot> entries_;
  std::array<int64_t, kPageFailureReasonCount> byReason_{};
};

// "1,204 of 20,000 pages could not be opened: 1,200 missing, 4 not valid JSON"; empty when every page opened.
std::string UnopenedSummary(const UnopenedPages& unopened);

// 20000 as "20,000".
std::string GroupThousands(int64_t number);

}  // namespace morvex
