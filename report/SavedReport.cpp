// Saving a window's report: the text the box shows or the HTML page, through a scratch file.
#include "SavedReport.h"

#include <filesystem>
#include <string_view>

#include "HtmlReportFile.h"
#include "NamedOutputFile.h"
#include "ReportPieces.h"
#include "basFileTools.h"

namespace morvex {

bool CanSave(const SavedRun& run) { return run.ran && RunHasReport(run.result); }

bool CanSaveHtml(const SavedRun& run) { return CanSave(run) && run.result.showAll; }

std::string WithExtension(const std::string& path, SavedFormat format) {
  if (ToNativePath(path).filename().has_extension()) return path;
  return path + (format == SavedFormat::kHtml ? ".html" : ".tsv");
}

bool SaveReport(const SavedRun& run, SavedFormat format, const std::string& path, std::string& error) {
  if (format == SavedFormat::kHtml ? !CanSaveHtml(run) : !CanSave(run)) {
    error = format == SavedFormat::kHtml ? "the HTML report needs a run that showed all instances"
                                         : "the run has no report";
    return false;
  }
  NamedOutputFile file;
  if (!file.Prepare(path, error) || !file.Begin(error)) return false;
  const auto write = [&file](std::string_view piece) { file.Write(piece); };
  if (format == SavedFormat::kHtml) {
    WriteHtmlReportFile(run.result, false, run.siteFolder, path, run.ownPageServer, run.scanTime, write);
  } else {
    WriteReport(run.result, "\r\n", write);
  }
  return file.Commit(error);
}

}  // namespace morvex
