// GitLab's code-quality report: findings with fingerprints counted by occurrence, paths from the root.
#include "GitlabCodeQuality.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Fingerprint.h"
#include "FindingView.h"
#include "JsonText.h"
#include "basFileTools.h"

namespace morvex {

namespace {

// Where a --unique finding points, for formats that need a file: it has no page, and the project list is the
// one file every site has.
constexpr std::string_view kProjectListFile = "master.dbf";

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
    AppendJsonString(text, DescribeFinding(finding, bShowAll));
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
