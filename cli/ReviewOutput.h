// What morvex-scan gives review pipelines: finding fingerprints, SARIF 2.1.0, and baselines of known findings.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ScanOutput.h"

namespace morvex {

// What stays the same when a page is edited elsewhere: project, page, library project, library, Tarvo and
// property name; not the AN, not the value. Sixteen hex digits. In --unique reports, which have no project or
// page, the four fields there are.
std::string FindingFingerprint(const FindingsList& findings, int32_t index, bool bShowAll);

// Where a Tarvo object starts in its page file (1-based; column in UTF-16 code units, as SARIF counts them),
// or 0 where that is not known.
struct ObjectPlace {
  int32_t line = 0;
  int32_t column = 0;
};

// A --unique report made from the placements, so that each of its findings can point at its first placement.
struct UniquePlacements {
  FindingsList placements;    // a --show-all list
  std::vector<int32_t> first; // per --unique finding, the index of its first placement
};
// The --unique list the same scan would have given (first spellings, first-seen order), with `first` filled in.
FindingsList UniqueFromPlacements(const FindingsList& placements, std::vector<int32_t>& first);

// The name of a page's file as its project folder spells it; nothing for the page's name and ".json".
using PageFileNamer =
    std::function<std::optional<std::string>(const std::string& folder, std::string_view page)>;

// What the outputs that name page files count them from, and how they learn a file's name.
struct PageFileRoot {
  std::string folder;      // empty for the site folder
  PageFileNamer fileName;  // unset: every page file is its page's name and ".json"
};

// The folder --root gives, or by default the current folder when the site lies below it (CI services read
// paths from where the job runs), else the site folder (empty).
std::string ChoosePathRoot(std::string_view given, std::string_view siteFolder);

// One line (no "\n") for findings whose page files lie outside the root: named by absolute paths, or left
// out.
std::string OutsideRootWarning(int64_t findings, std::string_view root, std::string_view siteFolder,
                               bool bLeftOut);

struct SarifOptions {
  // One result per placement instead of one per template property and page.
  bool perPlacement = false;
  // The folder URIs are relative to; the site folder's is base id "SITE", any other "ROOT".
  PageFileRoot files;
  // Per placement of a --show-all list (the run's, or `unique`'s), where its object starts.
  const std::vector<ObjectPlace>* places = nullptr;
  // For a --unique run: where its findings were placed.
  const UniquePlacements* unique = nullptr;
};

// What a log holds, to compare with what code-scanning services accept.
struct SarifShape {
  int64_t results = 0;
  int64_t mostLocations = 0;  // in one result
  int64_t outsideRoot = 0;    // results whose page file lies outside the root
};

// A SARIF 2.1.0 log of one run: a rule per reserved name; a result per template property on a page with its
// placements there as locations (at most 1,000, the rest counted), or per placement, or per --unique finding
// (selection as in the other outputs); page files and page lists relative to the site folder ("SITE") or the
// given root ("ROOT"), by absolute URI outside it; pages that did not open as tool notifications. Nothing
// when the run failed before it had a report.
SarifShape WriteSarif(const SearchResult& result, bool bShowAll, std::string_view siteFolder,
                      const OutputSink& write, const FindingSelection* selection = nullptr,
                      const SarifOptions& options = {});

// What code-scanning services take at most: results in a run, locations in a result, bytes of gzip.
struct SarifLimits {
  int64_t results = 25000;
  int64_t locations = 1000;
  uint64_t gzipBytes = 10 * 1000 * 1000;
};
// One line (no "\n") for each limit the log goes beyond, each naming what narrows it; a gzip size that is not
// exact is an estimate, and said to be one.
std::vector<std::string> SarifLimitWarnings(const SarifShape& shape, uint64_t gzipBytes, bool bShowAll,
                                            const SarifLimits& limits = {}, bool bGzipExact = true);

// A "file:" URI for a path, or the path relative to a base folder as a relative reference (each segment
// percent-encoded); nothing when the path does not lie inside the base. Inside is judged on the paths with
// their links resolved, so a base and a path reached through different links still meet.
std::string FileUri(std::string_view path);
std::optional<std::string> RelativeUri(std::string_view base, std::string_view path);

// Where the page files of a run's projects lie, worked out once per project, for every format that points at
// them. A page's file is in its project's folder, named by the root's namer or as its name and ".json".
class PageFileLocations {
 public:
  struct ProjectFolder {
    std::string folder;                 // as the run joined it
    bool insideRoot = false;            // the folder lies inside the root
    std::vector<std::string> segments;  // its path from the root (UTF-8, unencoded), when inside
  };

  PageFileLocations(const SearchResult& result, std::string_view siteFolder, const PageFileRoot& root);
  // Nothing for a project the run did not walk.
  const ProjectFolder* FolderOf(std::string_view project);
  // The page file's name in its project's folder; valid until the next call.
  const std::string& FileName(std::string_view project, std::string_view page);
  // The page file's path with "/" between segments: relative to the root where the project lies inside it,
  // absolute where not; nothing for a project the run did not walk.
  std::optional<std::string> PagePath(std::string_view project, std::string_view page);
  // Any path the run named (a page list's), in the same form; inside says which.
  std::string PathFromRoot(std::string_view path, bool* inside = nullptr) const;
  const std::string& Root() const { return root_; }

 private:
  std::string root_;
  const PageFileNamer& namer_;
  std::unordered_map<std::string_view, std::string_view> folders_;
  std::unordered_map<std::string_view, ProjectFolder> known_;
  std::string lastProject_, lastPage_, lastName_;
  bool lastKnown_ = false;
};

// The findings a team has accepted: per fingerprint, how many and what they were.
struct BaselineEntry {
  int64_t count = 0;
  std::vector<std::string> fields;  // the fingerprinted fields, for telling users what was fixed
};
struct Baseline {
  bool showAll = true;
  std::map<std::string, BaselineEntry> entries;
};

Baseline MakeBaseline(const FindingsList& findings, bool bShowAll);
void WriteBaseline(const Baseline& baseline, const OutputSink& write);
// Reads a baseline file's text; on failure nothing, and error says what is wrong, in words.
std::optional<Baseline> ParseBaseline(std::string_view text, std::string& error);

struct BaselineComparison {
  FindingSelection fresh;  // the findings beyond the baseline, in report order
  // Entries seen fewer times than the baseline holds: the fields, the count then and now.
  struct Fixed {
    std::vector<std::string> fields;
    int64_t before = 0;
    int64_t now = 0;
  };
  std::vector<Fixed> fixed;
};

// For each fingerprint the first `count` findings (in report order) are known; any beyond are fresh.
BaselineComparison CompareWithBaseline(const FindingsList& findings, bool bShowAll, const Baseline& baseline);

}  // namespace morvex
