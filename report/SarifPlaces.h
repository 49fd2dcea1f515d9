// The SARIF log's physical locations: page files and page lists as URIs from the log's base folder.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "PageFileLocations.h"
#include "basSearch.h"

namespace morvex {

// What every result and notification of a project shares, worked out once per project: where its page files are
// as a URI (relative to the base folder, the site's or the repository's, where they lie inside it) and which
// base it is relative to.
class SarifPlaces {
 public:
  SarifPlaces(const SearchResult& result, std::string_view siteFolder, const PageFileRoot& root,
              std::string_view baseId)
      : locations_(result, siteFolder, root), baseId_(baseId) {}

  // Appends "physicalLocation": {...} for the page, with the region when one is given, and true; nothing and
  // false for a project not walked. outside tells whether the page file lies outside the root.
  bool AppendPageLocation(std::string& out, std::string_view project, std::string_view page,
                          const ObjectPlace* region, bool* outside = nullptr);

  // Appends "physicalLocation": {...} for any other file the run named (a page list), in the pages' form.
  void AppendFileLocation(std::string& out, std::string_view path);

 private:
  struct ProjectPrefix {
    std::string uri;  // ends with "/" unless the project is the base folder itself
    bool relative = false;
  };

  void AppendBaseId(std::string& out, bool relative) const;
  const ProjectPrefix* MakePrefix(std::string_view project);

  PageFileLocations locations_;
  std::string_view baseId_;
  std::unordered_map<std::string_view, ProjectPrefix> prefixes_;
};

}  // namespace morvex
