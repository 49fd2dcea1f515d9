// What the HTML report's units share: the piece buffer and the placement data block.
#pragma once

#include <cstddef>
#include <string>

#include "CollisionCounts.h"
#include "HtmlReport.h"

namespace morvex {

// Collects the page and hands it on in pieces of about 64 KiB.
class HtmlOut {
 public:
  explicit HtmlOut(const OutputSink& write) : write_(write) { text_.reserve(kPieceBytes + 4096); }
  std::string& Text() { return text_; }
  HtmlOut& operator<<(std::string_view piece) {
    text_ += piece;
    return *this;
  }
  void MaybeFlush() {
    if (text_.size() >= kPieceBytes) Flush();
  }
  void Flush() {
    if (!text_.empty()) write_(text_);
    text_.clear();
  }

 private:
  static constexpr size_t kPieceBytes = size_t{64} << 10;
  const OutputSink& write_;
  std::string text_;
};

// The JSON the page's script renders placements from, without its <script> element: a string table, the
// pages as (project, page, href) string indexes, and the placements in report order as flat (template index,
// page index, AN, value, line) quintuples, line 0 where unknown. Compact, so that a dense site's page stays
// well below its TSV report's size.
void WritePlacementData(const SearchResult& result, const CollisionCounts& counts, const HtmlReportInfo& info,
                        HtmlOut& out);

}  // namespace morvex
