// GitHub Actions workflow annotations of a run: a warning per finding, the pages that did not open.
#pragma once

#include <cstdint>
#include <string_view>

#include "PageFileLocations.h"
#include "ReportPieces.h"
#include "basSearch.h"

namespace morvex {

// One GitHub Actions workflow command per line: "::warning" per finding (selection as in the other outputs)
// on its page file relative to the root (absolute outside it), line 1, titled with the reserved name; in
// --unique reports, which have no page, without a file. Then "::warning" per page and "::error" per page list
// that did not open. Properties and messages carry GitHub's escapes. Nothing when the run failed before it
// had a report. Gives the number of findings outside the root.
int64_t WriteGithubAnnotations(const SearchResult& result, bool bShowAll, std::string_view siteFolder,
                               const OutputSink& write, const FindingSelection* selection = nullptr,
                               const PageFileRoot& root = {});

}  // namespace morvex
