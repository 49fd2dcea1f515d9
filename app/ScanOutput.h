// What morvex-scan prints for a finished run: the tab-separated report, the JSON array, message lines, exit status.
#pragma once

#include <string>
#include <string_view>

#include "basSearch.h"

namespace morvex {

// The run's report with LF line ends ("No items found" gets one too); tab, CR, LF and backslash inside a
// field are written \t, \r, \n and \\ so that every finding stays one line of columns. Empty when the run
// failed.
std::string FormatTsv(const SearchResult& result);

// One object per finding keyed by the report's column titles; "AN" is a number and "PropertyValue" loses its
// enclosing apostrophes. "[]" when nothing was found; empty when the run failed before it had a report.
std::string FormatJson(const SearchResult& result, bool bShowAll);

// A JSON string literal (quotes included) holding the text as UTF-8.
std::string JsonString(std::u16string_view text);

// One line for stderr: the CR LF inside a message becomes a blank, so every message stays on its own line.
// Any other character, NUL included, is kept: write the result by its length.
std::string MessageLine(std::u16string_view message);

// 0 finished without findings, 1 finished with findings, 2 no project list or an unexpected error, 130 cancelled.
int ExitStatus(const SearchResult& result);

}  // namespace morvex
