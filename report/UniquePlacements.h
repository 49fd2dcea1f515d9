// A --unique list made from a --show-all one, each of its findings pointing at its first placement.
#pragma once

#include <cstdint>
#include <vector>

#include "FindingsList.h"

namespace morvex {

// A --unique report made from the placements, so that each of its findings can point at its first placement.
struct UniquePlacements {
  FindingsList placements;    // a --show-all list
  std::vector<int32_t> first; // per --unique finding, the index of its first placement
};
// The --unique list the same scan would have given (first spellings, first-seen order), with `first` filled in.
FindingsList UniqueFromPlacements(const FindingsList& placements, std::vector<int32_t>& first);

}  // namespace morvex
