// The page-file server: the ten operations over the page locator, the read-ahead queue and the parsed page.
#include "PageFileServer.h"

#include <cstdlib>
#include <exception>
#include <optional>
#include <utility>

#include "Platform.h"

namespace morvex {

namespace {

// A page this large is read when it is opened, not ahead: two parsed pages of that size at once would double
// what a run of large pages needs, and for such a page reading is a small part of the time anyway.
constexpr uint64_t kLargestPageReadAhead = uint64_t{8} << 20;
// Enough pages to cover a stretch where the reader gets no processor, and a byte budget that keeps the parsed
// pages waiting within a few tens of megabytes.
constexpr size_t kReadAheadDepth = 16;
constexpr uint64_t kReadAheadBytes = uint64_t{4} << 20;
constexpr int32_t kFailuresBeforeReadingInline = 8;

}  // namespace

PageFileServer::PageFileServer(ReadAheadMode readAhead) : page_(std::make_unique<PageDocument>()) {
  const bool on = readAhead == ReadAheadMode::kOn ||
                  (readAhead == ReadAheadMode::kAuto && platform::UsableProcessors() > 1);
  if (on) {
    readAhead_ = std::make_unique<PageReadAhead>(
        [this](const std::string& folder, const std::string& page, PageDocument& document, PageFailure& failure,
               uint64_t& bytes) { return LoadPage(folder, page, document, kLargestPageReadAhead, failure, bytes); },
        kReadAheadDepth, kReadAheadBytes);
  }
}

PageFileServer::~PageFileServer() = default;

bool PageFileServer::SetInteractive(bool bValue) {
  interactive_ = bValue;
  return true;
}

void PageFileServer::ServeFolder(std::string_view sUserPath) {
  if (readAhead_) readAhead_->DropAll();
  locator_.ServeFolder(sUserPath);
  failuresInARow_ = 0;
}

PageLoad PageFileServer::LoadPage(const std::string& folder, std::string_view sPage, PageDocument& document,
                                  uint64_t largestFile, PageFailure& failure, uint64_t& bytes) const {
  document.Close();
  ReadOnlyFile file;
  if (!locator_.OpenPageFile(folder, sPage, file, failure)) return PageLoad::kFailed;
  bytes = file.Size();
  // A page over every limit fails here and now, with its reason; one over the read-ahead limit waits its turn.
  if (file.Size() > largestFile && file.Size() <= PageDocument::kMaxPageBytes) return PageLoad::kDeferred;
  if (document.LoadFile(file)) return PageLoad::kLoaded;
  failure = document.Failure();
  return PageLoad::kFailed;
}

void PageFileServer::PreparePage(std::string_view sProject, std::string_view sPage) {
  if (!readAhead_ || failuresInARow_ >= kFailuresBeforeReadingInline) return;
  try {
    std::string folder;
    PageFailure failure;
    std::optional<std::string> found;
    if (locator_.PageFolder(sProject, sPage, folder, failure)) found = std::move(folder);
    readAhead_->Queue(sProject, sPage, std::move(found), failure);
  } catch (const std::exception&) {
    // Only a hint: without it the page is read when it is opened.
  }
}

bool PageFileServer::NoteOpened(bool opened) {
  failuresInARow_ = opened ? 0 : failuresInARow_ + 1;
  return opened;
}

bool PageFileServer::OpenPage(std::string_view sProject, std::string_view sPage) {
  page_->Close();
  try {
    if (readAhead_) {
      const std::optional<PageLoad> taken = readAhead_->Take(sProject, sPage, page_, lastFailure_);
      if (taken == PageLoad::kLoaded) {
        ++pagesReadAhead_;
        return NoteOpened(true);
      }
      if (taken == PageLoad::kFailed) return NoteOpened(false);
    }
    std::string folder;
    if (!locator_.PageFolder(sProject, sPage, folder, lastFailure_)) return NoteOpened(false);
    uint64_t bytes = 0;
    const PageLoad load = LoadPage(folder, sPage, *page_, PageDocument::kMaxPageBytes, lastFailure_, bytes);
    return NoteOpened(load == PageLoad::kLoaded);
  } catch (const std::exception& error) {
    lastFailure_ = {PageFailureReason::kUnreadable, error.what()};
    return NoteOpened(false);
  }
}

bool PageFileServer::OpenPageContent(std::string_view bytes) {
  if (readAhead_) readAhead_->DropAll();
  if (page_->LoadBytes(bytes)) return true;
  lastFailure_ = page_->Failure();
  return false;
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
  ReadAheadMode mode = ReadAheadMode::kAuto;
  if (const char* setting = std::getenv("MORVEX_READ_AHEAD")) {
    const std::string_view value(setting);
    if (value == "0") mode = ReadAheadMode::kOff;
    if (value == "1") mode = ReadAheadMode::kOn;
  }
  return [mode]() -> std::unique_ptr<PageAutomation> { return std::make_unique<PageFileServer>(mode); };
}

}  // namespace morvex
