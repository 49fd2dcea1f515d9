// The --statistics table and the --counts columns, both read off the collision counts.
#include "Statistics.h"

#include <algorithm>

#include "TextUtil.h"

namespace morvex {

namespace {

void AppendRight(std::string& out, int64_t number, size_t width) {
  const std::string digits = ToDecimal(number);
  if (digits.size() < width) out.append(width - digits.size(), ' ');
  out += digits;
}

}  // namespace

std::string StatisticsText(const CollisionCounts& counts) {
  const CollisionTotals& totals = counts.totals;
  if (totals.placements == 0) return "No collisions\n";
  // The totals are the largest figures of their columns.
  const size_t placementsWidth = ToDecimal(totals.placements).size();
  const size_t templatesWidth = ToDecimal(totals.templates).size();
  std::string text;
  for (const NameCount& name : counts.byName) {
    AppendRight(text, name.placements, placementsWidth);
    text += "  ";
    AppendRight(text, name.templates, templatesWidth);
    text += "  ";
    text += name.name;
    text += '\n';
  }
  AppendRight(text, totals.placements, placementsWidth);
  text += "  ";
  AppendRight(text, totals.templates, templatesWidth);
  text += "  total: " + ToDecimal(totals.pagesWithCollisions) + " of " + ToDecimal(totals.pagesScanned) +
          " pages scanned, " + ToDecimal(totals.projectsWithCollisions) + " of " +
          ToDecimal(totals.projectsWalked) + " projects\n";
  return text;
}

void AppendCountsColumns(std::string& line, const TemplateCount& count) {
  for (const int32_t figure : {count.placements, count.pages, count.projects}) {
    line += '\t';
    AppendDecimal(line, figure);
  }
}

}  // namespace morvex
