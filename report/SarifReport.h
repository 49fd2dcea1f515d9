// The SARIF 2.1.0 log of a run, and what code-scanning services accept of one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "PageFileLocations.h"
#include "ReportPieces.h"
#include "UniquePlacements.h"
#include "basSearch.h"

namespace morvex {

struct SarifOptions {
  // One result per placement instead of one per template property and page.
  bool perPlacement = false;
  // The folder URIs are relative to; the site folder's is base id "SITE", any other "ROOT".
  PageFileRoot files;
  // Per placement of a --show-all list (the run's, or `unique`'s), where its object starts.
  const std::vector<ObjectPlace>* places = nullptr;
  // For a --unique run: where its findings were placed.
  const UniquePlacements* unique = nullptr;
};

// What a log holds, to compare with what code-scanning services accept.
struct SarifShape {
  int64_t results = 0;
  int64_t mostLocations = 0;  // in one result
  int64_t outsideRoot = 0;    // results whose page file lies outside the root
};

// A SARIF 2.1.0 log of one run: a rule per reserved name; a result per template property on a page with its
// placements there as locations (at most 1,000, the rest counted), or per placement, or per --unique finding
// (selection as in the other outputs); page files and page lists relative to the site folder ("SITE") or the
// given root ("ROOT"), by absolute URI outside it; pages that did not open as tool notifications. Nothing
// when the run failed before it had a report.
SarifShape WriteSarif(const SearchResult& result, bool bShowAll, std::string_view siteFolder,
                      const OutputSink& write, const FindingSelection* selection = nullptr,
                      const SarifOptions& options = {});

// What code-scanning services take at most: results in a run, locations in a result, bytes of gzip.
struct SarifLimits {
  int64_t results = 25000;
  int64_t locations = 1000;
  uint64_t gzipBytes = 10 * 1000 * 1000;
};
// One line (no "\n") for each limit the log goes beyond, each naming what narrows it; a gzip size that is not
// exact is an estimate, and said to be one.
std::vector<std::string> SarifLimitWarnings(const SarifShape& shape, uint64_t gzipBytes, bool bShowAll,
                                            const SarifLimits& limits = {}, bool bGzipExact = true);

}  // namespace morvex
