// The reports of morvex-scan in the formats that CI services read themselves: GitHub annotations, GitLab code quality.
#pragma once

#include <cstdint>
#include <string_view>

#include "OutputPieces.h"
#include "ReviewOutput.h"
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
