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

}  // namespace

void WritePlacementData(const SearchResult& result, const CollisionCounts& counts, const HtmlReportInfo& info,
                        HtmlOut& out) {
  const FindingsList& findings = result.findings;
  StringTable strings;
  strings.Of("");  // index 0: the empty text, and "no link" for a page
  std::string& text = out.Text();
  text += "{\"p\":[";
  for (size_t p = 0; p < counts.pages.size(); ++p) {
    const CollisionCounts::Page& page = counts.pages[p];
    std::optional<std::string> href;
    if (info.pageHref) href = info.pageHref(page.project, page.page);
    if (p != 0) text += ',';
    AppendDecimal(text, strings.Of(page.project));
    text += ',';
    AppendDecimal(text, strings.Of(page.page));
    text += ',';
    AppendDecimal(text, href ? strings.OfOwned(std::move(*href)) : 0);
    out.MaybeFlush();
  }
  // In report order, which reads the findings front to back; the script groups them by template on first use.
  text += "],\"r\":[";
  for (int32_t i = 0; i < findings.Count(); ++i) {
    const int32_t fieldCount = findings.FieldCount(i);
    if (i != 0) text += ',';
    AppendDecimal(text, counts.templateOf[static_cast<size_t>(i)]);
    text += ',';
    AppendDecimal(text, counts.pageOf[static_cast<size_t>(i)]);
    text += ',';
    // AN and value as they are: they seldom repeat within a site, so a table of them would cost a lookup per
    // placement and save little.
    AppendScriptJsonString(text, kAnColumn < fieldCount ? findings.Field(i, kAnColumn) : std::string_view());
    text += ',';
    AppendScriptJsonString(text, kValueColumn < fieldCount ? findings.Field(i, kValueColumn) : std::string_view());
    text += ',';
    AppendDecimal(text, info.placementLine ? info.placementLine(i) : 0);
    out.MaybeFlush();
  }
  // The strings last: the pages above named them all.
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
