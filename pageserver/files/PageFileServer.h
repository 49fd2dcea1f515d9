// PageFileServer: our page-automation server, serving graphics pages from JSON page files in project folders.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "PageAutomation.h"
#include "PageDocument.h"
#include "PageLocator.h"
#include "PageReadAhead.h"

namespace morvex {

// Whether pages named in advance are read on a thread of their own.
enum class ReadAheadMode {
  kAuto,  // when the process may use more than one processor
  kOn,
  kOff,
};

class PageFileServer : public PageAutomation {
 public:
  explicit PageFileServer(ReadAheadMode readAhead = ReadAheadMode::kAuto);
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

  // Queues the page for the reader thread, which finds, reads and parses it while the caller works on the open
  // page; the OpenPage that names it takes it over. Pages hinted but passed over are dropped unread.
  void PreparePage(std::string_view sProject, std::string_view sPage) override;

  PageFailure LastOpenFailure() override { return lastFailure_; }
  bool ServesPageFiles() const override { return true; }
  bool GetObjectPlace(int32_t& nLine, int32_t& nColumn) override {
    return page_->GetObjectPlace(nLine, nColumn);
  }

  // Opens page content handed over directly instead of read from a page file (tests, fuzzing, tools).
  bool OpenPageContent(std::string_view bytes);

  bool Interactive() const { return interactive_; }
  const std::string& ServedFolder() const { return locator_.ServedFolder(); }
  const PageDocument& Document() const { return *page_; }
  const PageLocator& Locator() const { return locator_; }
  // Pages that OpenPage took from the reader rather than reading them itself.
  int64_t PagesReadAhead() const { return pagesReadAhead_; }

 private:
  // Finds, opens, reads and parses one page file into document. Touches nothing but its arguments and the
  // locator's thread-safe side, so either thread may run it. A file larger than largestFile is left alone.
  PageLoad LoadPage(const std::string& folder, std::string_view sPage, PageDocument& document,
                    uint64_t largestFile, PageFailure& failure, uint64_t& bytes) const;
  bool NoteOpened(bool opened);

  bool interactive_ = true;
  PageLocator locator_;
  std::unique_ptr<PageDocument> page_;
  PageFailure lastFailure_;
  // Pages that failed in a row: where they all fail, reading ahead has nothing to overlap and only adds the
  // hand-over, so hints are ignored until a page opens again.
  int32_t failuresInARow_ = 0;
  int64_t pagesReadAhead_ = 0;
  std::unique_ptr<PageReadAhead> readAhead_;  // last: its thread uses the locator until it is gone
};

// Creation "by class identifier" of our own server. MORVEX_READ_AHEAD=0 in the environment turns reading
// ahead off, =1 on even with one processor; otherwise it is on where more than one processor may be used.
PageAutomationFactory MakePageFileServerFactory();

}  // namespace morvex
