// UnopenedPages: the pages and page lists of a run that did not open, each with its reason, and how many it tried.
#pragma once

#include <array>
#include <cstdint>
#include <set>
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

  // A page list that could not be read hides every page of its project: a run must not pass for clean by
  // never having reached a page. Few (one per project at most), so kept plainly.
  struct PageList {
    std::string project;
    std::string path;  // as the run joined it; empty when the project has no folder
    PageFailureReason reason;
    std::string detail;
    int64_t pagesBefore;  // how many unopened pages the run had met before this list, for the run's order
  };

  void CountTried() { ++tried_; }
  void Add(std::string_view project, std::string_view page, const PageFailure& failure);
  void CountListTried() { ++listsTried_; }
  void AddPageList(std::string_view project, std::string_view path, const PageFailure& failure);

  // Pages the run tried to open, and how many of them did not open.
  int64_t Tried() const { return tried_; }
  int64_t Count() const { return static_cast<int64_t>(entries_.size()); }
  int64_t CountOf(PageFailureReason reason) const { return byReason_[static_cast<size_t>(reason)]; }
  // 0-based, in the order the run met them. The views stay valid until the next Add.
  Entry At(int64_t index) const;

  int64_t ListsTried() const { return listsTried_; }
  int64_t ListCount() const { return static_cast<int64_t>(lists_.size()); }
  const PageList& ListAt(int64_t index) const { return lists_[static_cast<size_t>(index)]; }
  // Anything at all that did not open.
  bool Any() const { return Count() > 0 || ListCount() > 0; }
  // Something did not open and not one page did: the run scanned nothing, whatever its report says.
  bool NothingScanned() const { return Any() && Count() == Tried(); }

  // The same, for the many callers that tell both alike: the project, the page's name or the page list's path,
  // whether it is a page list, the reason and its detail.
  template <typename Visit>
  void ForEachAlike(Visit visit) const {
    ForEachInRunOrder(
        [&](const PageList& list) {
          visit(std::string_view(list.project), std::string_view(list.path), true, list.reason,
                std::string_view(list.detail));
        },
        [&](const Entry& entry) { visit(entry.project, entry.page, false, entry.reason, entry.detail); });
  }

  // True the first time a run tells of this damaged table: a page list read by the count and the scan, or
  // named by two projects, is told once.
  bool FirstTellingOfDamage(std::string_view path) { return damageTold_.emplace(path).second; }

  // Visits page lists and pages in the order the run met them.
  template <typename OnList, typename OnPage>
  void ForEachInRunOrder(OnList onList, OnPage onPage) const {
    size_t list = 0;
    for (int64_t page = 0; page <= Count(); ++page) {
      while (list < lists_.size() && lists_[list].pagesBefore == page) onList(lists_[list++]);
      if (page < Count()) onPage(At(page));
    }
  }

 private:
  struct Slot {
    uint32_t project;  // index into projects_
    PageFailureReason reason;
    size_t page;  // offset into text_; the detail follows the page
    uint32_t pageLength;
    uint32_t detailLength;
  };
  int64_t tried_ = 0;
  int64_t listsTried_ = 0;
  std::vector<PageList> lists_;
  std::set<std::string, std::less<>> damageTold_;
  std::vector<std::string> projects_;
  std::string text_;
  std::vector<Slot> entries_;
  std::array<int64_t, kPageFailureReasonCount> byReason_{};
};

// "1,204 of 20,000 pages could not be opened: 1,200 missing, 4 not valid JSON", then "; 2 of 9 page lists could
// not be opened: 2 missing" when some were not; "No page was scanned: " in front when nothing was. Empty when
// everything opened.
std::string UnopenedSummary(const UnopenedPages& unopened);

// How the window's user gets a run to open pages another time: told when a run opened none.
enum class ServerChoiceHint {
  kExportPageFiles,   // no other server can be chosen: the pages must become page files (docs/page-files.md)
  kChooseInWindow,    // the window's system menu or the PageServer setting picks another server
};

// Which server a run asked, as the server itself says.
struct PageServerUsed {
  bool pageFiles = false;       // our page-file server
  std::string classIdentifier;  // a server created by class identifier; empty for ours and for one unnamed
};

// The window's message for a run that did not open everything: the summary and, when not one page opened,
// which server was asked, where it looked and what the user can do about it. Empty when everything opened.
std::string UnopenedWindowMessage(const UnopenedPages& unopened, const PageServerUsed& server,
                                  ServerChoiceHint hint);
// The question that follows it, offering the list below.
inline constexpr std::string_view kCopyUnopenedQuestion =
    "Copy the list of what did not open (project, page, reason) to the clipboard?";
// Every page list and page that did not open, in the run's order: a header line, then project, page (a page
// list's path) and reason, tab-separated, each line ending in CR LF. Tabs and line breaks inside a name or a
// reason become blanks, so a line is always one row of three cells.
std::string UnopenedListText(const UnopenedPages& unopened);

// 20000 as "20,000".
std::string GroupThousands(int64_t number);

}  // namespace morvex
