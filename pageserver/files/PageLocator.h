// PageLocator: where a page lives: its project's folder from the project list, its page file by exact name or
// from the folder's listing.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "PageFailure.h"
#include "Platform.h"
#include "basFileTools.h"

namespace morvex {

class PageLocator {
 public:
  PageLocator();
  ~PageLocator();
  PageLocator(const PageLocator&) = delete;
  PageLocator& operator=(const PageLocator&) = delete;

  // A new site: the project list is read afresh at the next lookup, every folder listing is forgotten.
  void ServeFolder(std::string_view sUserPath);
  const std::string& ServedFolder() const { return folder_; }

  // The folder that holds the page's file. Reads the project list on first use, so it belongs to one thread.
  bool PageFolder(std::string_view sProject, std::string_view sPage, std::string& folder, PageFailure& failure);

  // Opens the page file: the exact name first; when there is none, the first file in byte order of names whose
  // name matches ignoring case, from a listing of the folder made once. Safe from any thread.
  bool OpenPageFile(const std::string& folder, std::string_view sPage, ReadOnlyFile& file,
                    PageFailure& failure) const;

  // The name, as the folder spells it, of the file OpenPageFile opens for the page; nothing when no ordinary
  // file answers to it. A repository compares names exactly even where the file system does not, so this is
  // the name to point a reader at. Lists the folder once, as OpenPageFile's second look does.
  std::optional<std::string> PageFileName(const std::string& folder, std::string_view sPage) const;

  // Folders listed since the last ServeFolder (tests: a run must list each folder once at most).
  size_t FoldersListed() const;

 private:
  struct FolderListing {
    // A folder's ordinary files by folded name, each the first in byte order among the names that fold alike.
    std::unordered_map<std::string, std::filesystem::path> byFoldedName;
    std::unordered_set<std::filesystem::path::string_type> names;  // as spelt
  };

  bool LoadProjectList();
  std::shared_ptr<const FolderListing> Listing(const std::string& folder) const;
  static std::shared_ptr<const FolderListing> ListFolder(const std::string& folder);

  std::string folder_;
  bool folderServed_ = false;
  bool projectsLoaded_ = false;
  // Folded project name to its resolved folder; the first record not deleted wins.
  std::unordered_map<std::string, std::string> projectFolders_;

  mutable platform::HandOffLock listingsLock_;
  mutable std::unordered_map<std::string, std::shared_ptr<const FolderListing>> listings_;
};

}  // namespace morvex
