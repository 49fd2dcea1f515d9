// Baselines: the findings a team has accepted, written to a file, read back and compared with a run.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FindingsList.h"
#include "ReportPieces.h"

namespace morvex {

// The findings a team has accepted: per fingerprint, how many and what they were.
struct BaselineEntry {
  int64_t count = 0;
  std::vector<std::string> fields;  // the fingerprinted fields, for telling users what was fixed
};
struct Baseline {
  bool showAll = true;
  std::map<std::string, BaselineEntry> entries;
};

Baseline MakeBaseline(const FindingsList& findings, bool bShowAll);
void WriteBaseline(const Baseline& baseline, const OutputSink& write);
// Reads a baseline file's text; on failure nothing, and error says what is wrong, in words.
std::optional<Baseline> ParseBaseline(std::string_view text, std::string& error);

struct BaselineComparison {
  FindingSelection fresh;  // the findings beyond the baseline, in report order
  // Entries seen fewer times than the baseline holds: the fields, the count then and now.
  struct Fixed {
    std::vector<std::string> fields;
    int64_t before = 0;
    int64_t now = 0;
  };
  std::vector<Fixed> fixed;
};

// For each fingerprint the first `count` findings (in report order) are known; any beyond are fresh.
BaselineComparison CompareWithBaseline(const FindingsList& findings, bool bShowAll, const Baseline& baseline);

}  // namespace morvex
