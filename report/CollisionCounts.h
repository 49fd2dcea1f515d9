// How a run's placements add up: per template property, per reserved name, per project, and in all.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "FindingsList.h"
#include "basSearch.h"

namespace morvex {

// The columns of a show-all report line.
enum ShowAllColumn : int32_t {
  kProjectColumn, kPageColumn, kAnColumn, kLibraryProjectColumn, kLibraryColumn, kTarvoColumn,
  kPropertyColumn, kValueColumn
};

struct TemplateCount {
  int32_t placements = 0;
  int32_t pages = 0;     // distinct (project, page) pairs, by their exact bytes
  int32_t projects = 0;  // distinct projects, by their exact bytes
};

struct NameCount {
  std::string_view name;  // one of the reserved names
  int32_t placements = 0;
  int32_t templates = 0;
};

struct ProjectCount {
  std::string_view project;
  int32_t placements = 0;
};

struct CollisionTotals {
  int64_t placements = 0;
  int64_t templates = 0;
  int64_t pagesWithCollisions = 0;
  int64_t pagesScanned = 0;          // tried and opened
  int64_t projectsWithCollisions = 0;
  int64_t projectsWalked = 0;
};

struct CollisionCounts {
  // The template properties as --unique lists them: library project, library, Tarvo and property name, told
  // apart as the findings list tells lines apart (ignoring case), first spellings in first-seen order.
  FindingsList templates;
  std::vector<int32_t> templateOf;        // per placement, its template's index in `templates`
  struct Page {
    std::string_view project, page;
  };
  std::vector<Page> pages;                // pages with placements, in run order
  std::vector<int32_t> pageOf;            // per placement, its page's index in `pages`
  std::vector<TemplateCount> byTemplate;  // per template, in `templates` order
  std::vector<int32_t> fixOrder;          // template indexes, most placements first, ties in `templates` order
  std::vector<NameCount> byName;          // names met, most placements first, ties in the reserved list's order
  std::vector<ProjectCount> byProject;    // projects with placements, most first, ties in run order
  CollisionTotals totals;
};

// From a show-all run's findings (a --unique run's list has no placements to count). The views point into
// the result, which must outlive the counts.
CollisionCounts CountCollisions(const SearchResult& showAllResult);

}  // namespace morvex
