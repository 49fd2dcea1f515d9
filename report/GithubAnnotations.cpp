// GitHub workflow commands for each finding and each page or page list that did not open, escaped as GitHub reads them.
#include "GithubAnnotations.h"

#include <optional>
#include <string>

#include "FindingView.h"
#include "PageFailure.h"

namespace morvex {

namespace {

// GitHub reads "%", CR and LF in a message as its own escapes' start and as the command's end.
void AppendGithubData(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '%': out += "%25"; break;
      case '\r': out += "%0D"; break;
      case '\n': out += "%0A"; break;
      default: out.push_back(c);
    }
  }
}

// In a property ":" and "," also end the value.
void AppendGithubProperty(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case ':': out += "%3A"; break;
      case ',': out += "%2C"; break;
      default: AppendGithubData(out, std::string_view(&c, 1));
    }
  }
}

void AppendAnnotation(std::string& out, std::string_view command, const std::string* file, std::string_view title,
                      std::string_view message) {
  out.append("::").append(command).append(" ");
  if (file != nullptr) {
    out += "file=";
    AppendGithubProperty(out, *file);
    out += ",line=1,";
  }
  out += "title=";
  AppendGithubProperty(out, title);
  out += "::";
  AppendGithubData(out, message);
  out += '\n';
}

}  // namespace

int64_t WriteGithubAnnotations(const SearchResult& result, bool bShowAll, std::string_view siteFolder,
                               const OutputSink& write, const FindingSelection* selection,
                               const PageFileRoot& root) {
  if (!RunHasReport(result)) return 0;
  PageFileLocations places(result, siteFolder, root);
  PieceWriter out(write);
  int64_t outside = 0;
  ForEachSelected(result.findings, selection, [&](int32_t i) {
    const FindingView finding = ViewOf(result.findings, i, bShowAll);
    const std::optional<std::string> file =
        bShowAll ? places.PagePath(finding.project, finding.page) : std::nullopt;
    if (file && !places.FolderOf(finding.project)->insideRoot) ++outside;
    AppendAnnotation(out.Text(), "warning", file ? &*file : nullptr,
                     "Reserved property name " + std::string(finding.property),
                     DescribeFinding(finding, bShowAll));
    out.MaybeFlush();
  });
  // A run that could not read everything must show it where the findings are shown.
  result.unopened.ForEachInRunOrder(
      [&](const UnopenedPages::PageList& list) {
        const std::optional<std::string> file =
            list.path.empty() ? std::nullopt : std::optional<std::string>(places.PathFromRoot(list.path));
        AppendAnnotation(out.Text(), "error", file ? &*file : nullptr, "Page list not opened",
                         "The page list of project \"" + list.project +
                             "\" could not be opened, so none of its pages were scanned: " +
                             DescribePageFailure(list.reason, list.detail) + ".");
      },
      [&](const UnopenedPages::Entry& entry) {
        const std::optional<std::string> file = places.PagePath(entry.project, entry.page);
        AppendAnnotation(out.Text(), "warning", file ? &*file : nullptr, "Page not opened",
                         "Page \"" + std::string(entry.page) + "\" of project \"" + std::string(entry.project) +
                             "\" could not be opened: " + DescribePageFailure(entry.reason, entry.detail) + ".");
        out.MaybeFlush();
      });
  out.Flush();
  return outside;
}

}  // namespace morvex
