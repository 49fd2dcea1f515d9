// The HTML report's links to page files, from the report's own place.
#include "HtmlReportFile.h"

#include <filesystem>
#include <optional>
#include <string_view>

#include "HtmlReport.h"
#include "PageFileLocations.h"
#include "basFileTools.h"

namespace morvex {

// Not to each object's line: finding those reads every page again, which on a dense site costs more than
// twice the scan.
void WriteHtmlReportFile(const SearchResult& showAllResult, bool bUnique, const std::string& siteFolder,
                         const std::string& reportPath, bool bOwnPageServer, const std::string& scanTime,
                         const OutputSink& sink) {
  HtmlReportInfo info;
  info.siteFolder = siteFolder;
  info.scanTime = scanTime;
  info.unique = bUnique;
  // Links name page files as they are spelt on disk, found as our server finds them.
  const PageFileRoot files{std::string(), bOwnPageServer ? OnDiskPageFileNames() : PageFileNamer()};
  PageFileLocations locations(showAllResult, siteFolder, files);
  const std::string reportFolder =
      reportPath.empty() ? std::string() : std::filesystem::path(reportPath).parent_path().generic_string();
  if (bOwnPageServer && !bUnique) {
    info.pageHref = [&](std::string_view project, std::string_view page) -> std::optional<std::string> {
      const auto* place = locations.FolderOf(project);
      if (place == nullptr) return std::nullopt;
      const std::string file = JoinPath(place->folder, locations.FileName(project, page));
      if (reportPath.empty()) return FileUri(file);
      if (auto relative = RelativeUri(reportFolder.empty() ? "." : reportFolder, file)) return relative;
      return FileUri(file);
    };
  }
  WriteHtml(showAllResult, info, sink);
}

}  // namespace morvex
