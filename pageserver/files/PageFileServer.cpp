// Project lookup through "master.dbf", page files in the project folder, the ten operations, read-ahead.
#include "PageFileServer.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

#include "TextUtil.h"
#include "basFileTools.h"
#include "clsDBase.h"

namespace morvex {

namespace {

constexpr int32_t kProjectListCodepage = 0;

// A page this large is read when it is opened, not ahead: two parsed pages of that size at once would double
// what a run of large pages needs, and for such a page reading is a small part of the time anyway.
constexpr uint64_t kLargestPageReadAhead = uint64_t{8} << 20;

// A page takes tens of microseconds on either side, about what putting a thread to sleep and waking it costs;
// so each side first watches for the other for a moment, and sleeps only when the wait turns out longer.
constexpr auto kWatchBeforeSleeping = std::chrono::microseconds(200);

template <typename Condition>
void WatchFor(Condition condition) {
  const auto until = std::chrono::steady_clock::now() + kWatchBeforeSleeping;
  for (unsigned round = 1;; ++round) {
    if (condition()) return;
    if (round % 64 == 0 && std::chrono::steady_clock::now() >= until) return;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
}

}  // namespace

PageFileServer::PageFileServer()
    : page_(std::make_unique<PageDocument>()), spare_(std::make_unique<PageDocument>()) {}

PageFileServer::~PageFileServer() {
  {
    std::lock_guard<platform::HandOffLock> lock(handOff_);
    stopping_ = true;
  }
  handOff_.NotifyAll();
  if (reader_.joinable()) reader_.join();
}

bool PageFileServer::SetInteractive(bool bValue) {
  interactive_ = bValue;
  return true;
}

void PageFileServer::ServeFolder(std::string_view sUserPath) {
  DropReadAhead();
  folder_ = sUserPath;
  folderServed_ = true;
  projectsLoaded_ = false;
  projectFolders_.clear();
}

bool PageFileServer::LoadProjectList() {
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
    projectFolders_.emplace(FoldCase(projects.Element(record, nameField)), ResolveAgainst(folder_, path));
  }
  projectsLoaded_ = true;
  return true;
}

std::optional<std::string> PageFileServer::ProjectFolder(std::string_view sProject) {
  if (!folderServed_) return std::nullopt;
  if (!projectsLoaded_ && !LoadProjectList()) return std::nullopt;
  const auto found = projectFolders_.find(FoldCase(sProject));
  if (found == projectFolders_.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> PageFileServer::PageFolder(std::string_view sProject, std::string_view sPage) {
  // A NUL would cut the path short at the system call and open some other file.
  if (sProject.find('\0') != std::string_view::npos || sPage.find('\0') != std::string_view::npos)
    return std::nullopt;
  // A page name comes from a table anyone can edit; it must not reach files beside or above the project.
  if (!IsNameWithinFolder(sPage)) return std::nullopt;
  std::optional<std::string> projectFolder = ProjectFolder(sProject);
  if (!projectFolder || projectFolder->find('\0') != std::string::npos) return std::nullopt;
  return projectFolder;
}

std::optional<std::filesystem::path> PageFileServer::FindPageFileIgnoringCase(
    const std::string& sProjectFolder, const std::string& sFileName) {
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

bool PageFileServer::LoadPage(const std::string& projectFolder, std::string_view sPage,
                              PageDocument& document, uint64_t largestFile, bool& deferred) {
  deferred = false;
  document.Close();
  std::string fileName(sPage);
  fileName += ".json";
  // Opened first and looked at afterwards, so that nothing can swap a pipe in between and stall the run; the
  // exact name costs one open and one read.
  ReadOnlyFile file;
  const std::error_code error = ReadOnlyFile::Open(ToNativePath(JoinPath(projectFolder, fileName)), file);
  if (error) {
    // Only when no file has exactly that name; one that is there but unreadable fails the page.
    if (error != std::errc::no_such_file_or_directory && error != FileOpenError::kNotOrdinaryFile)
      return false;
    const std::optional<std::filesystem::path> other = FindPageFileIgnoringCase(projectFolder, fileName);
    if (!other || ReadOnlyFile::Open(*other, file)) return false;
  }
  if (file.Size() > largestFile) {
    deferred = true;
    return false;
  }
  return document.LoadFile(file);
}

void PageFileServer::ReaderLoop() {
  std::unique_lock<platform::HandOffLock> lock(handOff_);
  for (;;) {
    if (!stopping_ && !jobQueued_) {
      lock.unlock();
      WatchFor([this] { return stopping_.load() || jobQueued_.load(); });
      lock.lock();
    }
    handOff_.Wait(lock, [this] { return stopping_ || jobQueued_; });
    if (stopping_) return;
    jobQueued_ = false;
    jobRunning_ = true;
    const std::string folder = jobFolder_;
    const std::string page = jobPage_;
    lock.unlock();
    bool loaded = false;
    bool deferred = false;
    try {
      loaded = LoadPage(folder, page, *spare_, kLargestPageReadAhead, deferred);
    } catch (...) {
      loaded = false;  // a page the reader could not load is one that does not open
    }
    lock.lock();
    jobRunning_ = false;
    jobDone_ = true;
    jobLoaded_ = loaded;
    jobDeferred_ = deferred;
    handOff_.NotifyAll();
  }
}

void PageFileServer::WaitForReader(std::unique_lock<platform::HandOffLock>& lock) {
  if (jobQueued_ || jobRunning_) {
    lock.unlock();
    WatchFor([this] { return !jobQueued_.load() && !jobRunning_.load(); });
    lock.lock();
  }
  handOff_.Wait(lock, [this] { return !jobQueued_ && !jobRunning_; });
}

void PageFileServer::DropReadAhead() {
  std::unique_lock<platform::HandOffLock> lock(handOff_);
  WaitForReader(lock);
  if (jobDone_) spare_->Close();
  jobDone_ = false;
}

void PageFileServer::PreparePage(std::string_view sProject, std::string_view sPage) {
  try {
    const std::optional<std::string> folder = PageFolder(sProject, sPage);
    std::unique_lock<platform::HandOffLock> lock(handOff_);
    // An earlier page read ahead and never opened goes: the reader holds one page at a time.
    WaitForReader(lock);
    if (jobDone_) spare_->Close();
    jobDone_ = false;
    if (!folder) return;
    jobProject_ = sProject;
    jobPage_ = sPage;
    jobFolder_ = *folder;
    if (!reader_.joinable()) reader_ = std::thread(&PageFileServer::ReaderLoop, this);
    jobQueued_ = true;
    handOff_.NotifyAll();
  } catch (const std::exception&) {
    // Without a reader the page is simply read when it is opened.
  }
}

bool PageFileServer::OpenPage(std::string_view sProject, std::string_view sPage) {
  page_->Close();
  try {
    {
      std::unique_lock<platform::HandOffLock> lock(handOff_);
      if (jobQueued_ || jobRunning_ || jobDone_) {
        const bool same = jobProject_ == sProject && jobPage_ == sPage;
        WaitForReader(lock);
        jobDone_ = false;
        if (same && !jobDeferred_) {
          std::swap(page_, spare_);
          spare_->Close();
          ++pagesReadAhead_;
          return jobLoaded_ && page_->IsOpen();
        }
        spare_->Close();
      }
    }
    const std::optional<std::string> folder = PageFolder(sProject, sPage);
    if (!folder) return false;
    bool deferred = false;
    return LoadPage(*folder, sPage, *page_, PageDocument::kMaxPageBytes, deferred);
  } catch (const std::exception&) {
    return false;
  }
}

bool PageFileServer::OpenPageContent(std::string_view bytes) {
  DropReadAhead();
  return page_->LoadBytes(bytes);
}

bool PageFileServer::ClosePage() {
  return page_->Close();
}
bool PageFileServer::FirstObject() {
  return page_->FirstObject();
}
bool PageFileServer::NextObject() {
  return page_->NextObject();
}
bool PageFileServer::FirstProperty(std::string_view& sName, std::string_view& sValue) {
  return page_->FirstProperty(sName, sValue);
}
bool PageFileServer::NextProperty(std::string_view& sName, std::string_view& sValue) {
  return page_->NextProperty(sName, sValue);
}
bool PageFileServer::GetTarvoInfo(std::string_view& sLibProject, std::string_view& sLibrary,
                                  std::string_view& sTarvo, int32_t& nNumber) {
  return page_->GetTarvoInfo(sLibProject, sLibrary, sTarvo, nNumber);
}
bool PageFileServer::GetObjectAN(int16_t& nAN) {
  return page_->GetObjectAN(nAN);
}
bool PageFileServer::GetObjectType(std::string_view& sType) {
  return page_->GetObjectType(sType);
}

PageAutomationFactory MakePageFileServerFactory() {
  return []() -> std::unique_ptr<PageAutomation> { return std::make_unique<PageFileServer>(); };
}

}  // namespace morvex
