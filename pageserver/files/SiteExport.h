// SiteExport: a site copied into a new folder as our page-file server reads it, pages taken from any page server.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "PageAutomation.h"

namespace morvex {

// Where a run's export goes: the folder and, for each project name as our server looks it up, the folder
// below it that takes its pages.
struct ExportLayout {
  std::string folder;                                   // the export folder, as the user named it
  std::map<std::string, std::string> pageFolderByName;  // case-folded project name -> folder name below it
};

// A project's folder name in the export: its record number, then the letters, digits, "-" and "_" of its name
// (any other run of bytes as one "_"), cut to fit width bytes. The number alone keeps names apart whatever the
// file system's rules on case, and keeps them clear of names Windows reserves. Empty when even the number
// does not fit.
std::string ExportFolderName(int32_t nRecord, std::string_view sName, int32_t width);

class SiteExport {
 public:
  // Refuses an export folder that is there and not empty or that lies in the site folder. Otherwise, when the
  // site has a project list, creates the export folder (and the folders above it that are missing, as
  // `mkdir -p` does) with the project list, whose "Path" cells now name each
  // project's folder below it, and every page list copied there. A site without a project list leaves
  // everything as it is: the scan says so. False with the reason in error.
  bool Begin(std::string_view exportFolder, std::string_view siteFolder, std::string& error);

  // A page server that passes every call on to what server makes and writes each page that opens into the
  // export. The run is then served from the page as written, so that it reports what a later scan of the
  // export will report. A page whose name cannot be written does not open, with the reason. A write that the
  // export folder itself refuses (no space, a quota, an I/O error, permissions) is the export's failure, not
  // the page's: the page is scanned all the same, no later page is written, and Failure says why.
  PageAutomationFactory Recording(PageAutomationFactory server) const;

  // Why the export stopped being written, when it did: the first refusal of the export folder, in words.
  std::optional<std::string> Failure() const;

  // Shared by every server a run makes, since workers write side by side.
  struct Health;

 private:
  std::shared_ptr<const ExportLayout> layout_;
  std::shared_ptr<Health> health_;
};

}  // namespace morvex
