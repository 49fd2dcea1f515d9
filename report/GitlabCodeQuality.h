// GitLab's code-quality report of a run: a JSON array with an object per finding inside the root.
#pragma once

#include <cstdint>
#include <string_view>

#include "PageFileLocations.h"
#include "ReportPieces.h"
#include "basSearch.h"

namespace morvex {

// GitLab's code-quality report: a JSON array with an object per finding: "description", "check_name" (the
// SARIF rule id), "fingerprint" (the finding's fingerprint and its occurrence among the findings that share
// it, in report order), "severity" "major", "location" {"path" the page file relative to the root (the
// project list in --unique reports), "lines" {"begin": 1}}. GitLab takes no path outside the repository:
// findings whose page file lies outside the root are left out, and their number given. "[]" when nothing was
// found; nothing when the run failed before it had a report.
int64_t WriteGitlabCodeQuality(const SearchResult& result, bool bShowAll, std::string_view siteFolder,
                               const OutputSink& write, const FindingSelection* selection = nullptr,
                               const PageFileRoot& root = {});

}  // namespace morvex
