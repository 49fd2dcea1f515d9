// The unopened pages in words: the summary line, the windows' message and the list to copy.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "basSearch.h"

namespace morvex {
namespace {

TEST(UnopenedSummaryTest, CountsAreGroupedAndReasonsListedInTheirOrder) {
  UnopenedPages unopened;
  for (int i = 0; i < 20000; ++i) unopened.CountTried();
  EXPECT_EQ(UnopenedSummary(unopened), "");
  for (int i = 0; i < 4; ++i) unopened.Add("P", "bad", {PageFailureReason::kNotValidJson, "at byte 1: x"});
  for (int i = 0; i < 1200; ++i) unopened.Add(i < 600 ? "P" : "Q", "gone", {PageFailureReason::kMissing, ""});
  EXPECT_EQ(UnopenedSummary(unopened), "1,204 of 20,000 pages could not be opened: 1,200 missing, 4 not valid JSON");
  EXPECT_EQ(unopened.At(0).detail, "at byte 1: x");
  unopened.CountListTried();
  unopened.CountListTried();
  unopened.AddPageList("R", "/s/r/pages.dbf", {PageFailureReason::kUnreadable, "Permission denied"});
  EXPECT_EQ(UnopenedSummary(unopened), "1,204 of 20,000 pages could not be opened: 1,200 missing, 4 not valid JSON; "
                                       "1 of 2 page lists could not be opened: 1 unreadable");
  // Nothing tried but lists that failed: no page was scanned, and the line says so first.
  UnopenedPages lists;
  lists.CountListTried();
  lists.AddPageList("S", "", {PageFailureReason::kNoProjectFolder, ""});
  EXPECT_EQ(UnopenedSummary(lists), "No page was scanned: 1 of 1 page list could not be opened: 1 no project folder");
  EXPECT_EQ(unopened.At(1203).project, "Q");
  for (const auto& [number, text] : std::vector<std::pair<int64_t, std::string>>{
           {0, "0"}, {999, "999"}, {1000, "1,000"}, {-1234567, "-1,234,567"},
           {INT64_MIN, "-9,223,372,036,854,775,808"}}) {
    EXPECT_EQ(GroupThousands(number), text);
  }
}

TEST(UnopenedWindowMessageTest, ARunThatOpenedNoPageSaysWhichServerWhereAndWhatToDo) {
  UnopenedPages none, some, everything;
  everything.CountTried();
  for (UnopenedPages* pages : {&none, &some}) {
    for (int i = 0; i < 2; ++i) pages->CountTried();
    pages->Add("P", "Mimic", {PageFailureReason::kMissing, ""});
  }
  none.Add("P", "Trend", {PageFailureReason::kMissing, ""});
  const std::string summary = "No page was scanned: 2 of 2 pages could not be opened: 2 missing\r\n\r\n";
  const std::string pageFiles = "The page server was Morvex's page-file server. It looks for each page as "
                                "<page>.json in its project's folder (the project's Path in master.dbf), <page> "
                                "being the page's Name in pages.dbf.\r\n\r\n";
  const std::string chooseInWindow = "To use another page server, choose \"Page server...\" in this window's system "
                                     "menu (Alt+Space), or set the value PageServer under HKEY_CURRENT_USER\\Software"
                                     "\\VB and VBA Program Settings\\Morvex\\Settings.";
  const std::string export_ = "To scan these pages here, export them as page files: page-files.md (in docs/ of the "
                              "sources, beside the README once installed) describes their names and contents.";
  struct Case {
    const UnopenedPages* pages;
    PageServerUsed server;
    ServerChoiceHint hint;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {&none, {true, ""}, ServerChoiceHint::kExportPageFiles, summary + pageFiles + export_},
      {&none, {true, ""}, ServerChoiceHint::kChooseInWindow, summary + pageFiles + chooseInWindow},
      {&none, {false, "Acme.Pages"}, ServerChoiceHint::kChooseInWindow,
       summary + "The page server was Acme.Pages, chosen by its class identifier; where it looks for pages is for "
                 "that server to say.\r\n\r\n" + chooseInWindow},
      {&none, {false, ""}, ServerChoiceHint::kExportPageFiles,
       summary + "The page server in use opened none of them.\r\n\r\n" + export_},
      // Where one page opened the server works: only the summary.
      {&some, {true, ""}, ServerChoiceHint::kChooseInWindow, "1 of 2 pages could not be opened: 1 missing"},
      {&everything, {true, ""}, ServerChoiceHint::kChooseInWindow, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(UnopenedWindowMessage(*c.pages, c.server, c.hint), c.expected);

  // Lists that hid every page are not the server's doing.
  UnopenedPages lists;
  lists.CountListTried();
  lists.AddPageList("S", "", {PageFailureReason::kNoProjectFolder, ""});
  EXPECT_EQ(UnopenedWindowMessage(lists, {true, ""}, ServerChoiceHint::kExportPageFiles), UnopenedSummary(lists));
}

TEST(UnopenedWindowMessageTest, TheListToCopyIsOneRowOfThreeCellsPerFailureInRunOrder) {
  UnopenedPages unopened;
  unopened.Add("P", "Mimic", {PageFailureReason::kMissing, ""});
  unopened.AddPageList("Q", "/s/q/pages.dbf", {PageFailureReason::kUnreadable, "Permission denied"});
  unopened.Add("Q\tR", "Line\r\nTwo", {PageFailureReason::kNotValidJson, "at byte 3:\tbad"});
  EXPECT_EQ(UnopenedListText(unopened),
            "Project\tPage\tReason\r\n"
            "P\tMimic\tmissing\r\n"
            "Q\t/s/q/pages.dbf\tunreadable: Permission denied\r\n"
            "Q R\tLine  Two\tnot valid JSON: at byte 3: bad\r\n");
}

}  // namespace
}  // namespace morvex
