// What morvex-scan prints for a finished run: the tab-separated report, the JSON array, message lines, exit status.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "CollisionCounts.h"
#include "OutputPieces.h"
#include "basSearch.h"

namespace morvex {

// Writes a tsv, json or json-v2 report a finding at a time, so that findings can go out as the scan finds them;
// the bytes are those of the whole-report writers below, which are made of it.
class ReportStream {
 public:
  enum class Format { kTsv, kJson, kJsonV2 };
  // counts, for a --unique report, adds each finding's placements, pages and projects (--counts): per finding of
  // the list, in its order.
  ReportStream(Format format, bool bShowAll, const OutputSink& write,
               const std::vector<TemplateCount>* counts = nullptr);
  void Add(const FindingsList& findings, int32_t index);
  // Hands what has been added to the sink now, not when a piece is full.
  void Flush() { out_.Flush(); }
  // "No items found", the end of the array, json-v2's unopened list and whether the report is complete.
  // Nothing for a run that failed before anything was added.
  void Finish(const SearchResult& result);
  int32_t Added() const { return added_; }

 private:
  Format format_;
  bool showAll_;
  const std::vector<TemplateCount>* counts_;
  int32_t added_ = 0;
  PieceWriter out_;
};

// The run's report with LF line ends ("No items found" gets one too); tab, CR, LF and backslash inside a
// field are written \t, \r, \n and \\ so that every finding stays one line of columns. Nothing when the run
// failed.
void WriteTsv(const SearchResult& result, const OutputSink& write, const FindingSelection* selection = nullptr,
              const std::vector<TemplateCount>* counts = nullptr);

// One object per finding keyed by the report's column titles; "AN" is a number and "PropertyValue" loses its
// enclosing apostrophes. "[]" when nothing was found; nothing when the run failed before it had a report.
void WriteJson(const SearchResult& result, bool bShowAll, const OutputSink& write,
               const FindingSelection* selection = nullptr, const std::vector<TemplateCount>* counts = nullptr);

// {"findings": [the same array], "unopened": [{"project", "page" (or "pageList", its path, for a page list that
// did not open), "reason" (an identifier such as "missing"), "description" (the reason in words, with what the
// server knows)}], "complete": false when the run was cancelled, an error cut it short or its export failed}.
void WriteJsonWithUnopened(const SearchResult& result, bool bShowAll, const OutputSink& write,
                           const FindingSelection* selection = nullptr,
                           const std::vector<TemplateCount>* counts = nullptr);

// One line per page that did not open: "morvex-scan: not opened: " project, page and reason, tab-separated
// and escaped as in the report, other control characters as in MessageLine; "morvex-scan: page list not opened: " project, path and reason for a page list.
void WriteUnopenedLines(const SearchResult& result, const OutputSink& write);

// The same, collected into one text (tests and small callers).
std::string FormatTsv(const SearchResult& result);
std::string FormatJson(const SearchResult& result, bool bShowAll);

// A JSON string literal (quotes included) holding the UTF-8 text.
std::string JsonString(std::string_view text);
void AppendJsonString(std::string& out, std::string_view text);
// The same without the quotes, for a string made of several pieces.
void AppendJsonText(std::string& out, std::string_view text);

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
