// Where morvex-scan's report and baseline go: stdout in pieces, findings as found, the checked SARIF log, files.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "Baseline.h"
#include "CollisionCounts.h"
#include "Console.h"
#include "NamedOutputFile.h"
#include "PageFileLocations.h"
#include "PageObjectPlaces.h"
#include "ScanTerminal.h"
#include "TsvJsonReport.h"
#include "UniquePlacements.h"
#include "basSearch.h"

namespace morvex {

// Writes the report in the pieces it comes in; a failed write makes the rest a no-op. A report that did not
// reach its reader (full disk, closed pipe) must not end with a success status.
class ReportWriter {
 public:
  void operator()(std::string_view piece) {
    if (failed_ || piece.empty()) return;
    if (std::fwrite(piece.data(), 1, piece.size(), stdout) != piece.size()) Fail();
  }
  bool Finish() {
    if (!failed_ && (std::fflush(stdout) != 0 || std::ferror(stdout) != 0)) Fail();
    return !failed_;
  }
  bool Failed() const { return failed_; }
  int Error() const { return error_; }
  bool ReaderGone() const { return readerGone_; }

 private:
  void Fail() {
    failed_ = true;
    error_ = errno;
    readerGone_ = console::ReaderHasGone(error_);
  }
  bool failed_ = false;
  int error_ = 0;
  bool readerGone_ = false;
};

// Hands findings to stdout as the scan finds them, so that a pipeline sees the first at once and a reader that
// stops early (`| head -1`) stops the scan too. Flushed at most every 100 ms: a write per page would cost a
// dense site more than its scan.
class StreamedReport : public FindingsObserver {
 public:
  StreamedReport(ReportStream& stream, ReportWriter& writer, TerminalProgress& progress)
      : stream_(stream), writer_(writer), progress_(progress) {}

  void FindingsAdded(const FindingsList& findings) override {
    while (written_ < findings.Count()) stream_.Add(findings, written_++);
    const auto now = std::chrono::steady_clock::now();
    if (now - lastFlush_ >= std::chrono::milliseconds(100)) {
      stream_.Flush();
      writer_.Finish();
      lastFlush_ = now;
    }
    // Nobody reads the rest: scanning on would only cost the reader's time.
    if (writer_.Failed()) progress_.PressCancel();
  }

  void Finish(const SearchResult& result) {
    while (written_ < result.findings.Count()) stream_.Add(result.findings, written_++);
    stream_.Finish(result);
  }

 private:
  ReportStream& stream_;
  ReportWriter& writer_;
  TerminalProgress& progress_;
  int32_t written_ = 0;
  std::chrono::steady_clock::time_point lastFlush_{};  // long ago: the first findings go out at once
};

// CLI11's messages are one line today; a newline in a later one must not break the one-line promise.
std::string OneLine(std::string text);

// Every byte of a file, or nothing with the system's reason in error.
std::optional<std::string> ReadWholeFile(const std::string& path, std::string& error);

bool WriteBaselineFile(NamedOutputFile& file, const Baseline& baseline, std::string& error);

// One line for a file the user named that cannot be written: before the scan (the file is refused) or after.
// what is "the baseline " or "the report to ".
int CannotWrite(std::string_view what, const std::string& path, const std::string& error);

void PrintLine(std::string_view line);

// Writes the SARIF log once, then says on stderr where it goes beyond what code-scanning services take. Its
// gzip size is estimated on the way out; only a log whose estimate is near the limit is compressed whole,
// made again for it. Gives the number of results outside the root.
int64_t WriteCheckedSarif(const SearchResult& result, bool bShowAll, const std::string& folder,
                          const OutputSink& sink, const FindingSelection* selection, bool bPerPlacement,
                          const PageFileRoot& root, const ObjectPlaceRecorder* recorded,
                          const UniquePlacements* unique, TerminalProgress& progress);

// What the options ask of the report that is written when the scan is over.
struct ReportRequest {
  std::string format;        // tsv, json, json-v2, sarif, github, gitlab or html
  bool statistics = false;   // the statistics instead of the report
  bool showAll = true;       // the user's choice; the scan may have kept placements for a --unique report
  std::string siteFolder;
  std::string outputPath;    // empty for stdout
  bool ownPageServer = true; // pages are page files that the outputs may point at
  std::string root;          // --root as given
  bool perPlacement = false; // --sarif-results placement
  std::string scanTime;
};

// What the run gives the report beside its result: all optional but the progress.
struct ReportInputs {
  std::optional<UniquePlacements>* unique = nullptr;
  const FindingSelection* selection = nullptr;
  const std::vector<TemplateCount>* counts = nullptr;
  const ObjectPlaceRecorder* places = nullptr;
  TerminalProgress* progress = nullptr;
};

// Writes the report the request asks for, whole, to the sink; the formats that name page files say on stderr
// how many findings lie outside the root.
void WriteRequestedReport(const ReportRequest& request, SearchResult& result, const ReportInputs& inputs,
                          const OutputSink& sink);

// Hands a writer that counts placements the run with them: a --unique run's own list is its distinct findings,
// which the counts line, the baseline and the exit status go by. Swapped, not copied: a list can be large.
template <typename Write>
void WithPlacements(SearchResult& result, std::optional<UniquePlacements>& unique, Write write) {
  if (!unique) {
    write(result);
    return;
  }
  std::swap(result.findings, unique->placements);
  result.showAll = true;
  write(result);
  std::swap(result.findings, unique->placements);
  result.showAll = false;
}

}  // namespace morvex
