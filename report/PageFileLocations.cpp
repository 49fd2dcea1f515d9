// Page-file locations: paths judged inside a root with their links resolved, and spelt as URIs or paths.
#include "PageFileLocations.h"

#include <filesystem>
#include <memory>
#include <utility>

#include "PageLocator.h"
#include "basFileTools.h"

namespace morvex {

namespace {

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

std::string Utf8Generic(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

constexpr std::string_view kPageFileExtension = ".json";

// A path made absolute, with its links resolved as far as it exists.
std::filesystem::path ResolvedPath(std::string_view text) {
  std::error_code error;
  std::filesystem::path made = std::filesystem::absolute(ToNativePath(text), error);
  if (error) made = ToNativePath(text);
  std::filesystem::path resolved = std::filesystem::weakly_canonical(made, error);
  return (error ? made : resolved).lexically_normal();
}

// The path from base to path, a segment at a time; nothing when the path does not lie inside the base.
std::optional<std::vector<std::string>> RelativeSegments(std::string_view base, std::string_view path) {
  // Compared resolved: a root and a site given one relative and one absolute, or reached through different
  // links, would otherwise never lie inside one another.
  const std::filesystem::path relative = ResolvedPath(path).lexically_relative(ResolvedPath(base));
  if (relative.empty() || relative.is_absolute()) return std::nullopt;
  std::vector<std::string> segments;
  for (const std::filesystem::path& segment : relative) {
    std::string text = Utf8Generic(segment);
    if (text == "." || text.empty()) continue;  // the base folder itself
    if (text == "..") return std::nullopt;
    segments.push_back(std::move(text));
  }
  return segments;
}

std::string AbsoluteGenericPath(std::string_view path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(ToNativePath(path), error);
  if (error) absolute = ToNativePath(path);
  return Utf8Generic(absolute.lexically_normal());
}

}  // namespace

void AppendPercentEncoded(std::string& out, std::string_view text, std::string_view keep) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char byte : text) {
    const auto c = static_cast<unsigned char>(byte);
    if (IsUnreserved(c) || keep.find(byte) != std::string_view::npos) {
      out.push_back(byte);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
}

std::string EncodedSegments(const std::vector<std::string>& segments) {
  std::string uri;
  for (const std::string& segment : segments) {
    if (!uri.empty()) uri += '/';
    // A colon in the first segment would read as a scheme: every segment gets it encoded.
    AppendPercentEncoded(uri, segment, "");
  }
  return uri;
}

std::string FileUri(std::string_view path) {
  const std::string generic = AbsoluteGenericPath(path);
  std::string uri = "file://";
  if (generic.starts_with("//")) {
    AppendPercentEncoded(uri, generic.substr(2), "/");  // a share: its server is the URI's host
  } else {
    if (!generic.starts_with("/")) uri += '/';  // a drive letter
    AppendPercentEncoded(uri, generic, "/:");
  }
  return uri;
}

std::optional<std::string> RelativeUri(std::string_view base, std::string_view path) {
  const std::optional<std::vector<std::string>> segments = RelativeSegments(base, path);
  if (!segments) return std::nullopt;
  return EncodedSegments(*segments);
}

std::string ChoosePathRoot(std::string_view given, std::string_view siteFolder) {
  if (!given.empty()) return std::string(given);
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  if (error) return {};
  std::string folder = FromNativePath(current);
  // Run from the site folder itself, the site folder is the root, and says so.
  const std::optional<std::vector<std::string>> segments = RelativeSegments(folder, siteFolder);
  return segments && !segments->empty() ? folder : std::string();
}

std::string OutsideRootWarning(int64_t findings, std::string_view root, std::string_view siteFolder,
                               bool bLeftOut) {
  std::string line = std::to_string(findings) + (findings == 1 ? " finding lies" : " findings lie") +
                     " in page files outside the root " + std::string(root.empty() ? siteFolder : root);
  line += bLeftOut ? ", and GitLab takes no path outside the repository: left out of the report"
                   : ": named by absolute paths";
  return line + "; --root names a folder that holds them";
}

PageFileLocations::PageFileLocations(const SearchResult& result, std::string_view siteFolder,
                                     const PageFileRoot& root)
    : root_(root.folder.empty() ? std::string(siteFolder) : root.folder), namer_(root.fileName) {
  for (const auto& [name, folder] : result.projectFolders) folders_.emplace(name, folder);
}

const PageFileLocations::ProjectFolder* PageFileLocations::FolderOf(std::string_view project) {
  if (const auto known = known_.find(project); known != known_.end()) return &known->second;
  const auto folder = folders_.find(project);
  if (folder == folders_.end()) return nullptr;
  ProjectFolder place;
  place.folder = folder->second;
  if (std::optional<std::vector<std::string>> segments = RelativeSegments(root_, folder->second)) {
    place.insideRoot = true;
    place.segments = std::move(*segments);
  }
  return &known_.emplace(project, std::move(place)).first->second;
}

const std::string& PageFileLocations::FileName(std::string_view project, std::string_view page) {
  // Findings come page by page: the last page's name is nearly always the one asked for again.
  if (lastKnown_ && project == lastProject_ && page == lastPage_) return lastName_;
  lastKnown_ = true;
  lastProject_.assign(project);
  lastPage_.assign(page);
  const ProjectFolder* folder = FolderOf(project);
  std::optional<std::string> name;
  if (namer_ && folder != nullptr) name = namer_(folder->folder, page);
  lastName_ = name ? std::move(*name) : std::string(page) + std::string(kPageFileExtension);
  return lastName_;
}

std::optional<std::string> PageFileLocations::PagePath(std::string_view project, std::string_view page) {
  const ProjectFolder* folder = FolderOf(project);
  if (folder == nullptr) return std::nullopt;
  std::string path;
  if (folder->insideRoot) {
    for (const std::string& segment : folder->segments) path.append(segment).append("/");
  } else {
    path = AbsoluteGenericPath(folder->folder);
    if (!path.ends_with('/')) path += '/';
  }
  path.append(FileName(project, page));
  return path;
}

std::string PageFileLocations::PathFromRoot(std::string_view path, bool* inside) const {
  const std::optional<std::vector<std::string>> segments = RelativeSegments(root_, path);
  if (inside != nullptr) *inside = segments.has_value();
  if (!segments) return AbsoluteGenericPath(path);
  std::string joined;
  for (const std::string& segment : *segments) {
    if (!joined.empty()) joined += '/';
    joined += segment;
  }
  return joined;
}

PageFileNamer OnDiskPageFileNames() {
  auto locator = std::make_shared<PageLocator>();
  return [locator](const std::string& folder, std::string_view page) {
    return locator->PageFileName(folder, page);
  };
}

}  // namespace morvex
