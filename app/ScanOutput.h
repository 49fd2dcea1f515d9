// What morvex-scan prints for a finished run: the tab-separated report, the JSON array, message lines, exit status.
#pragma once

#include <string>
#include <string_view>

#include "basSearch.h"

namespace morvex {

// The run's report with LF for every CR LF, and a final LF after "No items found"; empty when the run failed.
std::string FormatTsv(const SearchResult& result);

// One object per finding keyed by the report's column titles; "AN" is a number and "PropertyValue" loses its
// enclosing apostrophes. "[]" when nothing was found; empty when the run failed before it had a report.
std::string FormatJson(const SearchResult& result, bool bShowAll);

// A JSON string literal (quotes included) holding the text as UTF-8.
std::string JsonString(std::u16string_view text);

// One line for stderr: the CR LF inside a message becomes a blank, so every message stays on its own line.
std::string MessageLine(std::u16string_view message);

// 0 finished without findings, 1 finished with findings, 2 no project list or an unexpected error, 130 cancelled.
int ExitStatus(const SearchResult& result);

}  // namespace morvex
