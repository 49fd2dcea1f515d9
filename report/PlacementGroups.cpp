// Grouping placements page by page, by the hash of their fingerprint's fields, confirmed by the fields.
#include "PlacementGroups.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>

#include "Fingerprint.h"

namespace morvex {

PlacementGroups GroupPlacements(const FindingsList& findings, const FindingSelection* selection) {
  const auto sameFields = [&](int32_t a, int32_t b) {
    const IdentityFields left = IdentityOf(findings, a, true), right = IdentityOf(findings, b, true);
    return std::equal(left.begin(), left.end(), right.begin(), right.end());
  };
  PlacementGroups groups;
  std::vector<int32_t> firstOf;  // per group, its first placement
  std::vector<int32_t> groupOf;  // per selected placement, in selection order
  // A page's placements come together, so its groups are looked for among its own only; a page met again
  // later (listed twice) starts with the groups it had.
  std::unordered_map<uint64_t, size_t> pageGroups;  // of the current page: the first group of each hash
  std::vector<size_t> sharedHash;                   // groups of the page whose hash an earlier one has
  std::unordered_map<std::string, std::vector<size_t>> groupsOfPage;
  std::string pageKey;
  std::vector<size_t>* currentPage = nullptr;
  std::string_view currentProject, currentPageName;
  std::vector<uint64_t> groupHashes;
  groupOf.reserve(static_cast<size_t>(SelectedCount(findings, selection)));
  ForEachSelected(findings, selection, [&](int32_t i) {
    const IdentityFields identity = IdentityOf(findings, i, true);  // project and page first
    if (currentPage == nullptr || identity.fields[0] != currentProject ||
        identity.fields[1] != currentPageName) {
      currentProject = identity.fields[0];
      currentPageName = identity.fields[1];
      pageKey.assign(currentProject).append(1, '\0').append(currentPageName);
      currentPage = &groupsOfPage[pageKey];
      pageGroups.clear();
      sharedHash.clear();
      for (const size_t group : *currentPage) {
        if (!pageGroups.try_emplace(groupHashes[group], group).second) sharedHash.push_back(group);
      }
    }
    FingerprintHash hash;
    for (const std::string_view field : identity) hash.Add(field);
    const auto [known, added] = pageGroups.try_emplace(hash.Value(), firstOf.size());
    size_t group = known->second;
    if (!added && !sameFields(firstOf[group], i)) {
      group = firstOf.size();
      for (const size_t other : sharedHash) {
        if (sameFields(firstOf[other], i)) {
          group = other;
          break;
        }
      }
      if (group == firstOf.size()) sharedHash.push_back(group);
    }
    if (group == firstOf.size()) {
      firstOf.push_back(i);
      groupHashes.push_back(hash.Value());
      currentPage->push_back(group);
    }
    groupOf.push_back(static_cast<int32_t>(group));
  });
  // Results count the occurrences of their fingerprint: only where two groups' hashes meet is there any to
  // count.
  std::sort(groupHashes.begin(), groupHashes.end());
  groups.hashesShared = std::adjacent_find(groupHashes.begin(), groupHashes.end()) != groupHashes.end();
  groups.starts.assign(firstOf.size() + 1, 0);
  for (const int32_t group : groupOf) ++groups.starts[static_cast<size_t>(group) + 1];
  for (size_t g = 1; g < groups.starts.size(); ++g) groups.starts[g] += groups.starts[g - 1];
  std::vector<size_t> next(groups.starts.begin(), groups.starts.end() - 1);
  groups.members.resize(groupOf.size());
  size_t at = 0;
  ForEachSelected(findings, selection,
                  [&](int32_t i) { groups.members[next[static_cast<size_t>(groupOf[at++])]++] = i; });
  return groups;
}

}  // namespace morvex
