// The collision counts against counts derived independently from a random site's placements; the statistics text.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "CollisionCounts.h"
#include "ReservedKeywords.h"
#include "UniquePlacements.h"
#include "Statistics.h"

namespace morvex {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return text;
}

// Names drawn from small pools, in random letter case, so that templates repeat across pages and projects and
// some differ from others only in case.
std::string Spelled(std::mt19937& random, const std::string& name) {
  std::string text = name;
  if (random() % 4 == 0) {
    for (char& c : text)
      if (c >= 'a' && c <= 'z' && random() % 2 == 0) c = static_cast<char>(c - 32);
  }
  return text;
}

SearchResult RandomSite(uint32_t seed) {
  std::mt19937 random(seed);
  SearchResult result;
  const int projects = 6, pages = 12;
  for (int p = 0; p < projects; ++p) {
    const std::string project = "proj" + std::to_string(p);
    result.projectFolders.emplace_back(project, "/site/" + project);
    for (int g = 0; g < pages; ++g) {
      result.unopened.CountTried();
      const int placements = static_cast<int>(random() % 7);
      for (int k = 0; k < placements; ++k) {
        const std::string library = Spelled(random, "lib" + std::to_string(random() % 3));
        const std::string tarvo = Spelled(random, "tarvo" + std::to_string(random() % 5));
        const std::string_view name = ReservedKeywords[random() % 6];
        result.findings.Add({project, "page" + std::to_string(g), std::to_string(k), "include", library, tarvo, name,
                             "'v" + std::to_string(random() % 4) + "'"});
      }
    }
  }
  // Half the sites come back to a page and a project already walked, as a page or project listed twice does.
  for (int k = 0; seed % 2 == 0 && k < 5; ++k) {
    result.findings.Add({"proj0", "page1", "again" + std::to_string(k), "include", "lib0",
                         "tarvo" + std::to_string(k), ReservedKeywords[static_cast<size_t>(k)], "''"});
  }
  result.unopened.CountTried();
  result.unopened.Add("proj0", "gone", PageFailure{PageFailureReason::kMissing, ""});
  return result;
}

TEST(CollisionCountsTest, AgreeWithCountsDerivedIndependentlyOnRandomSites) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    const SearchResult result = RandomSite(seed);
    const CollisionCounts counts = CountCollisions(result);
    const FindingsList& findings = result.findings;

    // The template properties are --unique's, in its order and spelling.
    std::vector<int32_t> first;
    const FindingsList unique = UniqueFromPlacements(findings, first);
    ASSERT_EQ(counts.templates.Count(), unique.Count()) << seed;
    for (int32_t t = 0; t < unique.Count(); ++t) EXPECT_EQ(counts.templates.Line(t), unique.Line(t)) << seed;

    struct Expected {
      int32_t placements = 0;
      std::set<std::pair<std::string, std::string>> pages;
      std::set<std::string> projects;
    };
    std::map<std::string, Expected> byTemplate;
    std::map<std::string, std::pair<int32_t, std::set<std::string>>> byName;
    std::map<std::string, int32_t> byProject;
    std::set<std::pair<std::string, std::string>> pages;
    for (int32_t i = 0; i < findings.Count(); ++i) {
      std::string key;
      for (int32_t f = 3; f < 7; ++f) key += Lower(std::string(findings.Field(i, f))) + '\t';
      Expected& expected = byTemplate[key];
      ++expected.placements;
      expected.pages.emplace(findings.Field(i, 0), findings.Field(i, 1));
      expected.projects.emplace(findings.Field(i, 0));
      ++byName[std::string(findings.Field(i, 6))].first;
      byName[std::string(findings.Field(i, 6))].second.insert(key);
      ++byProject[std::string(findings.Field(i, 0))];
      pages.emplace(findings.Field(i, 0), findings.Field(i, 1));
    }

    ASSERT_EQ(counts.byTemplate.size(), byTemplate.size()) << seed;
    for (int32_t t = 0; t < counts.templates.Count(); ++t) {
      std::string key;
      for (int32_t f = 0; f < 4; ++f) key += Lower(std::string(counts.templates.Field(t, f))) + '\t';
      const Expected& expected = byTemplate.at(key);
      const TemplateCount& count = counts.byTemplate[static_cast<size_t>(t)];
      EXPECT_EQ(count.placements, expected.placements) << seed << " " << key;
      EXPECT_EQ(count.pages, static_cast<int32_t>(expected.pages.size())) << seed << " " << key;
      EXPECT_EQ(count.projects, static_cast<int32_t>(expected.projects.size())) << seed << " " << key;
    }

    // Most placements first, ties in first-seen order.
    ASSERT_EQ(counts.fixOrder.size(), counts.byTemplate.size());
    for (size_t k = 1; k < counts.fixOrder.size(); ++k) {
      const auto& a = counts.byTemplate[static_cast<size_t>(counts.fixOrder[k - 1])];
      const auto& b = counts.byTemplate[static_cast<size_t>(counts.fixOrder[k])];
      EXPECT_TRUE(a.placements > b.placements ||
                  (a.placements == b.placements && counts.fixOrder[k - 1] < counts.fixOrder[k]))
          << seed;
    }

    ASSERT_EQ(counts.byName.size(), byName.size()) << seed;
    for (const NameCount& name : counts.byName) {
      EXPECT_EQ(name.placements, byName.at(std::string(name.name)).first) << seed << " " << name.name;
      EXPECT_EQ(name.templates, static_cast<int32_t>(byName.at(std::string(name.name)).second.size())) << seed;
    }
    ASSERT_EQ(counts.byProject.size(), byProject.size()) << seed;
    for (const ProjectCount& project : counts.byProject)
      EXPECT_EQ(project.placements, byProject.at(std::string(project.project))) << seed;
    EXPECT_TRUE(std::is_sorted(counts.byProject.begin(), counts.byProject.end(),
                               [](const auto& a, const auto& b) { return a.placements > b.placements; }));

    EXPECT_EQ(counts.totals.placements, findings.Count());
    EXPECT_EQ(counts.totals.templates, static_cast<int64_t>(byTemplate.size()));
    EXPECT_EQ(counts.totals.pagesWithCollisions, static_cast<int64_t>(pages.size()));
    EXPECT_EQ(counts.totals.pagesScanned, 6 * 12);
    EXPECT_EQ(counts.totals.projectsWithCollisions, static_cast<int64_t>(byProject.size()));
    EXPECT_EQ(counts.totals.projectsWalked, 6);
  }
}

TEST(StatisticsTest, NamesMostFirstWithAlignedCountsAndTotals) {
  SearchResult result;
  result.projectFolders = {{"a", "/a"}, {"b", "/b"}};
  for (int page = 0; page < 20; ++page) result.unopened.CountTried();
  int an = 0;
  const auto add = [&](const char* project, const std::string& page, const char* tarvo, const char* name) {
    result.findings.Add({project, page, std::to_string(++an), "inc", "lib", tarvo, name, "''"});
  };
  for (int k = 0; k < 11; ++k) add("a", "p" + std::to_string(k), "t1", "FONT");
  add("a", "p0", "t2", "FONT");
  add("b", "p0", "t1", "TEXT");
  add("b", "p0", "T1", "TEXT");  // the same template property as the line above
  add("b", "p1", "t1", "TEXT");
  const CollisionCounts counts = CountCollisions(result);
  EXPECT_EQ(StatisticsText(counts),
            "12  2  FONT\n"
            " 3  1  TEXT\n"
            "15  3  total: 13 of 20 pages scanned, 2 of 2 projects\n");
  // --counts for the --unique line of a,t1,FONT and of b's TEXT (the repeat folded in).
  std::string line;
  AppendCountsColumns(line, counts.byTemplate[0]);
  EXPECT_EQ(line, "\t11\t11\t1");
  line.clear();
  AppendCountsColumns(line, counts.byTemplate[2]);
  EXPECT_EQ(line, "\t3\t2\t1");
  EXPECT_EQ(StatisticsText(CountCollisions(SearchResult{})), "No collisions\n");
}

}  // namespace
}  // namespace morvex
