// basSearch: one search run from the user's folder to the report, and the steps it is made of.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "AppContext.h"
#include "FindingsList.h"
#include "PageWorkers.h"
#include "TextTable.h"
#include "UnopenedPages.h"

namespace morvex {

// How a run ended, for front ends that need more than the report text (the command line's exit status).
enum class RunOutcome {
  kCompleted,          // walked to its end; "Done" was shown
  kCancelled,          // the user pressed Cancel
  kProjectListMissing, // "Cannot open project list:"
  kUnexpectedError,    // an error ended the run; its message was shown
};

struct SearchResult {
  RunOutcome outcome = RunOutcome::kCompleted;
  bool showAll = true;    // which header the report has
  FindingsList findings;  // what the report is made from
  UnopenedPages unopened; // the pages tried, and those that did not open with their reasons
  // Name and resolved folder of every project the run walked, for outputs that point at page files.
  std::vector<std::pair<std::string, std::string>> projectFolders;
  // A copy of the site that the run was asked to write as it went (an export) could not be written whole: the
  // run did not do all it was asked, however far its scan got.
  bool exportIncomplete = false;

  // The report text with CR LF line ends; empty for kProjectListMissing and kUnexpectedError. Built anew on
  // each call: front ends that can take it in pieces use WriteReport instead.
  std::string Report() const;
};

// Hands the report to write in pieces: "No items found" alone, or the header and every finding, each
// followed by lineEnd. Nothing for a run that produced no report.
void WriteReport(const SearchResult& result, std::string_view lineEnd,
                 const std::function<void(std::string_view)>& write);
std::string_view ReportHeader(bool bShowAll);
inline constexpr std::string_view kNoItemsFound = "No items found";

// What a window says beside a report that is not the whole site's (a cancelled run, one an error report
// ended), so the copied report itself stays as it is; empty for a run that was walked to its end.
std::string_view ReportCompletenessNote(RunOutcome outcome);

SearchResult RunSearchDetailed(AppContext& context, std::string_view sFolder, bool bShowAll,
                               bool bIgnoreBuiltIn);

// The report text, or empty when the project list cannot be opened or an unexpected error ends the run.
std::string RunSearch(AppContext& context, std::string_view sFolder, bool bShowAll, bool bIgnoreBuiltIn);

// Adds up the record counts of every project's "pages.dbf". Raises errors to its caller.
// sBaseFolder is the folder holding "master.dbf", against which relative project paths are taken.
int32_t CountPages(const TextTable& sTable, int32_t nPathColumn, std::string_view sBaseFolder);

// 0 when the project was walked to its end (also without a page list), -1 when the user cancelled.
// Pages that did not open go into unopened, when given, with the server's reason. With workers, their servers
// open and walk the pages, and everything else happens here in page order, as with the context's one server.
int16_t ScanProject(AppContext& context, std::string_view sProjectName, std::string_view sProjectPath,
                    FindingsList& findings, int32_t& nPagesDone, int32_t nTotalPages, bool bShowAll,
                    UnopenedPages* unopened = nullptr, PageWorkers* workers = nullptr);

// How many pages a run names to the server ahead of the one it opens.
inline constexpr int32_t kPagesNamedAhead = 8;

// Walks the objects of the open page and adds a line for every reserved Tarvo property name.
void ScanPageObjects(PageAutomation& automation, ProgressInterface& progress, std::string_view sProjectName,
                     std::string_view sPageName, FindingsList& findings, bool bShowAll);

// The progress line that counts the findings so far.
void ShowFoundCount(ProgressInterface& progress, int32_t nFound, std::string& scratch);

// Rounds pages done / total × 100 half to even; false when total is 0 (the percentage then keeps its value).
bool ComputePercent(int32_t nPagesDone, int32_t nTotalPages, int32_t& nPercent);

}  // namespace morvex
