// GitHub workflow annotations and GitLab's code-quality report of a morvex-scan run.
#include "PipelineOutput.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "PageFailure.h"
#include "ReviewOutput.h"
#include "ScanOutput.h"
#include "basFileTools.h"

namespace morvex {

namespace {

constexpr std::string_view kRulePrefix = "reserved-property-name/";
// Where a --unique finding points, for formats that need a file: it has no page, and the project list is the
// one file every site has.
constexpr std::string_view kProjectListFile = "master.dbf";

// A finding's fields by meaning, whichever report it comes from.
struct FindingView {
  std::string_view project, page, an;  // empty in --unique reports
  std::string_view libraryProject, library, tarvo, property;
};

FindingView ViewOf(const FindingsList& findings, int32_t index, bool bShowAll) {
  const int32_t count = findings.FieldCount(index);
  const auto field = [&](int32_t column) {
    return column < count ? findings.Field(index, column) : std::string_view();
  };
  FindingView view;
  const int32_t base = bShowAll ? 3 : 0;  // where the library project's column is
  if (bShowAll) {
    view.project = field(0);
    view.page = field(1);
    view.an = field(2);
  }
  view.libraryProject = field(base);
  view.library = field(base + 1);
  view.tarvo = field(base + 2);
  view.property = field(base + 3);
  return view;
}

// The finding in words, the way the SARIF results say it, with the object's AN where the report has one (a
// page file has no lines to point at it by).
std::string Description(const FindingView& finding, bool bShowAll) {
  std::string text;
  if (bShowAll) text.append("Object ").append(finding.an).append(": ");
  text.append("Tarvo \"").append(finding.tarvo).append("\" of library \"").append(finding.library);
  text.append("\" in project \"").append(finding.libraryProject).append("\" has a property named \"");
  text.append(finding.property).append("\", a reserved property name.");
  return text;
}

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

// For each finding, how many findings with its fingerprint come before it in report order, counting from 1:
// the way a baseline counts them, so that two alike findings on one page stay apart.
std::vector<int64_t> Occurrences(const FindingsList& findings, bool bShowAll,
                                 std::vector<std::string>& fingerprints) {
  std::vector<int64_t> occurrences(static_cast<size_t>(findings.Count()));
  fingerprints.resize(occurrences.size());
  std::unordered_map<std::string, int64_t> seen;
  for (int32_t i = 0; i < findings.Count(); ++i) {
    fingerprints[static_cast<size_t>(i)] = FindingFingerprint(findings, i, bShowAll);
    occurrences[static_cast<size_t>(i)] = ++seen[fingerprints[static_cast<size_t>(i)]];
  }
  return occurrences;
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
                     "Reserved property name " + std::string(finding.property), Description(finding, bShowAll));
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

int64_t WriteGitlabCodeQuality(const SearchResult& result, bool bShowAll, std::string_view siteFolder,
                               const OutputSink& write, const FindingSelection* selection,
                               const PageFileRoot& root) {
  if (!RunHasReport(result)) return 0;
  PageFileLocations places(result, siteFolder, root);
  std::vector<std::string> fingerprints;
  const std::vector<int64_t> occurrences = Occurrences(result.findings, bShowAll, fingerprints);
  bool projectListInside = false;
  const std::string projectList =
      places.PathFromRoot(JoinPath(siteFolder, kProjectListFile), &projectListInside);
  PieceWriter out(write);
  bool first = true;
  int64_t outside = 0;
  ForEachSelected(result.findings, selection, [&](int32_t i) {
    const FindingView finding = ViewOf(result.findings, i, bShowAll);
    const std::optional<std::string> path =
        bShowAll ? places.PagePath(finding.project, finding.page) : std::nullopt;
    const bool inside = bShowAll ? path && places.FolderOf(finding.project)->insideRoot : projectListInside;
    if (!inside) {
      ++outside;
      return;
    }
    std::string& text = out.Text();
    text += first ? "[\n  {\"description\": " : ",\n  {\"description\": ";
    first = false;
    AppendJsonString(text, Description(finding, bShowAll));
    text += ", \"check_name\": ";
    AppendJsonString(text, std::string(kRulePrefix) + std::string(finding.property));
    text += ", \"fingerprint\": ";
    AppendJsonString(text, fingerprints[static_cast<size_t>(i)] + "-" +
                               std::to_string(occurrences[static_cast<size_t>(i)]));
    // A collision changes what a page shows or does, not only how it reads: more than GitLab's "minor"
    // (maintainability), short of "critical" (the page still opens and runs).
    text += ", \"severity\": \"major\", \"location\": {\"path\": ";
    AppendJsonString(text, bShowAll ? std::string_view(*path) : std::string_view(projectList));
    text += ", \"lines\": {\"begin\": 1}}}";
    out.MaybeFlush();
  });
  out.Text() += first ? "[]\n" : "\n]\n";
  out.Flush();
  return outside;
}

}  // namespace morvex
