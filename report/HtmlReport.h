// The HTML report: one self-contained page a person opens from disk, offline, and can send on.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ReportSink.h"
#include "basSearch.h"

namespace morvex {

struct HtmlReportInfo {
  std::string siteFolder;  // as the user gave it
  std::string scanTime;    // when the scan ran, as it should read
  // The page without placements: counts, charts and template properties only.
  bool unique = false;
  // Where a page's file is, relative to the report's own folder (or a file: URI); nothing where it has none.
  std::function<std::optional<std::string>(std::string_view project, std::string_view page)> pageHref;
  // The line of a placement's object in its page file (by index in the findings), 0 where not known.
  std::function<int32_t(int32_t placement)> placementLine;
};

// Writes the page for a show-all run (a --unique page is info.unique over the same placements). Nothing for a
// run that has no report.
void WriteHtml(const SearchResult& showAllResult, const HtmlReportInfo& info, const OutputSink& write);

// "2026-05-01 09:30:00 UTC", for scanTime: the same for every reader of the page, wherever it is opened.
std::string UtcTimeText(std::chrono::system_clock::time_point when);

}  // namespace morvex
