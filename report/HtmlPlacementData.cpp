// The placements of the HTML report as indexes into string tables, written into its JSON data block.
#include <deque>
#include <unordered_map>
#include <vector>

#include "HtmlEscape.h"
#include "HtmlPieces.h"
#include "TextUtil.h"

namespace morvex {

namespace {

class StringTable {
 public:
  int32_t Of(std::string_view text) {
    const auto [at, isNew] = ids_.try_emplace(text, static_cast<int32_t>(texts_.size()));
    if (isNew) texts_.push_back(text);
    return at->second;
  }
  // For texts made here rather than viewed in the findings.
  int32_t OfOwned(std::string text) { return Of(owned_.emplace_back(std::move(text))); }
  const std::vector<std::string_view>& Texts() const { return texts_; }

 private:
  std::unordered_map<std::string_view, int32_t> ids_;
  std::vector<std::string_view> texts_;
  std::deque<std::string> owned_;
};

std::string_view FieldOf(const FindingsList& findings, int32_t index, int32_t column) {
  return column < findings.FieldCount(index) ? findings.Field(index, column) : std::string_view();
}

}  // namespace

void WritePlacementData(const SearchResult& result, const CollisionCounts& counts, const HtmlReportInfo& info,
                        HtmlOut& out) {
  const FindingsList& findings = result.findings;
  StringTable strings;
  strings.Of("");  // index 0: the empty text, and "no link" for a page
  struct PageEntry {
    int32_t project, page, href;
  };
  std::vector<PageEntry> pages;
  std::unordered_map<std::string_view, std::unordered_map<std::string_view, int32_t>> pageIds;
  std::vector<int32_t> pageOf(static_cast<size_t>(findings.Count()));
  std::vector<int32_t> placementsOf(counts.byTemplate.size() + 1, 0);  // prefix offsets, by template
  std::string_view lastProject, lastPage;
  int32_t page = -1;
  for (int32_t i = 0; i < findings.Count(); ++i) {
    const std::string_view projectName = FieldOf(findings, i, kProjectColumn);
    const std::string_view pageName = FieldOf(findings, i, kPageColumn);
    if (page < 0 || projectName != lastProject || pageName != lastPage) {
      const auto [at, isNew] = pageIds[projectName].try_emplace(pageName, static_cast<int32_t>(pages.size()));
      if (isNew) {
        std::optional<std::string> href;
        if (info.pageHref) href = info.pageHref(projectName, pageName);
        pages.push_back({strings.Of(projectName), strings.Of(pageName), href ? strings.OfOwned(*href) : 0});
      }
      page = at->second;
      lastProject = projectName;
      lastPage = pageName;
    }
    pageOf[static_cast<size_t>(i)] = page;
    ++placementsOf[static_cast<size_t>(counts.templateOf[static_cast<size_t>(i)]) + 1];
  }
  // Placements grouped by template, each group in report order.
  for (size_t t = 1; t < placementsOf.size(); ++t) placementsOf[t] += placementsOf[t - 1];
  std::vector<int32_t> grouped(static_cast<size_t>(findings.Count()));
  {
    std::vector<int32_t> next(placementsOf.begin(), placementsOf.end() - 1);
    for (int32_t i = 0; i < findings.Count(); ++i)
      grouped[static_cast<size_t>(next[static_cast<size_t>(counts.templateOf[static_cast<size_t>(i)])]++)] = i;
  }

  std::string& text = out.Text();
  text += "{\"p\":[";
  for (size_t p = 0; p < pages.size(); ++p) {
    if (p != 0) text += ',';
    AppendDecimal(text, pages[p].project);
    text += ',';
    AppendDecimal(text, pages[p].page);
    text += ',';
    AppendDecimal(text, pages[p].href);
    out.MaybeFlush();
  }
  text += "],\"t\":[";
  for (size_t t = 0; t + 1 < placementsOf.size(); ++t) {
    text += t == 0 ? "[" : ",[";
    for (int32_t k = placementsOf[t]; k < placementsOf[t + 1]; ++k) {
      const int32_t i = grouped[static_cast<size_t>(k)];
      if (k != placementsOf[t]) text += ',';
      AppendDecimal(text, pageOf[static_cast<size_t>(i)]);
      text += ',';
      AppendDecimal(text, strings.Of(FieldOf(findings, i, kAnColumn)));
      text += ',';
      AppendDecimal(text, strings.Of(FieldOf(findings, i, kValueColumn)));
      text += ',';
      AppendDecimal(text, info.placementLine ? info.placementLine(i) : 0);
      out.MaybeFlush();
    }
    text += ']';
  }
  // The strings last: the placements above named them all.
  text += "],\"s\":[";
  bool first = true;
  for (const std::string_view s : strings.Texts()) {
    if (!first) text += ',';
    first = false;
    AppendScriptJsonString(text, s);
    out.MaybeFlush();
  }
  text += "]}";
}

}  // namespace morvex
