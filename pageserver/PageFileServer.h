// PageFileServer: our page-automation server, serving graphics pages from JSON page files in project folders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "PageAutomation.h"
#include "PageDocument.h"

namespace morvex {

class PageFileServer : public PageAutomation {
 public:
  PageFileServer() = default;

  bool SetInteractive(bool bValue) override;
  bool OpenPage(const std::u16string& sProject, const std::u16string& sPage) override;
  bool ClosePage() override;
  bool FirstObject() override;
  bool NextObject() override;
  bool FirstProperty(std::u16string& sName, std::u16string& sValue) override;
  bool NextProperty(std::u16string& sName, std::u16string& sValue) override;
  bool GetTarvoInfo(std::u16string& sLibProject, std::u16string& sLibrary, std::u16string& sTarvo,
                    int32_t& nNumber) override;
  bool GetObjectAN(int16_t& nAN) override;
  bool GetObjectType(std::u16string& sType) override;

  // Every call reads the folder's "master.dbf" afresh at the next OpenPage, so a later run sees its changes.
  void ServeFolder(const std::u16string& sUserPath) override;

  // Opens page content handed over directly instead of read from a page file (tests, fuzzing, tools).
  bool OpenPageContent(std::string_view bytes);

  bool Interactive() const { return interactive_; }
  const std::u16string& ServedFolder() const { return folder_; }
  const PageDocument& Document() const { return page_; }

 private:
  bool LoadProjectList();
  std::optional<std::u16string> ProjectFolder(const std::u16string& sProject);
  // The first file, in byte order of names, whose name equals sFileName ignoring case.
  static std::optional<std::filesystem::path> FindPageFileIgnoringCase(const std::u16string& sProjectFolder,
                                                                       const std::u16string& sFileName);

  bool interactive_ = true;
  bool folderServed_ = false;
  std::u16string folder_;
  bool projectsLoaded_ = false;
  // Folded project name to its resolved folder; the first record not deleted wins.
  std::unordered_map<std::u16string, std::u16string> projectFolders_;
  PageDocument page_;
};

// Creation "by class identifier" of our own server.
PageAutomationFactory MakePageFileServerFactory();

}  // namespace morvex
