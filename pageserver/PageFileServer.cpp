// Project lookup through "master.dbf", page file lookup in the project folder, and the ten operations.
#include "PageFileServer.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <system_error>
#include <vector>

#include "TextUtil.h"
#include "basFileTools.h"
#include "clsDBase.h"

namespace morvex {

namespace {

constexpr int32_t kProjectListCodepage = 0;

}  // namespace

bool PageFileServer::SetInteractive(bool bValue) {
  interactive_ = bValue;
  return true;
}

void PageFileServer::ServeFolder(const std::u16string& sUserPath) {
  folder_ = sUserPath;
  folderServed_ = true;
  projectsLoaded_ = false;
  projectFolders_.clear();
}

bool PageFileServer::LoadProjectList() {
  projectFolders_.clear();
  clsDBase projects;
  if (!projects.Load(JoinPath(folder_, u"master.dbf"), kProjectListCodepage)) return false;
  const int32_t nameField = projects.FieldNumber(u"Name");
  const int32_t pathField = projects.FieldNumber(u"Path");
  if (nameField < 1) return false;
  const int32_t records = projects.RecordCount();
  for (int32_t record = 1; record <= records; ++record) {
    if (projects.RecordDeleted(record)) continue;
    const std::u16string path = pathField < 1 ? std::u16string() : projects.Element(record, pathField);
    projectFolders_.emplace(FoldCase(projects.Element(record, nameField)), ResolveAgainst(folder_, path));
  }
  projectsLoaded_ = true;
  return true;
}

std::optional<std::u16string> PageFileServer::ProjectFolder(const std::u16string& sProject) {
  if (!folderServed_) return std::nullopt;
  if (!projectsLoaded_ && !LoadProjectList()) return std::nullopt;
  const auto found = projectFolders_.find(FoldCase(sProject));
  if (found == projectFolders_.end()) return std::nullopt;
  return found->second;
}

std::optional<std::filesystem::path> PageFileServer::FindPageFileIgnoringCase(
    const std::u16string& sProjectFolder, const std::u16string& sFileName) {
  std::error_code error;
  std::filesystem::directory_iterator entries(ToNativePath(sProjectFolder), error);
  if (error) return std::nullopt;
  std::optional<std::filesystem::path> best;
  for (const std::filesystem::directory_entry& entry : entries) {
    std::error_code entryError;
    if (!entry.is_regular_file(entryError) || entryError) continue;
    const std::filesystem::path name = entry.path().filename();
    if (!EqualsIgnoreCase(FromNativePath(name), sFileName)) continue;
    if (!best || name.native() < best->filename().native()) best = entry.path();
  }
  return best;
}

bool PageFileServer::OpenPage(const std::u16string& sProject, const std::u16string& sPage) {
  page_.Close();
  try {
    // A NUL would cut the path short at the system call and open some other file.
    if (sProject.find(u'\0') != std::u16string::npos || sPage.find(u'\0') != std::u16string::npos) return false;
    // A page name comes from a table anyone can edit; it must not reach files beside or above the project.
    if (!IsNameWithinFolder(sPage)) return false;
    const std::optional<std::u16string> projectFolder = ProjectFolder(sProject);
    if (!projectFolder || projectFolder->find(u'\0') != std::u16string::npos) return false;
    const std::u16string fileName = sPage + u".json";
    // Opened first and looked at afterwards, so that nothing can swap a pipe in between and stall the run.
    ReadOnlyFile file;
    const std::error_code error = ReadOnlyFile::Open(ToNativePath(JoinPath(*projectFolder, fileName)), file);
    if (error) {
      // Only when no file has exactly that name; one that is there but unreadable fails the page.
      if (error != std::errc::no_such_file_or_directory && error != FileOpenError::kNotOrdinaryFile)
        return false;
      const std::optional<std::filesystem::path> other = FindPageFileIgnoringCase(*projectFolder, fileName);
      if (!other || ReadOnlyFile::Open(*other, file)) return false;
    }
    return page_.LoadFile(file);
  } catch (const std::exception&) {
    return false;
  }
}

bool PageFileServer::OpenPageContent(std::string_view bytes) { return page_.LoadBytes(bytes); }

bool PageFileServer::ClosePage() { return page_.Close(); }
bool PageFileServer::FirstObject() { return page_.FirstObject(); }
bool PageFileServer::NextObject() { return page_.NextObject(); }
bool PageFileServer::FirstProperty(std::u16string& sName, std::u16string& sValue) {
  return page_.FirstProperty(sName, sValue);
}
bool PageFileServer::NextProperty(std::u16string& sName, std::u16string& sValue) {
  return page_.NextProperty(sName, sValue);
}
bool PageFileServer::GetTarvoInfo(std::u16string& sLibProject, std::u16string& sLibrary, std::u16string& sTarvo,
                                  int32_t& nNumber) {
  return page_.GetTarvoInfo(sLibProject, sLibrary, sTarvo, nNumber);
}
bool PageFileServer::GetObjectAN(int16_t& nAN) { return page_.GetObjectAN(nAN); }
bool PageFileServer::GetObjectType(std::u16string& sType) { return page_.GetObjectType(sType); }

PageAutomationFactory MakePageFileServerFactory() {
  return []() -> std::unique_ptr<PageAutomation> { return std::make_unique<PageFileServer>(); };
}

}  // namespace morvex
