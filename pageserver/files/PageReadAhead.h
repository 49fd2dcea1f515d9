// PageReadAhead: a reader thread that loads the pages named in advance, in order, into documents of their own.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "PageDocument.h"
#include "PageFailure.h"
#include "Platform.h"

namespace morvex {

enum class PageLoad : uint8_t {
  kLoaded,    // the document holds the page
  kFailed,    // the page does not open; the failure says why
  kDeferred,  // too large to read ahead: the page is read when it is opened
};

class PageReadAhead {
 public:
  // Loads one page; runs on the reader thread, so it may touch nothing but its arguments and what is safe from
  // any thread. `bytes` is what the loaded page holds on to, for the queue's budget.
  using Loader = std::function<PageLoad(const std::string& folder, const std::string& page, PageDocument& document,
                                        PageFailure& failure, uint64_t& bytes)>;

  // At most this many pages wait, loaded or not, and loading stops while the loaded ones that wait hold
  // byteBudget bytes or more; so a run of small pages keeps the reader well ahead, one of large pages keeps
  // only one or two of them in memory.
  PageReadAhead(Loader loader, size_t depth, uint64_t byteBudget);
  ~PageReadAhead();
  PageReadAhead(const PageReadAhead&) = delete;
  PageReadAhead& operator=(const PageReadAhead&) = delete;

  // Queues a page behind those queued before. A page that cannot be found gets its failure queued instead,
  // so the order holds. False when the queue is full: the hint is dropped, and so is every later one until
  // the queue has been emptied, so that no page goes missing from the middle of it.
  bool Queue(std::string_view project, std::string_view page, std::optional<std::string> folder,
             const PageFailure& failure);

  // The queued result for the page, if it is queued: pages queued before it are dropped unopened. The
  // document that held the page moves into `document`, whose own document goes back to the queue's stock.
  // Waits only for a page that the reader is loading at that moment; one not started yet is taken back and
  // nothing is returned, so that the caller loads it at once instead of waiting for the reader's turn.
  std::optional<PageLoad> Take(std::string_view project, std::string_view page,
                               std::unique_ptr<PageDocument>& document, PageFailure& failure);

  // Forgets every queued page, after the one being loaded is done.
  void DropAll();

  size_t Queued() const;

 private:
  struct Job {
    std::string project;
    std::string page;
    std::string folder;
    bool done = false;
    PageLoad outcome = PageLoad::kFailed;
    PageFailure failure;
    uint64_t bytes = 0;
    std::unique_ptr<PageDocument> document;
  };

  void ReaderLoop();
  bool ReaderHasWork() const;
  void WaitWhileLoading(std::unique_lock<platform::HandOffLock>& lock);
  void DropFront(size_t count);
  std::unique_ptr<PageDocument> SpareDocument();

  Loader loader_;
  const size_t depth_;
  const uint64_t byteBudget_;

  // Everything below is guarded by lock_. The jobs are in the order they will be opened; the reader works
  // through them from the front, so the started ones come first.
  mutable platform::HandOffLock lock_;
  std::deque<Job> jobs_;
  size_t started_ = 0;           // jobs at the front that the reader has started (or were failed when queued)
  uint64_t waitingBytes_ = 0;    // what the loaded jobs not yet taken hold
  bool loading_ = false;         // the reader works on jobs_[started_ - 1]
  bool full_ = false;            // hints are refused until the queue is empty
  bool stopping_ = false;
  bool readerSleeping_ = false;  // a wake-up is owed when work comes
  bool takerWaiting_ = false;    // a wake-up is owed when the reader finishes a job
  std::vector<std::unique_ptr<PageDocument>> stock_;
  std::thread reader_;
};

}  // namespace morvex
