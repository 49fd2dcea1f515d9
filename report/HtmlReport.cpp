// The HTML report's page: head and policy, the facts and counts, the charts, the tables, then the data.
#include "HtmlReport.h"

#include <algorithm>
#include <cstdio>

#include "CollisionCounts.h"
#include "HtmlAssets.h"
#include "HtmlEscape.h"
#include "HtmlPieces.h"
#include "Sha256.h"
#include "TextUtil.h"
#include "Version.h"

namespace morvex {

namespace {

// Projects beyond these share one bar, so that a site of a thousand projects keeps a chart one can read.
constexpr size_t kChartProjects = 30;
// Unopened pages listed per reason; a site whose every page fails would otherwise list them all.
constexpr int64_t kUnopenedListed = 5000;

std::string CspSource(std::string_view asset) {
  const auto digest = Sha256(asset);
  return "'sha256-" + Base64(digest.data(), digest.size()) + "'";
}

// The policy names the page's own style and script by their hashes and allows nothing else: no other script,
// no fetch, no frame, no form; the icon is an empty data: URI, so the browser asks the disk for none.
const std::string& ContentSecurityPolicy() {
  static const std::string policy = "default-src 'none'; style-src " + CspSource(kReportCss) +
                                    "; script-src " + CspSource(kReportJs) +
                                    "; img-src data:; base-uri 'none'; form-action 'none'";
  return policy;
}

void AppendCount(std::string& out, int64_t number) {
  out += GroupThousands(number);
}

// A label cut to a chart's width, at a character boundary; the whole name is the bar's tooltip.
std::string_view ChartLabel(std::string_view name) {
  constexpr size_t kMostBytes = 28;
  if (name.size() <= kMostBytes) return name;
  size_t end = kMostBytes;
  while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
  return name.substr(0, end);
}

struct Bar {
  std::string_view label;
  int64_t value;
};

// `note`, when not empty, follows the chart as a line of text: what the bars leave out.
void WriteBarChart(HtmlOut& out, std::string_view id, std::string_view caption, const std::vector<Bar>& bars,
                   std::string_view note = {}) {
  constexpr int kRow = 20, kLabel = 200, kBarWidth = 460;
  int64_t most = 1;
  for (const Bar& bar : bars) most = std::max(most, bar.value);
  std::string& text = out.Text();
  const std::string height = std::to_string(static_cast<int>(bars.size()) * kRow + 4);
  text += "<figure class=\"chart\" id=\"";
  text += id;
  text += "\"><figcaption>";
  text += caption;
  text += "</figcaption><svg role=\"img\" aria-label=\"";
  text += caption;
  text += "\" viewBox=\"0 0 " + std::to_string(kLabel + kBarWidth + 90) + " " + height + "\" height=\"" + height +
          "\">";
  int y = 2;
  for (const Bar& bar : bars) {
    const int width = std::max(1, static_cast<int>(bar.value * kBarWidth / most));
    text += "<g><title>";
    AppendHtmlText(text, bar.label);
    text += ": ";
    AppendCount(text, bar.value);
    text += "</title><text x=\"" + std::to_string(kLabel - 6) + "\" y=\"" + std::to_string(y + 14) +
            "\" text-anchor=\"end\">";
    AppendHtmlText(text, ChartLabel(bar.label));
    if (bar.label.size() > ChartLabel(bar.label).size()) text += "\xE2\x80\xA6";
    text += "</text><rect x=\"" + std::to_string(kLabel) + "\" y=\"" + std::to_string(y + 3) + "\" width=\"" +
            std::to_string(width) + "\" height=\"" + std::to_string(kRow - 6) + "\"/><text x=\"" +
            std::to_string(kLabel + width + 6) + "\" y=\"" + std::to_string(y + 14) + "\">";
    AppendCount(text, bar.value);
    text += "</text></g>";
    y += kRow;
  }
  text += "</svg>";
  if (!note.empty()) {
    text += "<p class=\"hint\">";
    text += note;
    text += "</p>";
  }
  text += "</figure>";
  out.MaybeFlush();
}

void WriteHead(HtmlOut& out, const HtmlReportInfo& info) {
  std::string& text = out.Text();
  text += "<!DOCTYPE html>\n<html lang=\"en\" class=\"noscript\"><head><meta charset=\"utf-8\">\n"
          "<meta http-equiv=\"Content-Security-Policy\" content=\"";
  text += ContentSecurityPolicy();
  text += "\">\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
          "<link rel=\"icon\" href=\"data:,\">\n<title>Reserved name collisions: ";
  AppendHtmlText(text, info.siteFolder);
  text += "</title>\n<style>";
  text += kReportCss;
  text += "</style>\n</head>\n<body>\n";
}

void WriteFacts(HtmlOut& out, const SearchResult& result, const CollisionCounts& counts,
                const HtmlReportInfo& info) {
  std::string& text = out.Text();
  text += "<header><h1>Reserved name collisions</h1>\n<dl class=\"facts\"><dt>Site folder</dt><dd>";
  AppendHtmlText(text, info.siteFolder);
  text += "</dd><dt>Scanned</dt><dd>";
  AppendHtmlText(text, info.scanTime);
  text += "</dd><dt>Morvex</dt><dd>";
  text += kVersionText;
  text += "</dd>";
  if (result.outcome == RunOutcome::kCancelled) text += "<dt>Run</dt><dd>cancelled: the counts are partial</dd>";
  text += "</dl>\n<ul class=\"totals\" id=\"totals\">";
  const CollisionTotals& totals = counts.totals;
  const struct {
    std::string_view key, words;
    int64_t value;
  } figures[] = {
      {"placements", "placements", totals.placements},
      {"templates", "template properties", totals.templates},
      {"pages", "pages with collisions", totals.pagesWithCollisions},
      {"scanned", "pages scanned", totals.pagesScanned},
      {"projects", "projects with collisions", totals.projectsWithCollisions},
      {"unopened", "pages not opened", result.unopened.Count()},
      {"unopened-lists", "page lists not opened", result.unopened.ListCount()},
  };
  for (const auto& figure : figures) {
    text += "<li data-count=\"";
    text += figure.key;
    text += "\" data-n=\"" + std::to_string(figure.value) + "\"><b>";
    AppendCount(text, figure.value);
    text += "</b> ";
    text += figure.words;
    text += "</li>";
  }
  text += "</ul>\n</header>\n";
}

void WriteCharts(HtmlOut& out, const CollisionCounts& counts) {
  if (counts.byName.empty()) return;
  out << "<section class=\"charts\" aria-label=\"Charts\">";
  std::vector<Bar> bars;
  for (const NameCount& name : counts.byName) bars.push_back({name.name, name.placements});
  WriteBarChart(out, "by-name", "Placements per reserved name", bars);
  bars.clear();
  int64_t others = 0;
  for (size_t p = 0; p < counts.byProject.size(); ++p) {
    if (p < kChartProjects) {
      bars.push_back({counts.byProject[p].project, counts.byProject[p].placements});
    } else {
      others += counts.byProject[p].placements;
    }
  }
  // The rest as words, not as a bar: their sum would dwarf every project shown.
  std::string note;
  if (others > 0) {
    note = "The " + std::to_string(kChartProjects) + " projects with the most placements; the other " +
           GroupThousands(static_cast<int64_t>(counts.byProject.size() - kChartProjects)) + " have " +
           GroupThousands(others) + ".";
  }
  WriteBarChart(out, "by-project", "Placements per project", bars, note);
  out << "</section>\n";
}

void WriteTemplateTable(HtmlOut& out, const CollisionCounts& counts, bool withPlacements) {
  std::string& text = out.Text();
  text += "<section id=\"templates\"><h2>By template property</h2>\n<p class=\"hint\">Most placements first: the "
          "order in which to fix them.";
  if (withPlacements) text += " <span class=\"noscript-only\">Opening a row to its placements needs scripts.</span>";
  text += "</p>\n<p class=\"tools\"><label for=\"filter\">Filter</label> <input type=\"search\" id=\"filter\" "
          "autocomplete=\"off\" placeholder=\"words from any column\"> <span id=\"shown\" role=\"status\"></span></p>\n"
          "<table id=\"tt\"><thead><tr><th class=\"o\"></th>";
  static constexpr std::string_view kHeads[] = {"Library project", "Library", "Tarvo", "Property",
                                                "Placements", "Pages", "Projects"};
  for (size_t c = 0; c < std::size(kHeads); ++c) {
    text += c >= 4 ? "<th class=\"n\"" : "<th";
    text += c == 4 ? " aria-sort=\"descending\"" : "";
    text += "><button type=\"button\" data-col=\"" + std::to_string(c) + "\">";
    text += kHeads[c];
    text += "</button></th>";
  }
  text += "</tr></thead>\n<tbody>\n";
  for (const int32_t t : counts.fixOrder) {
    const TemplateCount& count = counts.byTemplate[static_cast<size_t>(t)];
    text += "<tr data-t=\"" + std::to_string(t) + "\"><td class=\"o\">";
    if (withPlacements) text += "<button type=\"button\" class=\"open\" aria-expanded=\"false\">Placements</button>";
    text += "</td>";
    for (int32_t field = 0; field < 4; ++field) {
      text += "<td>";
      AppendHtmlText(text, counts.templates.Field(t, field));
      text += "</td>";
    }
    for (const int32_t figure : {count.placements, count.pages, count.projects}) {
      text += "<td class=\"n\" data-n=\"" + std::to_string(figure) + "\">";
      AppendCount(text, figure);
      text += "</td>";
    }
    text += "</tr>\n";
    out.MaybeFlush();
  }
  text += "</tbody></table></section>\n";
}

void WriteUnopened(HtmlOut& out, const UnopenedPages& unopened) {
  if (!unopened.Any()) return;
  std::string& text = out.Text();
  text += "<section id=\"unopened\"><h2>Did not open</h2>\n";
  if (unopened.ListCount() > 0) {
    text += "<details open><summary>Page lists (" + GroupThousands(unopened.ListCount()) +
            ")</summary><table><thead><tr><th>Project</th><th>Page list</th><th>Reason</th></tr></thead><tbody>";
    for (int64_t l = 0; l < unopened.ListCount(); ++l) {
      const UnopenedPages::PageList& list = unopened.ListAt(l);
      text += "<tr><td>";
      AppendHtmlText(text, list.project);
      text += "</td><td>";
      AppendHtmlText(text, list.path);
      text += "</td><td>";
      AppendHtmlText(text, DescribePageFailure(list.reason, list.detail));
      text += "</td></tr>";
    }
    text += "</tbody></table></details>\n";
  }
  for (int reason = 0; reason < kPageFailureReasonCount; ++reason) {
    const auto why = static_cast<PageFailureReason>(reason);
    const int64_t count = unopened.CountOf(why);
    if (count == 0) continue;
    text += "<details data-reason=\"";
    text += PageFailureId(why);
    text += "\"><summary>Pages: ";
    text += PageFailureText(why);
    text += " (" + GroupThousands(count) + ")</summary><table><thead><tr><th>Project</th><th>Page</th>"
            "<th>Detail</th></tr></thead><tbody>";
    int64_t listed = 0;
    for (int64_t e = 0; e < unopened.Count() && listed < kUnopenedListed; ++e) {
      const UnopenedPages::Entry entry = unopened.At(e);
      if (entry.reason != why) continue;
      ++listed;
      text += "<tr><td>";
      AppendHtmlText(text, entry.project);
      text += "</td><td>";
      AppendHtmlText(text, entry.page);
      text += "</td><td>";
      AppendHtmlText(text, entry.detail);
      text += "</td></tr>";
      out.MaybeFlush();
    }
    text += "</tbody></table>";
    if (count > listed) {
      text += "<p>and " + GroupThousands(count - listed) + " more: morvex-scan --list-unopened names them all.</p>";
    }
    text += "</details>\n";
  }
  text += "</section>\n";
}

}  // namespace

void WriteHtml(const SearchResult& result, const HtmlReportInfo& info, const OutputSink& write) {
  // A run that failed before it had a report has nothing to show.
  if (result.outcome != RunOutcome::kCompleted && result.outcome != RunOutcome::kCancelled) return;
  const CollisionCounts counts = CountCollisions(result);
  HtmlOut out(write);
  WriteHead(out, info);
  WriteFacts(out, result, counts, info);
  WriteCharts(out, counts);
  WriteTemplateTable(out, counts, !info.unique);
  WriteUnopened(out, result.unopened);
  if (!info.unique) {
    out << "<script type=\"application/json\" id=\"placements\">";
    WritePlacementData(result, counts, info, out);
    out << "</script>\n";
  }
  out << "<script>";
  out << kReportJs;
  out << "</script>\n</body></html>\n";
  out.Flush();
}

std::string UtcTimeText(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto day = floor<days>(when);
  const year_month_day date{day};
  const hh_mm_ss time{floor<seconds>(when - day)};
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d UTC", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

}  // namespace morvex
