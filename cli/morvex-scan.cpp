// morvex-scan: the search run from the command line, for scripts and build pipelines.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Baseline.h"
#include "Console.h"
#include "HtmlReport.h"
#include "JsonText.h"
#include "NamedOutputFile.h"
#include "PageObjectPlaces.h"
#include "PageServerChoice.h"
#include "PageWorkers.h"
#include "Platform.h"
#include "ScanMessages.h"
#include "ScanReportOutput.h"
#include "ScanTerminal.h"
#include "SiteExport.h"
#include "TextUtil.h"
#include "TsvJsonReport.h"
#include "UniquePlacements.h"
#include "Version.h"
#include "basFileTools.h"
#include "basSearch.h"

namespace {

constexpr const char* kExitStatusFooter =
    "Exit status:\n"
    "  0    the scan finished and found no collision (with --baseline: none beyond the baseline), or\n"
    "       --write-baseline wrote the baseline\n"
    "  1    the scan finished and found collisions (with --baseline: some beyond the baseline)\n"
    "  2    the project list could not be opened, page lists or pages could not be opened and not one page\n"
    "       was, a wrong option or baseline was given, an error ended the scan, the report or the baseline\n"
    "       could not be written, or the export could not be written whole\n"
    "  130  the scan was cancelled with Ctrl-C (the partial report is printed; a report or baseline for a\n"
    "       file is not written)";

constexpr int32_t kMostJobs = 64;

// CLI11 takes the arguments as C strings; these are the UTF-8 ones.
void ParseUtf8(CLI::App& app, const std::vector<std::string>& arguments) {
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  app.parse(static_cast<int>(pointers.size()), pointers.data());
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that stops early (`| head`) closes the pipe: the write then fails and ends the run with status 2.
  morvex::console::PrepareStreams();
  CLI::App app{"Lists Tarvo property names that collide with the package's reserved property names, for every "
               "page of every project in FOLDER (the folder that holds master.dbf)."};
  app.name("morvex-scan");

  bool bShowAll = false;
  bool bUnique = false;
  bool bIgnoreBuiltIn = false;
  bool bIncludeBuiltIn = false;
  std::string format = "tsv";
  std::string folder;
  bool bListUnopened = false;
  std::string baselinePath;
  std::string writeBaselinePath;
  std::string outputPath;
  bool bQuiet = false;

  CLI::Option* showAll = app.add_flag("--show-all", bShowAll, "One line per placement, with page, AN and value (default)");
  CLI::Option* unique = app.add_flag("--unique", bUnique, "One line per distinct Tarvo and property name");
  showAll->excludes(unique);
  CLI::Option* ignore = app.add_flag("--ignore-built-in", bIgnoreBuiltIn, "Skip the package's built-in projects (default)");
  CLI::Option* include = app.add_flag("--include-built-in", bIncludeBuiltIn, "Scan the built-in projects too");
  ignore->excludes(include);
  app.add_option("--format", format,
                 "Output format: tsv (the report), json (an array of findings), json-v2 (an object with the "
                 "findings and the pages that did not open), sarif (SARIF 2.1.0), github (workflow annotations), "
                 "gitlab (code-quality report) or html (one page to open in a browser)")
      ->check(CLI::IsMember({"tsv", "json", "json-v2", "sarif", "github", "gitlab", "html"}))
      ->default_str("tsv");
  app.add_flag("--list-unopened", bListUnopened, "Name every page that could not be opened, with its reason, on stderr");
  app.add_option("--baseline", baselinePath,
                 "Report only the findings beyond those of this baseline file; the exit status says whether there "
                 "are any, and baseline findings no longer seen are listed on stderr as fixed");
  app.add_option("--write-baseline", writeBaselinePath,
                 "Write the findings of a finished scan to this baseline file (fingerprints with counts) and "
                 "exit 0, as they are the baseline now; a link is written through, a pipe or character device "
                 "written into, anything else but an ordinary file refused");
  app.add_option("-o,--output-file", outputPath,
                 "Write the report to this file instead of to stdout: into a scratch file beside it, moved into "
                 "place when complete, never for a scan that did not finish; a link is written through, a pipe or "
                 "character device (/dev/stdout) written into, anything else but an ordinary file refused");
  std::string sarifResults = "template";
  app.add_option("--sarif-results", sarifResults,
                 "SARIF results: template (one per template property on a page, its placements there as "
                 "locations) or placement (one per placement)")
      ->check(CLI::IsMember({"template", "placement"}))
      ->default_str("template");
  std::string pathRoot;
  app.add_option("--root,--sarif-root", pathRoot,
                 "The folder (the repository's top folder) that sarif, github and gitlab give page files "
                 "relative to. Default: the current folder when FOLDER lies inside it, else FOLDER")
      ->check(CLI::ExistingDirectory);
  bool bStatistics = false;
  app.add_flag("--statistics", bStatistics,
               "Print, instead of the report, per reserved name met its placements and template properties, most "
               "first, and the totals");
  bool bCounts = false;
  app.add_flag("--counts", bCounts,
               "With --unique, give each line of a tsv, json or json-v2 report its Placements, Pages and Projects");
  app.add_flag("-q,--quiet", bQuiet, "No status line and no summary lines on stderr; errors are still told");
  std::string pageServer;
  app.add_option("--page-server", pageServer,
                 "The page server to open pages with, by ProgID (Company.Server) or {CLSID}; Windows only. "
                 "Default: Morvex's own, reading page files");
  std::string exportFolder;
  app.add_option("--export", exportFolder,
                 "Also write the site into this new or empty folder (made with the folders above it that are "
                 "missing) as Morvex's own page server reads it: the "
                 "project list pointing at a folder per project, the page lists, and every page that opens as a "
                 "page file, read through the run's page server");
  int32_t jobs = 0;
  app.add_option("-j,--jobs", jobs,
                 "Pages scanned at once, each by a page server of its own (1 to " + std::to_string(kMostJobs) +
                     "). Default: the processors this scan may use, at most " + std::to_string(morvex::kDefaultPageWorkersAtMost) +
                     ", with Morvex's own server; 1 with --page-server, as a server of another maker may share "
                     "state between its instances")
      ->check(CLI::Range(1, kMostJobs));
  app.add_option("FOLDER", folder, "The folder that holds the project list master.dbf")->required();
  app.set_version_flag("--version", std::string(morvex::kVersionText));
  app.footer(kExitStatusFooter);

  try {
    ParseUtf8(app, morvex::console::Arguments(argc, argv));
  } catch (const CLI::Success& success) {
    return app.exit(success);
  } catch (const CLI::ParseError& error) {
    // The full help would bury the one thing that went wrong; it is a --help away.
    std::cerr << "morvex-scan: " << morvex::OneLine(error.what()) << " (run morvex-scan --help for usage)\n";
    return 2;
  }

  // An unset variable in a script must not turn into the root folder's master.dbf.
  if (folder.empty()) {
    std::cerr << "morvex-scan: FOLDER is empty; give the folder that holds master.dbf "
                 "(run morvex-scan --help for usage)\n";
    return 2;
  }
  // Nor may it quietly turn an option off: the report to stdout, no baseline written or compared, no export.
  struct NamedValue {
    const char* option;
    const std::string& value;
    const char* wanted;
  };
  for (const NamedValue& given : {NamedValue{"--output-file", outputPath, "a file"},
                                  NamedValue{"--write-baseline", writeBaselinePath, "a file"},
                                  NamedValue{"--baseline", baselinePath, "a baseline file"},
                                  NamedValue{"--export", exportFolder, "a folder"}}) {
    if (app.count(given.option) > 0 && given.value.empty()) {
      std::cerr << "morvex-scan: " << given.option << " is empty; give " << given.wanted
                << " (run morvex-scan --help for usage)\n";
      return 2;
    }
  }

  morvex::PageAutomationFactory pageServerFactory = morvex::ChoosePageServer(pageServer);
  if (!pageServerFactory) {
    std::cerr << "morvex-scan: page servers by class identifier (--page-server) are a Windows feature\n";
    return 2;
  }

  const bool bShowAllRun = !bUnique;
  const bool bSarif = format == "sarif";
  const bool bNamesPageFiles = bSarif || format == "github" || format == "gitlab";
  if (!bSarif && app.count("--sarif-results") > 0) {
    std::cerr << "morvex-scan: --sarif-results shapes --format sarif only\n";
    return 2;
  }
  if (!bNamesPageFiles && app.count("--root") > 0) {
    std::cerr << "morvex-scan: --root shapes --format sarif, github and gitlab only\n";
    return 2;
  }
  // Both count placements, so their scan keeps them all, and neither selects findings by a baseline.
  const bool bCounted = format == "html" || bStatistics;
  if (bCounted && !baselinePath.empty()) {
    std::cerr << "morvex-scan: --baseline selects findings of the other formats, not of --format html or --statistics\n";
    return 2;
  }
  if (bCounts && (!bUnique || bCounted || (format != "tsv" && format != "json" && format != "json-v2"))) {
    std::cerr << "morvex-scan: --counts adds columns to a --unique report in tsv, json or json-v2\n";
    return 2;
  }
  std::optional<morvex::Baseline> baseline;
  if (!baselinePath.empty()) {
    std::string error;
    const std::optional<std::string> text = morvex::ReadWholeFile(baselinePath, error);
    if (text) baseline = morvex::ParseBaseline(*text, error);
    if (!baseline) {
      std::fprintf(stderr, "morvex-scan: baseline %s: %s\n", baselinePath.c_str(), morvex::OneLine(error).c_str());
      return 2;
    }
    if (baseline->showAll != bShowAllRun) {
      std::fprintf(stderr, "morvex-scan: baseline %s holds a %s report; scan %s to compare with it\n",
                   baselinePath.c_str(), baseline->showAll ? "show-all" : "--unique",
                   baseline->showAll ? "without --unique" : "with --unique");
      return 2;
    }
  }

  // Settled before the scan: a typo in the path should not cost a whole scan.
  morvex::NamedOutputFile baselineFile;
  morvex::NamedOutputFile reportFile;
  std::string prepareError;
  if (!writeBaselinePath.empty() && !baselineFile.Prepare(writeBaselinePath, prepareError)) {
    return morvex::CannotWrite("the baseline ", writeBaselinePath, prepareError);
  }
  if (!outputPath.empty() && !reportFile.Prepare(outputPath, prepareError)) {
    return morvex::CannotWrite("the report to ", outputPath, prepareError);
  }

  // Only our own server's pages are the page files a SARIF log points into, noted while the scan has them open;
  // wrapped first, as an export's wrapper passes no places on.
  std::optional<morvex::ObjectPlaceRecorder> placeRecorder;
  if (bSarif && pageServer.empty())
    pageServerFactory = placeRecorder.emplace().Recording(std::move(pageServerFactory));

  // Last of the refusals: it creates the export folder.
  morvex::SiteExport siteExport;
  if (!exportFolder.empty()) {
    std::string error;
    if (!siteExport.Begin(exportFolder, folder, error)) {
      std::fprintf(stderr, "morvex-scan: cannot export to %s: %s\n", exportFolder.c_str(), morvex::OneLine(error).c_str());
      return 2;
    }
    pageServerFactory = siteExport.Recording(std::move(pageServerFactory));
  }

  morvex::InstallInterruptHandler();
  morvex::TerminalProgress progress(stderr, bQuiet ? morvex::StatusLineStyle::kNone
                                                   : morvex::StatusLineStyleFor(stderr));
  morvex::TerminalMessages messages(stderr, progress, "morvex-scan: ");
  morvex::AppContext context(std::move(pageServerFactory), progress, messages);
  context.showUnopenedMessage = false;  // told below, on stderr, with the option that names the pages
  context.pageWorkers = jobs != 0 ? jobs : morvex::DefaultPageWorkers(pageServer);

  static char outputBuffer[1 << 16];
  std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
  morvex::ReportWriter writer;
  // On one terminal the report's lines would land inside the status line: each piece goes out whole, on a
  // line the status line has left.
  const bool bStatusLineShares = morvex::console::IsConsole(stdout) && morvex::console::IsConsole(stderr);
  // A report for a file goes to a scratch file beside it and is put in place whole: a reader of the file never
  // sees half of it.
  const bool bToFile = !outputPath.empty();
  const morvex::OutputSink sink = [&writer, &progress, bStatusLineShares, bToFile,
                                   &reportFile](std::string_view piece) {
    if (bToFile) {
      reportFile.Write(piece);
      return;
    }
    if (bStatusLineShares) progress.ClearStatusLine();
    writer(piece);
    if (bStatusLineShares) writer.Finish();
  };
  // A report compared with a baseline, one for a file, and SARIF, GitHub and GitLab, which need every
  // project's folder, are written whole at the end; the others go out as the scan finds them.
  std::optional<morvex::ReportStream> stream;
  // Counts are known only when the scan is over.
  const bool bStreamable = (format == "tsv" || format == "json" || format == "json-v2") && !bStatistics && !bCounts;
  if (!baseline && !bToFile && bStreamable) {
    const auto streamFormat = format == "json"      ? morvex::ReportStream::Format::kJson
                              : format == "json-v2" ? morvex::ReportStream::Format::kJsonV2
                                                    : morvex::ReportStream::Format::kTsv;
    stream.emplace(streamFormat, bShowAllRun, sink);
  }
  std::optional<morvex::StreamedReport> streamed;
  if (stream) {
    streamed.emplace(*stream, writer, progress);
    context.findingsObserver = &*streamed;
  }
  // The folder's bytes go to the file system as they were given: a name need not be valid UTF-8 on Linux.
  // A --unique SARIF log points each finding at its first placement: the scan keeps them all, and the
  // --unique list is made from them.
  const std::string scanTime = morvex::UtcTimeText(std::chrono::system_clock::now());
  morvex::SearchResult result =
      morvex::RunSearchDetailed(context, folder, bShowAllRun || bSarif || bCounted || bCounts, !bIncludeBuiltIn);
  progress.ClearStatusLine();
  const std::optional<std::string> exportFailure = siteExport.Failure();
  result.exportIncomplete = exportFailure.has_value();
  if (!streamed && morvex::RunHasReport(result)) progress.ShowWriting("the report");
  std::optional<morvex::UniquePlacements> uniquePlacements;
  if (!bShowAllRun && result.showAll) {
    uniquePlacements.emplace();
    uniquePlacements->placements = std::move(result.findings);
    result.findings = morvex::UniqueFromPlacements(uniquePlacements->placements, uniquePlacements->first);
    result.showAll = false;
  }

  // Per line of the --unique list, which the counts' template properties follow one for one.
  std::optional<std::vector<morvex::TemplateCount>> counts;
  if (bCounts && uniquePlacements) {
    morvex::WithPlacements(result, uniquePlacements, [&counts](const morvex::SearchResult& placed) {
      counts = std::move(morvex::CountCollisions(placed).byTemplate);
    });
  }

  std::optional<morvex::BaselineComparison> comparison;
  if (baseline) comparison = morvex::CompareWithBaseline(result.findings, bShowAllRun, *baseline);
  const morvex::FindingSelection* selection = comparison ? &comparison->fresh : nullptr;
  const bool finished = result.outcome == morvex::RunOutcome::kCompleted;
  // A run that did not finish leaves the file as it was: part of a report in its place would pass for all of
  // it. To stdout the partial report goes out as it was found, and the exit status says what it is.
  const bool bFileReport = bToFile && finished;
  if (std::string error; bFileReport && !reportFile.Begin(error)) {
    return morvex::CannotWrite("the report to ", outputPath, error);
  }
  if (bToFile && !bFileReport) {
    // the file stays as it was, and a line below says so
  } else if (streamed) {
    streamed->Finish(result);
  } else {
    const morvex::ReportRequest request{format,     bStatistics,      bShowAllRun,        folder,   outputPath,
                                        pageServer.empty(), pathRoot, sarifResults == "placement", scanTime};
    const morvex::ReportInputs inputs{&uniquePlacements, selection, counts ? &*counts : nullptr,
                                      placeRecorder ? &*placeRecorder : nullptr, &progress};
    morvex::WriteRequestedReport(request, result, inputs, sink);
  }
  progress.ClearStatusLine();
  if (!writer.Finish()) {
    // A reader that has gone away wants no explanation, and a pipeline stderr would only fill with noise.
    if (!writer.ReaderGone()) {
      std::fprintf(stderr, "morvex-scan: cannot write the report: %s\n", std::strerror(writer.Error()));
    }
    return 2;
  }
  if (std::string error; bFileReport && !reportFile.Commit(error)) {
    return morvex::CannotWrite("the report to ", outputPath, error);
  }
  // The counts close what the run says on stderr, after anything it had to tell.
  const auto endWithCounts = [&](int status) {
    if (!bQuiet && morvex::RunHasReport(result)) {
      morvex::PrintLine("morvex-scan: " + morvex::RunCounts(result, bShowAllRun, selection) + "\n");
    }
    return status;
  };

  if (bListUnopened) morvex::WriteUnopenedLines(result, morvex::PrintLine);
  if (result.unopened.Any() && !bQuiet) {
    std::string summary = "morvex-scan: " + morvex::UnopenedSummary(result.unopened);
    if (!bListUnopened) summary += "; --list-unopened names them";
    morvex::PrintLine(summary + "\n");
  }
  if (result.outcome == morvex::RunOutcome::kCancelled && !bToFile) {
    morvex::PrintLine("morvex-scan: cancelled: the report is partial, it holds only what was found before Ctrl-C\n");
  }
  if (bToFile && !bFileReport) {
    std::fprintf(stderr, "morvex-scan: report %s not written: the scan did not finish\n", outputPath.c_str());
  }
  if (exportFailure) {
    std::fprintf(stderr, "morvex-scan: the export to %s is incomplete: %s; it holds the pages written before\n",
                 exportFolder.c_str(), morvex::OneLine(*exportFailure).c_str());
  }
  // A run that was asked for an export and could not write it did not do its work, whatever it found.
  const auto withExport = [&](int status) { return exportFailure && status != 130 ? 2 : status; };
  if (comparison && finished) {
    for (const morvex::BaselineComparison::Fixed& fixed : comparison->fixed) {
      std::string line = "morvex-scan: fixed since the baseline:";
      for (const std::string& field : fixed.fields) line += " " + morvex::JsonString(field);
      line += " (" + std::to_string(fixed.before) + " then, " + std::to_string(fixed.now) + " now)\n";
      morvex::PrintLine(line);
    }
  }
  if (!writeBaselinePath.empty()) {
    // A scan that stopped early or read no page would make every finding it missed look fixed later.
    if (!finished || result.unopened.NothingScanned()) {
      std::fprintf(stderr, "morvex-scan: baseline %s not written: the scan did not finish\n",
                   writeBaselinePath.c_str());
    } else {
      std::string error;
      if (!morvex::WriteBaselineFile(baselineFile, morvex::MakeBaseline(result.findings, bShowAllRun), error)) {
        return endWithCounts(morvex::CannotWrite("the baseline ", writeBaselinePath, error));
      }
      return endWithCounts(withExport(0));  // what was found is the baseline now
    }
  }
  return endWithCounts(withExport(morvex::ExitStatus(result, selection)));
}
