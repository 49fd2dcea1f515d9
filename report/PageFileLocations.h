// Where page files lie and how the formats that point at them name them: paths from a root, URIs, spellings on disk.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "basSearch.h"

namespace morvex {

// Where a Tarvo object starts in its page file (1-based; column in UTF-16 code units, as SARIF counts them),
// or 0 where that is not known.
struct ObjectPlace {
  int32_t line = 0;
  int32_t column = 0;
};

// The name of a page's file as its project folder spells it; nothing for the page's name and ".json".
using PageFileNamer =
    std::function<std::optional<std::string>(const std::string& folder, std::string_view page)>;

// What the outputs that name page files count them from, and how they learn a file's name.
struct PageFileRoot {
  std::string folder;      // empty for the site folder
  PageFileNamer fileName;  // unset: every page file is its page's name and ".json"
};

// Page file names as the page-file server finds them in their project folders, each folder listed once.
PageFileNamer OnDiskPageFileNames();

// The folder --root gives, or by default the current folder when the site lies below it (CI services read
// paths from where the job runs), else the site folder (empty).
std::string ChoosePathRoot(std::string_view given, std::string_view siteFolder);

// One line (no "\n") for findings whose page files lie outside the root: named by absolute paths, or left
// out.
std::string OutsideRootWarning(int64_t findings, std::string_view root, std::string_view siteFolder,
                               bool bLeftOut);

// A "file:" URI for a path, or the path relative to a base folder as a relative reference (each segment
// percent-encoded); nothing when the path does not lie inside the base. Inside is judged on the paths with
// their links resolved, so a base and a path reached through different links still meet.
std::string FileUri(std::string_view path);
std::optional<std::string> RelativeUri(std::string_view base, std::string_view path);

// The text percent-encoded as a URI segment: every byte but the unreserved ones and those in keep.
void AppendPercentEncoded(std::string& out, std::string_view text, std::string_view keep);
// Path segments as a relative reference, each encoded, "/" between them.
std::string EncodedSegments(const std::vector<std::string>& segments);

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

}  // namespace morvex
