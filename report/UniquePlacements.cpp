// Folding placements into the --unique list the same scan would have given.
#include "UniquePlacements.h"

#include "Fingerprint.h"

namespace morvex {

FindingsList UniqueFromPlacements(const FindingsList& placements, std::vector<int32_t>& first) {
  FindingsList unique;
  first.clear();
  for (int32_t i = 0; i < placements.Count(); ++i) {
    const IdentityFields fields = IdentityOf(placements, i, true);
    // Project and page are the first two fields; the template property the other four.
    if (unique.Add({fields.fields[2], fields.fields[3], fields.fields[4], fields.fields[5]})) first.push_back(i);
  }
  return unique;
}

}  // namespace morvex
