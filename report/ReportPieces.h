// PieceWriter and the walk over selected findings that every report format shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FindingsList.h"
#include "ReportSink.h"
#include "basSearch.h"

namespace morvex {

// The findings to write, by index in report order; a null selection writes them all.
using FindingSelection = std::vector<int32_t>;

// Collects small appends and passes them on in pieces of about kPieceBytes, so the sink sees few, sizeable
// pieces and no output is ever held whole.
class PieceWriter {
 public:
  static constexpr size_t kPieceBytes = size_t{64} << 10;

  explicit PieceWriter(const OutputSink& write) : write_(write) { piece_.reserve(kPieceBytes + 4096); }
  std::string& Text() { return piece_; }
  void MaybeFlush() {
    if (piece_.size() >= kPieceBytes) Flush();
  }
  void Flush() {
    if (!piece_.empty()) write_(piece_);
    piece_.clear();
  }

 private:
  const OutputSink& write_;
  std::string piece_;
};

// Completed and cancelled runs have a report, the findings so far; runs that failed before have none.
inline bool RunHasReport(const SearchResult& result) {
  return result.outcome == RunOutcome::kCompleted || result.outcome == RunOutcome::kCancelled;
}

// A report that may call its run complete: the scan walked to its end and did everything else it was asked.
inline bool RunIsComplete(const SearchResult& result) {
  return result.outcome == RunOutcome::kCompleted && !result.exportIncomplete;
}

inline int32_t SelectedCount(const FindingsList& findings, const FindingSelection* selection) {
  return selection == nullptr ? findings.Count() : static_cast<int32_t>(selection->size());
}

template <typename Visit>
void ForEachSelected(const FindingsList& findings, const FindingSelection* selection, Visit visit) {
  if (selection == nullptr) {
    for (int32_t i = 0; i < findings.Count(); ++i) visit(i);
  } else {
    for (const int32_t i : *selection) visit(i);
  }
}

}  // namespace morvex
