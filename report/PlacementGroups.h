// The placements of a --show-all list grouped by template property and page, for one SARIF result per group.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ReportPieces.h"

namespace morvex {

// The placements of each template property on each page, in the order of their first placement, each group's
// in report order. Placements are keyed by their fingerprint's fields, so a page scanned twice still gives
// one result per template property; the fields' hash finds a group, the fields themselves confirm it.
struct PlacementGroups {
  std::vector<int32_t> members;  // group by group
  std::vector<size_t> starts;    // group g is members[starts[g], starts[g + 1])
  bool hashesShared = false;     // two groups' fields hash alike (next to never)
  size_t Count() const { return starts.size() - 1; }
  std::span<const int32_t> Group(size_t g) const {
    return std::span<const int32_t>(members).subspan(starts[g], starts[g + 1] - starts[g]);
  }
};

PlacementGroups GroupPlacements(const FindingsList& findings, const FindingSelection* selection);

}  // namespace morvex
