// The tsv, json and json-v2 reports: the report's columns as text or JSON, whole or a finding at a time.
#pragma once

#include <string>
#include <vector>

#include "CollisionCounts.h"
#include "ReportPieces.h"
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

// The same, collected into one text (tests and small callers).
std::string FormatTsv(const SearchResult& result);
std::string FormatJson(const SearchResult& result, bool bShowAll);

}  // namespace morvex
