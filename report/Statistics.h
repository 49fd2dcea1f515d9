// The text of --statistics, and the --counts columns of a --unique report.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "CollisionCounts.h"

namespace morvex {

// One line per reserved name met, most placements first: the placements, the template properties and the
// name, the two counts right-aligned in columns as wide as their largest figure and everything separated by
// two blanks, so the text reads aligned in a terminal and splits on whitespace in a script. Then the totals:
// the same two columns and "total", followed by the pages and projects. Lines end in "\n". "No collisions\n"
// alone when nothing was found.
std::string StatisticsText(const CollisionCounts& counts);

// The columns --counts adds to a --unique report line, each after a tab: its Placements, Pages and Projects.
inline constexpr std::string_view kCountsHeader = "\tPlacements\tPages\tProjects";
void AppendCountsColumns(std::string& line, const TemplateCount& count);

}  // namespace morvex
