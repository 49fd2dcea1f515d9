// The counts in one pass over the placements, with hash maps over views into the findings list.
#include "CollisionCounts.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "ReservedKeywords.h"

namespace morvex {

namespace {

std::string_view FieldOf(const FindingsList& findings, int32_t index, int32_t column) {
  return column < findings.FieldCount(index) ? findings.Field(index, column) : std::string_view();
}

struct PairHash {
  size_t operator()(uint64_t key) const { return static_cast<size_t>(key * 0x9E3779B97F4A7C15ull >> 17); }
};

}  // namespace

CollisionCounts CountCollisions(const SearchResult& result) {
  CollisionCounts counts;
  const FindingsList& findings = result.findings;
  const int32_t placements = findings.Count();
  counts.templateOf.resize(static_cast<size_t>(placements));

  std::unordered_map<std::string_view, int32_t> projectIds;
  std::vector<ProjectCount> projects;
  std::unordered_map<std::string_view, std::unordered_map<std::string_view, int32_t>> pageIds;
  int32_t pageCount = 0;
  // Placements come page by page, so a page is looked up once for its run of placements.
  std::string_view lastProject, lastPage;
  int32_t project = -1, page = -1;
  std::unordered_set<uint64_t, PairHash> templatePages, templateProjects;
  templatePages.reserve(static_cast<size_t>(placements));
  std::vector<int32_t> lastPageOf;

  for (int32_t i = 0; i < placements; ++i) {
    const std::string_view projectName = FieldOf(findings, i, kProjectColumn);
    const std::string_view pageName = FieldOf(findings, i, kPageColumn);
    if (page < 0 || projectName != lastProject || pageName != lastPage) {
      const auto [at, isNew] = projectIds.try_emplace(projectName, static_cast<int32_t>(projects.size()));
      if (isNew) projects.push_back({projectName, 0});
      project = at->second;
      page = pageIds[projectName].try_emplace(pageName, pageCount).first->second;
      if (page == pageCount) ++pageCount;
      lastProject = projectName;
      lastPage = pageName;
    }
    ++projects[static_cast<size_t>(project)].placements;

    const std::string_view identity[] = {
        FieldOf(findings, i, kLibraryProjectColumn), FieldOf(findings, i, kLibraryColumn),
        FieldOf(findings, i, kTarvoColumn), FieldOf(findings, i, kPropertyColumn)};
    const int32_t t = counts.templates.AddOrFind(identity, 4);
    counts.templateOf[static_cast<size_t>(i)] = t;
    if (static_cast<size_t>(t) == counts.byTemplate.size()) {
      counts.byTemplate.emplace_back();
      lastPageOf.push_back(-1);
    }
    TemplateCount& count = counts.byTemplate[static_cast<size_t>(t)];
    ++count.placements;
    // Most repeats are the same template again on the same page: no set needed for those.
    if (lastPageOf[static_cast<size_t>(t)] != page) {
      lastPageOf[static_cast<size_t>(t)] = page;
      const uint64_t key = static_cast<uint64_t>(t) << 32;
      if (templatePages.insert(key | static_cast<uint32_t>(page)).second) ++count.pages;
      if (templateProjects.insert(key | static_cast<uint32_t>(project)).second) ++count.projects;
    }
  }

  const auto templateCount = static_cast<int32_t>(counts.byTemplate.size());
  counts.fixOrder.resize(static_cast<size_t>(templateCount));
  for (int32_t t = 0; t < templateCount; ++t) counts.fixOrder[static_cast<size_t>(t)] = t;
  std::stable_sort(counts.fixOrder.begin(), counts.fixOrder.end(), [&](int32_t a, int32_t b) {
    return counts.byTemplate[static_cast<size_t>(a)].placements > counts.byTemplate[static_cast<size_t>(b)].placements;
  });

  // A reserved name matches byte for byte, so the property column is the name itself.
  std::vector<NameCount> names(ReservedKeywords.size());
  for (size_t n = 0; n < names.size(); ++n) names[n].name = ReservedKeywords[n];
  for (int32_t t = 0; t < templateCount; ++t) {
    const std::optional<size_t> n = ReservedKeywordIndex(counts.templates.Field(t, 3));
    if (!n) continue;
    names[*n].placements += counts.byTemplate[static_cast<size_t>(t)].placements;
    ++names[*n].templates;
  }
  for (const NameCount& name : names) {
    if (name.placements > 0) counts.byName.push_back(name);
  }
  std::stable_sort(counts.byName.begin(), counts.byName.end(),
                   [](const NameCount& a, const NameCount& b) { return a.placements > b.placements; });

  counts.byProject = std::move(projects);
  std::stable_sort(counts.byProject.begin(), counts.byProject.end(),
                   [](const ProjectCount& a, const ProjectCount& b) { return a.placements > b.placements; });

  CollisionTotals& totals = counts.totals;
  totals.placements = placements;
  totals.templates = templateCount;
  totals.pagesWithCollisions = pageCount;
  totals.pagesScanned = result.unopened.Tried() - result.unopened.Count();
  totals.projectsWithCollisions = static_cast<int64_t>(counts.byProject.size());
  totals.projectsWalked = static_cast<int64_t>(result.projectFolders.size());
  return counts;
}

}  // namespace morvex
