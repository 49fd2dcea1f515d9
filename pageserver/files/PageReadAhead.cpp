// The read-ahead queue: one reader thread, woken only when work comes and waited for only while it loads.
#include "PageReadAhead.h"

#include <mutex>
#include <utility>

namespace morvex {

PageReadAhead::PageReadAhead(Loader loader, size_t depth, uint64_t byteBudget)
    : loader_(std::move(loader)), depth_(depth), byteBudget_(byteBudget) {}

PageReadAhead::~PageReadAhead() {
  {
    std::lock_guard<platform::HandOffLock> lock(lock_);
    stopping_ = true;
  }
  lock_.NotifyAll();
  if (reader_.joinable()) reader_.join();
}

size_t PageReadAhead::Queued() const {
  std::lock_guard<platform::HandOffLock> lock(lock_);
  return jobs_.size();
}

bool PageReadAhead::ReaderHasWork() const {
  return started_ < jobs_.size() && waitingBytes_ < byteBudget_;
}

std::unique_ptr<PageDocument> PageReadAhead::SpareDocument() {
  if (stock_.empty()) return std::make_unique<PageDocument>();
  std::unique_ptr<PageDocument> document = std::move(stock_.back());
  stock_.pop_back();
  return document;
}

void PageReadAhead::ReaderLoop() {
  std::unique_lock<platform::HandOffLock> lock(lock_);
  for (;;) {
    while (!stopping_ && !ReaderHasWork()) {
      readerSleeping_ = true;
      lock_.WaitForNotify(lock);
      readerSleeping_ = false;
    }
    if (stopping_) return;
    Job& job = jobs_[started_++];
    if (job.done) continue;  // failed as it was queued
    loading_ = true;
    job.document = SpareDocument();
    // The job stays where it is while it loads, and no one else touches it then: only finished jobs leave
    // the queue, and a deque keeps its elements in place as others come and go.
    const std::string& folder = job.folder;
    const std::string& page = job.page;
    PageDocument& document = *job.document;
    lock.unlock();
    PageFailure failure;
    uint64_t bytes = 0;
    PageLoad outcome = PageLoad::kFailed;
    try {
      outcome = loader_(folder, page, document, failure, bytes);
    } catch (const std::exception& error) {
      failure = {PageFailureReason::kUnreadable, error.what()};
    }
    lock.lock();
    job.outcome = outcome;
    job.failure = std::move(failure);
    job.bytes = outcome == PageLoad::kLoaded ? bytes : 0;
    job.done = true;
    waitingBytes_ += job.bytes;
    loading_ = false;
    if (takerWaiting_) lock_.NotifyAll();
  }
}

bool PageReadAhead::Queue(std::string_view project, std::string_view page, std::optional<std::string> folder,
                          const PageFailure& failure) {
  std::unique_lock<platform::HandOffLock> lock(lock_);
  if (full_ || jobs_.size() >= depth_) {
    full_ = true;
    return false;
  }
  Job& job = jobs_.emplace_back();
  job.project = project;
  job.page = page;
  if (folder) {
    job.folder = std::move(*folder);
  } else {
    // Nothing to load: the job is done as it is queued, and the reader passes over it when it comes to it.
    job.failure = failure;
    job.outcome = PageLoad::kFailed;
    job.done = true;
  }
  if (!reader_.joinable()) {
    reader_ = std::thread(&PageReadAhead::ReaderLoop, this);
  } else if (readerSleeping_ && ReaderHasWork()) {
    lock_.NotifyAll();
  }
  return true;
}

void PageReadAhead::WaitWhileLoading(std::unique_lock<platform::HandOffLock>& lock) {
  while (loading_) {
    takerWaiting_ = true;
    lock_.WaitForNotify(lock);
    takerWaiting_ = false;
  }
}

void PageReadAhead::DropFront(size_t count) {
  for (size_t i = 0; i < count; ++i) {
    Job& job = jobs_.front();
    if (started_ > 0) --started_;  // the started jobs are the first ones
    waitingBytes_ -= job.bytes;
    if (job.document) {
      job.document->Close();
      stock_.push_back(std::move(job.document));
    }
    jobs_.pop_front();
  }
  if (jobs_.empty()) full_ = false;
}

std::optional<PageLoad> PageReadAhead::Take(std::string_view project, std::string_view page,
                                            std::unique_ptr<PageDocument>& document, PageFailure& failure) {
  std::unique_lock<platform::HandOffLock> lock(lock_);
  size_t at = 0;
  while (at < jobs_.size() && !(jobs_[at].page == page && jobs_[at].project == project)) ++at;
  if (at == jobs_.size()) {
    // Not asked for: the pages queued are still to come, unless they can no longer be, as when hints are
    // refused and none of them is ever opened.
    if (full_) {
      WaitWhileLoading(lock);
      DropFront(jobs_.size());
    }
    return std::nullopt;
  }
  if (at > 0) {
    // Pages the caller passed over go; the one among them being loaded must finish first.
    if (loading_ && started_ - 1 < at) WaitWhileLoading(lock);
    DropFront(at);
  }
  Job& job = jobs_.front();
  if (started_ == 0 && !job.done) {
    // The reader has not come to it: loading it here beats waiting for the reader's turn.
    DropFront(1);
    if (readerSleeping_ && ReaderHasWork()) lock_.NotifyAll();
    return std::nullopt;
  }
  while (!job.done) {
    takerWaiting_ = true;
    lock_.WaitForNotify(lock);
    takerWaiting_ = false;
  }
  const PageLoad outcome = job.outcome;
  if (outcome == PageLoad::kLoaded) {
    document->Close();
    std::swap(document, job.document);
  } else {
    failure = std::move(job.failure);
  }
  DropFront(1);
  if (readerSleeping_ && ReaderHasWork()) lock_.NotifyAll();
  return outcome;
}

void PageReadAhead::DropAll() {
  std::unique_lock<platform::HandOffLock> lock(lock_);
  WaitWhileLoading(lock);
  DropFront(jobs_.size());
}

}  // namespace morvex
