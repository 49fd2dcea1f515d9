// basSearch: one search run from the user's folder to the report, and the steps it is made of.
#pragma once

#include <cstdint>
#include <string>

#include "AppContext.h"
#include "FindingsList.h"
#include "TextTable.h"

namespace morvex {

// How a run ended, for front ends that need more than the report text (the command line's exit status).
enum class RunOutcome {
  kCompleted,          // walked to its end; "Done" was shown
  kCancelled,          // the user pressed Cancel
  kProjectListMissing, // "Cannot open project list:"
  kUnexpectedError,    // an error ended the run; its message was shown
};

struct SearchResult {
  std::u16string report;  // empty for kProjectListMissing and kUnexpectedError
  RunOutcome outcome = RunOutcome::kCompleted;
  FindingsList findings;  // what the report was built from
};

SearchResult RunSearchDetailed(AppContext& context, const std::u16string& sFolder, bool bShowAll,
                               bool bIgnoreBuiltIn);

// The report text, or empty when the project list cannot be opened or an unexpected error ends the run.
std::u16string RunSearch(AppContext& context, const std::u16string& sFolder, bool bShowAll, bool bIgnoreBuiltIn);

// Adds up the record counts of every project's "pages.dbf". Raises errors to its caller.
// sBaseFolder is the folder holding "master.dbf", against which relative project paths are taken.
int32_t CountPages(const TextTable& sTable, int32_t nPathColumn, const std::u16string& sBaseFolder);

// 0 when the project was walked to its end (also without a page list), -1 when the user cancelled.
int16_t ScanProject(AppContext& context, const std::u16string& sProjectName, const std::u16string& sProjectPath,
                    FindingsList& findings, int32_t& nPagesDone, int32_t nTotalPages, bool bShowAll);

// Walks the objects of the open page and adds a line for every reserved Tarvo property name.
void ScanPageObjects(PageAutomation& automation, ProgressInterface& progress, const std::u16string& sProjectName,
                     const std::u16string& sPageName, FindingsList& findings, bool bShowAll);

// Rounds pages done / total × 100 half to even; false when total is 0 (the percentage then keeps its value).
bool ComputePercent(int32_t nPagesDone, int32_t nTotalPages, int32_t& nPercent);

}  // namespace morvex
