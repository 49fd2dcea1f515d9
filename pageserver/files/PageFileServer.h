// PageFileServer: our page-automation server, serving graphics pages from JSON page files in project folders.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "PageAutomation.h"
#include "PageDocument.h"
#include "Platform.h"

namespace morvex {

class PageFileServer : public PageAutomation {
 public:
  PageFileServer();
  ~PageFileServer() override;
  PageFileServer(const PageFileServer&) = delete;
  PageFileServer& operator=(const PageFileServer&) = delete;

  bool SetInteractive(bool bValue) override;
  bool OpenPage(std::string_view sProject, std::string_view sPage) override;
  bool ClosePage() override;
  bool FirstObject() override;
  bool NextObject() override;
  bool FirstProperty(std::string_view& sName, std::string_view& sValue) override;
  bool NextProperty(std::string_view& sName, std::string_view& sValue) override;
  bool GetTarvoInfo(std::string_view& sLibProject, std::string_view& sLibrary, std::string_view& sTarvo,
                    int32_t& nNumber) override;
  bool GetObjectAN(int16_t& nAN) override;
  bool GetObjectType(std::string_view& sType) override;

  // Every call reads the folder's "master.dbf" afresh at the next OpenPage, so a later run sees its changes.
  void ServeFolder(std::string_view sUserPath) override;

  // Finds, reads and parses the page on a thread of its own while the caller works on the open page; the
  // OpenPage that names it next takes it over. Any other OpenPage, or none, drops it unread by the caller.
  void PreparePage(std::string_view sProject, std::string_view sPage) override;

  // Opens page content handed over directly instead of read from a page file (tests, fuzzing, tools).
  bool OpenPageContent(std::string_view bytes);

  bool Interactive() const { return interactive_; }
  const std::string& ServedFolder() const { return folder_; }
  const PageDocument& Document() const { return *page_; }
  // Pages that OpenPage took from the reader rather than reading them itself.
  int64_t PagesReadAhead() const { return pagesReadAhead_; }

 private:
  bool LoadProjectList();
  std::optional<std::string> ProjectFolder(std::string_view sProject);
  // The page file's folder and name for a project and page, or nothing when the page cannot be one.
  std::optional<std::string> PageFolder(std::string_view sProject, std::string_view sPage);
  // Finds, opens, reads and parses one page file into document. Touches nothing else, so either thread may
  // run it. A file larger than largestFile is left alone and reported through deferred.
  static bool LoadPage(const std::string& projectFolder, std::string_view sPage, PageDocument& document,
                       uint64_t largestFile, bool& deferred);
  // The first file, in byte order of names, whose name equals sFileName ignoring case.
  static std::optional<std::filesystem::path> FindPageFileIgnoringCase(const std::string& sProjectFolder,
                                                                       const std::string& sFileName);

  // The reader thread and the one page it holds or works on. All of it is guarded by handOff_, except the
  // spare document, which belongs to the reader while a job runs and to the caller otherwise.
  void ReaderLoop();
  void WaitForReader(std::unique_lock<platform::HandOffLock>& lock);
  void DropReadAhead();

  bool interactive_ = true;
  bool folderServed_ = false;
  std::string folder_;
  bool projectsLoaded_ = false;
  // Folded project name to its resolved folder; the first record not deleted wins.
  std::unordered_map<std::string, std::string> projectFolders_;
  std::unique_ptr<PageDocument> page_;
  std::unique_ptr<PageDocument> spare_;

  platform::HandOffLock handOff_;
  std::thread reader_;
  // Written under handOff_ only; atomic so that either side may watch them for a moment without the lock.
  std::atomic<bool> stopping_ = false;
  std::atomic<bool> jobQueued_ = false;   // the reader is to start on the job
  std::atomic<bool> jobRunning_ = false;  // the reader works on the spare document
  bool jobDone_ = false;                  // the spare document holds the result
  bool jobLoaded_ = false;
  bool jobDeferred_ = false;  // the page was too large to read ahead and is read when it is opened
  std::string jobProject_;    // as the caller named it, to match the OpenPage that follows
  std::string jobPage_;
  std::string jobFolder_;
  int64_t pagesReadAhead_ = 0;
};

// Creation "by class identifier" of our own server.
PageAutomationFactory MakePageFileServerFactory();

}  // namespace morvex
