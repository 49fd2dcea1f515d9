// A run's result made from findings given as text, for the tests of what is written from a result.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "basSearch.h"

namespace morvex {

inline SearchResult Finished(bool bShowAll, std::vector<std::vector<std::string>> lines, RunOutcome outcome) {
  SearchResult result;
  result.outcome = outcome;
  result.showAll = bShowAll;
  for (const auto& fields : lines) {
    const std::vector<std::string_view> views(fields.begin(), fields.end());
    result.findings.Add(views.data(), views.size());
  }
  return result;
}

}  // namespace morvex
