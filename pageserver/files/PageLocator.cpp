// Project folders from "master.dbf" and page files by exact name or from one listing per project folder.
#include "PageLocator.h"

#include <mutex>
#include <system_error>
#include <utility>

#include "TextUtil.h"
#include "clsDBase.h"

namespace morvex {

namespace {

constexpr int32_t kProjectListCodepage = 0;
constexpr std::string_view kPageFileExtension = ".json";
// The detail of "not an ordinary file" for a name Windows keeps for a device, which users rarely know of.
constexpr std::string_view kDeviceNameDetail = "a device name";

bool HasNul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

void SetFailure(PageFailure& failure, PageFailureReason reason, std::string detail = {}) {
  failure.reason = reason;
  failure.detail = std::move(detail);
}

void SetOpenFailure(PageFailure& failure, const std::error_code& error, const std::filesystem::path& file) {
  failure = FailureOfOpen(error, file);
}

}  // namespace

PageLocator::PageLocator() = default;
PageLocator::~PageLocator() = default;

void PageLocator::ServeFolder(std::string_view sUserPath) {
  folder_ = sUserPath;
  folderServed_ = true;
  projectsLoaded_ = false;
  projectFolders_.clear();
  std::lock_guard<platform::HandOffLock> lock(listingsLock_);
  listings_.clear();
}

bool PageLocator::LoadProjectList() {
  projectFolders_.clear();
  clsDBase projects;
  if (!projects.Load(JoinPath(folder_, "master.dbf"), kProjectListCodepage)) return false;
  const int32_t nameField = projects.FieldNumber("Name");
  const int32_t pathField = projects.FieldNumber("Path");
  if (nameField < 1) return false;
  const int32_t records = projects.RecordCount();
  for (int32_t record = 1; record <= records; ++record) {
    if (projects.RecordDeleted(record)) continue;
    const std::string path = pathField < 1 ? std::string() : projects.Element(record, pathField);
    // A project without a folder has no pages: joined to a page name, its empty folder would reach the root.
    if (IsBlankPath(path)) continue;
    projectFolders_.emplace(FoldCase(projects.Element(record, nameField)), ResolveAgainst(folder_, path));
  }
  projectsLoaded_ = true;
  return true;
}

bool PageLocator::PageFolder(std::string_view sProject, std::string_view sPage, std::string& folder,
                             PageFailure& failure) {
  // A NUL would cut the path short at the system call and open some other file; a page name comes from a
  // table anyone can edit and must not reach files beside or above the project.
  if (HasNul(sPage) || !IsNameWithinFolder(sPage)) {
    SetFailure(failure, PageFailureReason::kNameLeavesFolder);
    return false;
  }
  if (!folderServed_ || HasNul(sProject) || (!projectsLoaded_ && !LoadProjectList())) {
    SetFailure(failure, PageFailureReason::kUnknownProject);
    return false;
  }
  const auto found = projectFolders_.find(FoldCase(sProject));
  if (found == projectFolders_.end() || HasNul(found->second)) {
    SetFailure(failure, PageFailureReason::kUnknownProject);
    return false;
  }
  folder = found->second;
  return true;
}

std::shared_ptr<const PageLocator::FolderListing> PageLocator::ListFolder(const std::string& folder) {
  auto listing = std::make_shared<FolderListing>();
  std::error_code error;
  std::filesystem::directory_iterator entries(ToNativePath(folder), error);
  if (error) return listing;  // a folder that cannot be listed holds no page that could be opened
  for (const std::filesystem::directory_entry& entry : entries) {
    std::error_code entryError;
    if (!entry.is_regular_file(entryError) || entryError) continue;
    std::filesystem::path name = entry.path().filename();
    listing->names.insert(name.native());
    auto [slot, inserted] = listing->byFoldedName.try_emplace(FoldCase(FromNativePath(name)), entry.path());
    if (!inserted && name.native() < slot->second.filename().native()) slot->second = entry.path();
  }
  return listing;
}

std::shared_ptr<const PageLocator::FolderListing> PageLocator::Listing(const std::string& folder) const {
  std::unique_lock<platform::HandOffLock> lock(listingsLock_);
  const auto known = listings_.find(folder);
  if (known != listings_.end()) return known->second;
  // Listed under the lock: the other thread wants the same folder's listing and would only list it again.
  std::shared_ptr<const FolderListing> listing = ListFolder(folder);
  listings_.emplace(folder, listing);
  return listing;
}

size_t PageLocator::FoldersListed() const {
  std::lock_guard<platform::HandOffLock> lock(listingsLock_);
  return listings_.size();
}

bool PageLocator::OpenPageFile(const std::string& folder, std::string_view sPage, ReadOnlyFile& file,
                               PageFailure& failure) const {
  std::string fileName(sPage);
  fileName += kPageFileExtension;
  // Never opened: the system would hand over the device (a console, a port) whatever the folder holds.
  if (IsDeviceName(fileName)) {
    SetFailure(failure, PageFailureReason::kNotOrdinaryFile, std::string(kDeviceNameDetail));
    return false;
  }
  const std::string path = JoinPath(folder, fileName);
  // Opened first and looked at afterwards, so that nothing can swap a pipe in between and stall the run; the
  // exact name costs one open.
  const std::filesystem::path exact = ToNativePath(path);
  const std::error_code error = ReadOnlyFile::Open(exact, file);
  if (!error) return true;
  // Only when no ordinary file has exactly that name: one that is there but unreadable fails the page.
  if (error != std::errc::no_such_file_or_directory && error != FileOpenError::kNotOrdinaryFile) {
    SetOpenFailure(failure, error, exact);
    return false;
  }
  const std::shared_ptr<const FolderListing> listing = Listing(folder);
  const auto match = listing->byFoldedName.find(FoldCase(fileName));
  const bool listed = match != listing->byFoldedName.end();
  const std::error_code other = listed ? ReadOnlyFile::Open(match->second, file) : error;
  if (other) SetOpenFailure(failure, other, listed ? match->second : exact);
  return !other;
}

std::optional<std::string> PageLocator::PageFileName(const std::string& folder,
                                                     std::string_view sPage) const {
  std::string fileName(sPage);
  fileName += kPageFileExtension;
  if (HasNul(fileName) || IsDeviceName(fileName)) return std::nullopt;
  const std::shared_ptr<const FolderListing> listing = Listing(folder);
  // On a file system that ignores case the exact name opens whatever the folder spells it; the listing says
  // how.
  if (listing->names.contains(ToNativePath(fileName).native())) return fileName;
  const auto match = listing->byFoldedName.find(FoldCase(fileName));
  if (match == listing->byFoldedName.end()) return std::nullopt;
  return FromNativePath(match->second.filename());
}

}  // namespace morvex
