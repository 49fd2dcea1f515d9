// Page files and page lists as SARIF artifact locations, each project's URI prefix made once.
#include "SarifPlaces.h"

#include <algorithm>
#include <utility>

#include "JsonText.h"

namespace morvex {

bool SarifPlaces::AppendPageLocation(std::string& out, std::string_view project, std::string_view page,
                                     const ObjectPlace* region, bool* outside) {
  const auto known = prefixes_.find(project);
  const ProjectPrefix* prefix = known != prefixes_.end() ? &known->second : MakePrefix(project);
  if (prefix == nullptr) return false;
  if (outside != nullptr) *outside = !prefix->relative;
  out += "\"physicalLocation\": {\"artifactLocation\": {\"uri\": \"";
  AppendJsonText(out, prefix->uri);
  AppendPercentEncoded(out, locations_.FileName(project, page), "");
  out += '"';
  AppendBaseId(out, prefix->relative);
  out += '}';
  if (region != nullptr) {
    // Without the object's place the page's first line stands for it, as the page is all a reviewer has.
    out += ", \"region\": {\"startLine\": ";
    out += std::to_string(region->line > 0 ? region->line : 1);
    if (region->line > 0 && region->column > 0) {
      out += ", \"startColumn\": ";
      out += std::to_string(region->column);
    }
    out += '}';
  }
  out += '}';
  return true;
}

void SarifPlaces::AppendFileLocation(std::string& out, std::string_view path) {
  bool inside = false;
  const std::string fromRoot = locations_.PathFromRoot(path, &inside);
  out += "\"physicalLocation\": {\"artifactLocation\": {\"uri\": ";
  std::string uri;
  if (inside) {
    // Each segment encoded, the slashes between them kept.
    for (size_t start = 0, end = 0; start <= fromRoot.size(); start = end + 1) {
      end = std::min(fromRoot.find('/', start), fromRoot.size());
      if (start > 0) uri += '/';
      AppendPercentEncoded(uri, std::string_view(fromRoot).substr(start, end - start), "");
    }
  } else {
    uri = FileUri(path);
  }
  AppendJsonString(out, uri);
  AppendBaseId(out, inside);
  out += "}}";
}

void SarifPlaces::AppendBaseId(std::string& out, bool relative) const {
  if (!relative) return;
  out += ", \"uriBaseId\": \"";
  out += baseId_;
  out += '"';
}

const SarifPlaces::ProjectPrefix* SarifPlaces::MakePrefix(std::string_view project) {
  const PageFileLocations::ProjectFolder* folder = locations_.FolderOf(project);
  if (folder == nullptr) return nullptr;
  ProjectPrefix prefix;
  if (folder->insideRoot) {
    prefix.uri = EncodedSegments(folder->segments);
    prefix.relative = true;
  } else {
    prefix.uri = FileUri(folder->folder);
  }
  if (!prefix.uri.empty() && !prefix.uri.ends_with('/')) prefix.uri += '/';
  return &prefixes_.emplace(project, std::move(prefix)).first->second;
}

}  // namespace morvex
