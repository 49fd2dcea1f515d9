// A finding's fields by meaning, its rule id and its description in words, as the formats for review tools give them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "FindingsList.h"

namespace morvex {

// Rule ids are this and the reserved name: SARIF's rules and GitLab's check names are the same ids.
inline constexpr std::string_view kRulePrefix = "reserved-property-name/";

// A finding's fields by meaning, whichever report it comes from.
struct FindingView {
  std::string_view project, page, an;  // empty in --unique reports
  std::string_view libraryProject, library, tarvo, property;
};

FindingView ViewOf(const FindingsList& findings, int32_t index, bool bShowAll);

// The finding in words, the way the SARIF results say it, with the object's AN where the report has one (a
// page file has no lines to point at it by).
std::string DescribeFinding(const FindingView& finding, bool bShowAll);

}  // namespace morvex
