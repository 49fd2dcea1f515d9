// The counts in one pass over the placements, with hash maps over views into the findings list.
#include "CollisionCounts.h"

#include <algorithm>
#include <unordered_map>

#include "ReservedKeywords.h"

namespace morvex {

namespace {

// Distinct (template, other) pairs per template, by sorting them: for runs that came back to a page or project.
void CountDistinct(const std::vector<int32_t>& templateOf, const std::vector<int32_t>& otherOf,
                   std::vector<TemplateCount>& counts, int32_t TemplateCount::*member) {
  std::vector<uint64_t> pairs(templateOf.size());
  for (size_t i = 0; i < pairs.size(); ++i)
    pairs[i] = static_cast<uint64_t>(templateOf[i]) << 32 | static_cast<uint32_t>(otherOf[i]);
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  for (TemplateCount& count : counts) count.*member = 0;
  for (const uint64_t pair : pairs) ++(counts[static_cast<size_t>(pair >> 32)].*member);
}

}  // namespace

CollisionCounts CountCollisions(const SearchResult& result) {
  CollisionCounts counts;
  const FindingsList& findings = result.findings;
  const int32_t placements = findings.Count();
  counts.templateOf.resize(static_cast<size_t>(placements));
  counts.pageOf.resize(static_cast<size_t>(placements));
  std::vector<int32_t> projectOf(static_cast<size_t>(placements));

  std::unordered_map<std::string_view, int32_t> projectIds;
  std::vector<ProjectCount> projects;
  std::unordered_map<std::string_view, std::unordered_map<std::string_view, int32_t>> pageIds;
  // Placements come page by page, so a page is looked up once for its run of placements.
  std::string_view lastProject, lastPage;
  int32_t project = -1, page = -1;
  // A run visits each page once, in one stretch, and each project in one stretch: a template's pages and projects
  // are then told apart by the last one it was met on. A run that came back to one (a page or project listed
  // twice) is counted again by sorting.
  std::vector<int32_t> lastPageOf, lastProjectOf;
  bool cameBack = false;

  for (int32_t i = 0; i < placements; ++i) {
    const int32_t fieldCount = findings.FieldCount(i);
    const auto field = [&](int32_t column) {
      return column < fieldCount ? findings.Field(i, column) : std::string_view();
    };
    const std::string_view projectName = field(kProjectColumn);
    const std::string_view pageName = field(kPageColumn);
    if (page < 0 || projectName != lastProject || pageName != lastPage) {
      const auto [at, isNew] = projectIds.try_emplace(projectName, static_cast<int32_t>(projects.size()));
      if (isNew) projects.push_back({projectName, 0});
      if (!isNew && at->second != project) cameBack = true;
      project = at->second;
      const auto next = static_cast<int32_t>(counts.pages.size());
      page = pageIds[projectName].try_emplace(pageName, next).first->second;
      if (page == next) {
        counts.pages.push_back({projectName, pageName});
      } else {
        cameBack = true;
      }
      lastProject = projectName;
      lastPage = pageName;
    }
    ++projects[static_cast<size_t>(project)].placements;
    counts.pageOf[static_cast<size_t>(i)] = page;

    const std::string_view identity[] = {field(kLibraryProjectColumn), field(kLibraryColumn), field(kTarvoColumn),
                                         field(kPropertyColumn)};
    const int32_t t = counts.templates.AddOrFind(identity, 4);
    counts.templateOf[static_cast<size_t>(i)] = t;
    if (static_cast<size_t>(t) == counts.byTemplate.size()) {
      counts.byTemplate.emplace_back();
      lastPageOf.push_back(-1);
      lastProjectOf.push_back(-1);
    }
    TemplateCount& count = counts.byTemplate[static_cast<size_t>(t)];
    ++count.placements;
    if (lastPageOf[static_cast<size_t>(t)] != page) {
      lastPageOf[static_cast<size_t>(t)] = page;
      ++count.pages;
    }
    if (lastProjectOf[static_cast<size_t>(t)] != project) {
      lastProjectOf[static_cast<size_t>(t)] = project;
      ++count.projects;
    }
    projectOf[static_cast<size_t>(i)] = project;
  }
  if (cameBack) {
    CountDistinct(counts.templateOf, counts.pageOf, counts.byTemplate, &TemplateCount::pages);
    CountDistinct(counts.templateOf, projectOf, counts.byTemplate, &TemplateCount::projects);
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
  totals.pagesWithCollisions = static_cast<int64_t>(counts.pages.size());
  totals.pagesScanned = result.unopened.Tried() - result.unopened.Count();
  totals.projectsWithCollisions = static_cast<int64_t>(counts.byProject.size());
  totals.projectsWalked = static_cast<int64_t>(result.projectFolders.size());
  return counts;
}

}  // namespace morvex
