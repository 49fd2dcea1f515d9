// What morvex-scan prints for a finished run: the tab-separated report, the JSON array, message lines, exit status.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "basSearch.h"

namespace morvex {

// Receives the output in pieces, so that a report is never held a second time to be written.
using OutputSink = std::function<void(std::string_view)>;

// The findings to write, by index in report order; a null selection writes them all.
using FindingSelection = std::vector<int32_t>;

// The run's report with LF line ends ("No items found" gets one too); tab, CR, LF and backslash inside a
// field are written \t, \r, \n and \\ so that every finding stays one line of columns. Nothing when the run
// failed.
void WriteTsv(const SearchResult& result, const OutputSink& write, const FindingSelection* selection = nullptr);

// One object per finding keyed by the report's column titles; "AN" is a number and "PropertyValue" loses its
// enclosing apostrophes. "[]" when nothing was found; nothing when the run failed before it had a report.
void WriteJson(const SearchResult& result, bool bShowAll, const OutputSink& write,
               const FindingSelection* selection = nullptr);

// {"findings": [the same array], "unopened": [{"project", "page", "reason" (an identifier such as "missing"),
// "description" (the reason in words, with what the server knows)}]}.
void WriteJsonWithUnopened(const SearchResult& result, bool bShowAll, const OutputSink& write,
                           const FindingSelection* selection = nullptr);

// One line per page that did not open: "morvex-scan: not opened: " project, page and reason, tab-separated
// and escaped as in the report.
void WriteUnopenedLines(const SearchResult& result, const OutputSink& write);

// The same, collected into one text (tests and small callers).
std::string FormatTsv(const SearchResult& result);
std::string FormatJson(const SearchResult& result, bool bShowAll);

// A JSON string literal (quotes included) holding the UTF-8 text.
std::string JsonString(std::string_view text);
void AppendJsonString(std::string& out, std::string_view text);
// The same without the quotes, for a string made of several pieces.
void AppendJsonText(std::string& out, std::string_view text);

// One line for stderr: the CR LF inside a message becomes a blank, so every message stays on its own line.
// Any other character, NUL included, is kept: write the result by its length.
std::string MessageLine(std::string_view message);

// True when the run tried pages and not one of them opened: no scan happened, whatever the report says.
bool NoPageOpened(const SearchResult& result);

// 0 finished without findings, 1 finished with findings, 2 no project list, an unexpected error or not one page
// opened, 130 cancelled. With a selection, only the findings it reports count (a baseline's new ones).
int ExitStatus(const SearchResult& result, const FindingSelection* selection = nullptr);

}  // namespace morvex
