// What morvex-scan tells on stderr beside its report, and the exit status its run ends with.
#pragma once

#include <string>
#include <string_view>

#include "ReportPieces.h"
#include "basSearch.h"

namespace morvex {

// One line per page that did not open: "morvex-scan: not opened: " project, page and reason, tab-separated
// and escaped as in the report, other control characters as in MessageLine; "morvex-scan: page list not
// opened: " project, path and reason for a page list.
void WriteUnopenedLines(const SearchResult& result, const OutputSink& write);

// Control characters as a terminal must show them: "\0" for NUL, "\x1B" and the like for the others. Raw, a
// NUL makes grep call stderr binary and an escape sequence would act on the user's terminal.
bool IsControl(char c);
void AppendControlEscaped(std::string& out, char c);
// The text with every control character shown so.
void AppendShownControls(std::string& out, std::string_view text);

// One line for stderr: the CR LF inside a message becomes a blank, so every message stays on its own line,
// and any other control character but the tab is shown escaped ("\0", "\x1B").
std::string MessageLine(std::string_view message);

// What the run's report holds, in one line for stderr's end: "12 collisions on 4 of 5 pages scanned" (the pages
// with a finding of those that opened), "12 collisions in 5 pages scanned" for --unique reports, which have no
// page, or none; with a selection (a baseline's new findings) "12 collisions beyond the baseline ...".
std::string RunCounts(const SearchResult& result, bool bShowAll, const FindingSelection* selection = nullptr);

// 0 finished without findings, 1 finished with findings, 2 no project list, an unexpected error or not one page
// opened, 130 cancelled. With a selection, only the findings it reports count (a baseline's new ones).
int ExitStatus(const SearchResult& result, const FindingSelection* selection = nullptr);

}  // namespace morvex
