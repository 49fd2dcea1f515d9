// Writing morvex-scan's report and baseline, and telling on stderr what became of them.
#include "ScanReportOutput.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "GithubAnnotations.h"
#include "GitlabCodeQuality.h"
#include "GzipSize.h"
#include "HtmlReportFile.h"
#include "Platform.h"
#include "SarifReport.h"
#include "Statistics.h"
#include "basFileTools.h"

namespace morvex {

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::string& error) {
  ReadOnlyFile file;
  if (const std::error_code code = ReadOnlyFile::Open(ToNativePath(path), file)) {
    error = code.message();
    return std::nullopt;
  }
  std::string text(static_cast<size_t>(file.Size()), '\0');
  size_t read = 0;
  if (const std::error_code code = file.Read(text.data(), text.size(), read)) {
    error = code.message();
    return std::nullopt;
  }
  text.resize(read);
  return text;
}

bool WriteBaselineFile(NamedOutputFile& file, const Baseline& baseline, std::string& error) {
  if (!file.Begin(error)) return false;
  WriteBaseline(baseline, [&file](std::string_view piece) { file.Write(piece); });
  return file.Commit(error);
}

int CannotWrite(std::string_view what, const std::string& path, const std::string& error) {
  std::fprintf(stderr, "morvex-scan: cannot write %.*s%s: %s\n", static_cast<int>(what.size()), what.data(),
               path.c_str(), OneLine(error).c_str());
  return 2;
}

void PrintLine(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
}

int64_t WriteCheckedSarif(const SearchResult& result, bool bShowAll, const std::string& folder,
                          const OutputSink& sink, const FindingSelection* selection,
                          bool bPerPlacement, const PageFileRoot& root,
                          const ObjectPlaceRecorder* recorded, const UniquePlacements* unique,
                          TerminalProgress& progress) {
  SarifOptions options;
  options.perPlacement = bPerPlacement;
  options.files = root;
  options.unique = unique;
  std::vector<ObjectPlace> places;
  if (recorded != nullptr && RunHasReport(result)) {
    places = recorded->PlacesOf(unique != nullptr ? unique->placements : result.findings);
    options.places = &places;
  }
  GzipSizeEstimate estimate;
  const SarifShape shape = WriteSarif(
      result, bShowAll, folder,
      [&](std::string_view piece) {
        estimate.Add(piece);
        sink(piece);
      },
      selection, options);
  GzipSizeEstimate::Size gzip = estimate.Finish();
  const SarifLimits limits;
  // A sample of a log this regular lands within a few per cent of the whole; a quarter either side is safe.
  if (!gzip.exact && gzip.bytes > limits.gzipBytes / 5 * 4 && gzip.bytes < limits.gzipBytes / 4 * 5) {
    GzipSizeCounter whole;
    WriteSarif(
        result, bShowAll, folder, [&whole](std::string_view piece) { whole.Add(piece); }, selection, options);
    gzip = {whole.Finish(), true};
  }
  progress.ClearStatusLine();
  for (const std::string& warning :
       SarifLimitWarnings(shape, gzip.bytes, bShowAll, limits, gzip.exact))
    std::fprintf(stderr, "morvex-scan: %s\n", warning.c_str());
  return shape.outsideRoot;
}

void WriteRequestedReport(const ReportRequest& request, SearchResult& result, const ReportInputs& inputs,
                          const OutputSink& sink) {
  const std::string& format = request.format;
  if (request.statistics) {
    if (!RunHasReport(result)) return;
    WithPlacements(result, *inputs.unique, [&](const SearchResult& placed) {
      sink(StatisticsText(CountCollisions(placed)));
    });
  } else if (format == "html") {
    WithPlacements(result, *inputs.unique, [&](const SearchResult& placed) {
      WriteHtmlReportFile(placed, !request.showAll, request.siteFolder, request.outputPath, request.ownPageServer,
                          request.scanTime, sink);
    });
  } else if (format == "json") {
    WriteJson(result, request.showAll, sink, inputs.selection, inputs.counts);
  } else if (format == "json-v2") {
    WriteJsonWithUnopened(result, request.showAll, sink, inputs.selection, inputs.counts);
  } else if (format == "sarif" || format == "github" || format == "gitlab") {
    // Only our own server's pages are files, found as it finds them.
    const PageFileRoot root{ChoosePathRoot(request.root, request.siteFolder),
                            request.ownPageServer ? OnDiskPageFileNames() : nullptr};
    const UniquePlacements* unique = *inputs.unique ? &**inputs.unique : nullptr;
    int64_t outside = 0;
    if (format == "sarif") {
      outside = WriteCheckedSarif(result, request.showAll, request.siteFolder, sink, inputs.selection,
                                  request.perPlacement, root, inputs.places, unique, *inputs.progress);
    } else if (format == "github") {
      outside = WriteGithubAnnotations(result, request.showAll, request.siteFolder, sink, inputs.selection, root);
    } else {
      outside = WriteGitlabCodeQuality(result, request.showAll, request.siteFolder, sink, inputs.selection, root);
    }
    inputs.progress->ClearStatusLine();
    if (outside > 0) {
      PrintLine("morvex-scan: " +
                OutsideRootWarning(outside, root.folder, request.siteFolder, format == "gitlab") + "\n");
    }
  } else {
    WriteTsv(result, sink, inputs.selection, inputs.counts);
  }
}

}  // namespace morvex
