// The worker threads, their servers' lifetimes, and the hand-out and in-order take-back of numbered pages.
#include "PageWorkers.h"

#include <algorithm>

#include <mutex>

#include "Error.h"

namespace morvex {

int32_t DefaultPageWorkers(std::string_view pageServer) {
  if (pageServer.find_first_not_of(" \t") != std::string_view::npos) return 1;
  const unsigned usable = std::max(platform::UsableProcessors(), 1u);
  return static_cast<int32_t>(std::min<unsigned>(usable, kDefaultPageWorkersAtMost));
}

namespace {

// Enough pages handed out that a large page holding up the next one to take leaves the other workers busy,
// and that the caller, woken for half of them at a time, sleeps through most pages; few enough that the results
// waiting to be taken stay small.
constexpr int32_t kPagesPerWorkerHandedOut = 8;

}  // namespace

PageWorkers::PageWorkers(int32_t count, const PageAutomationFactory& create, const ServerStep& setUp)
    : window_(count * kPagesPerWorkerHandedOut), workers_(static_cast<size_t>(count)) {
  slotDone_.assign(static_cast<size_t>(window_), false);
  try {
    for (int32_t i = 0; i < count; ++i) {
      threads_.emplace_back([this, i, &create, &setUp] { WorkerLoop(i, create, setUp); });
    }
  } catch (...) {
    Stop(Command::kQuit);
    throw;
  }
  bool failed = false;
  {
    std::unique_lock<platform::HandOffLock> held(lock_);
    lock_.Wait(held, [this] {
      for (const Worker& worker : workers_)
        if (!worker.ready) return false;
      return true;
    });
    for (const Worker& worker : workers_) failed = failed || worker.failure != nullptr;
  }
  if (failed) {
    Stop(Command::kQuit);
    ThrowFirstFailure();
  }
}

PageWorkers::~PageWorkers() {
  Stop(Command::kQuit);
}

void PageWorkers::WorkerLoop(int32_t index, const PageAutomationFactory& create, const ServerStep& setUp) {
  std::unique_ptr<PageAutomation> server;
  std::exception_ptr failure;
  try {
    server = create();
    if (!server) throw Error(kErrAutomationCreate, "The page-automation server could not be created");
    setUp(*server);
  } catch (...) {
    failure = std::current_exception();
  }
  std::unique_lock<platform::HandOffLock> held(lock_);
  Worker& self = workers_[static_cast<size_t>(index)];
  self.failure = failure;
  self.ready = true;
  lock_.NotifyAll();
  // create and setUp belong to the constructor's caller and may be gone from here on.
  while (!failure) {
    if (command_ == Command::kNone && nextQueued_ == queued_.size()) {
      ++idleWorkers_;
      lock_.Wait(held, [this] { return command_ != Command::kNone || nextQueued_ < queued_.size(); });
      --idleWorkers_;
    }
    if (nextQueued_ < queued_.size()) {
      const int32_t page = queued_[nextQueued_++];
      const auto& work = *work_;
      ++busy_;
      held.unlock();
      work(*server, page);
      held.lock();
      --busy_;
      slotDone_[static_cast<size_t>(page % window_)] = true;
      // Every wake-up costs the woken thread's processor a switch, taken from the workers: only an owed one.
      if ((draining_ && busy_ == 0) || (takerWaiting_ && TakerShouldWake())) lock_.NotifyAll();
      continue;
    }
    if (command_ == Command::kTearDown) {
      held.unlock();
      try {
        (*tearDown_)(*server);
      } catch (...) {
        failure = std::current_exception();
      }
      held.lock();
    }
    break;
  }
  held.unlock();
  // On this thread, as it was made: a COM server must leave from its own apartment.
  server.reset();
  held.lock();
  if (failure && !self.failure) self.failure = failure;
  lock_.NotifyAll();
}

bool PageWorkers::TakerShouldWake() const {
  const int32_t waiting = handedOut_ - taken_;
  int32_t finished = 0;
  while (finished < waiting && slotDone_[static_cast<size_t>((taken_ + finished) % window_)]) ++finished;
  if (finished == 0) return false;
  // All it handed out is finished, enough of it to be worth the switch, or the workers are about to run dry.
  const size_t notStarted = queued_.size() - nextQueued_;
  return finished == waiting || finished >= window_ / 2 || notStarted < workers_.size();
}

bool PageWorkers::Run(int32_t count, const std::function<void(int32_t)>& prepare,
                      const std::function<void(PageAutomation&, int32_t)>& work,
                      const std::function<bool(int32_t)>& take) {
  {
    std::lock_guard<platform::HandOffLock> held(lock_);
    work_ = &work;
    queued_.clear();
    nextQueued_ = 0;
    taken_ = 0;
    handedOut_ = 0;
    slotDone_.assign(static_cast<size_t>(window_), false);
  }
  int32_t handedOut = 0;
  int32_t taken = 0;
  bool stopped = false;
  std::exception_ptr thrown;
  try {
    while (taken < count) {
      while (handedOut < count && handedOut - taken < window_) {
        prepare(handedOut);
        std::lock_guard<platform::HandOffLock> held(lock_);
        queued_.push_back(handedOut++);
        handedOut_ = handedOut;
        if (idleWorkers_ > 0) lock_.NotifyAll();
      }
      {
        std::unique_lock<platform::HandOffLock> held(lock_);
        const size_t slot = static_cast<size_t>(taken % window_);
        if (!slotDone_[slot]) {
          takerWaiting_ = true;
          lock_.Wait(held, [this] { return TakerShouldWake(); });
          takerWaiting_ = false;
        }
        slotDone_[slot] = false;
        taken_ = taken + 1;
      }
      if (!take(taken)) {
        stopped = true;
        break;
      }
      ++taken;
    }
  } catch (...) {
    thrown = std::current_exception();
  }
  // The pages not started are withdrawn; those in hand are finished and left untaken.
  {
    std::unique_lock<platform::HandOffLock> held(lock_);
    nextQueued_ = queued_.size();
    draining_ = true;
    lock_.Wait(held, [this] { return busy_ == 0; });
    draining_ = false;
    queued_.clear();
    nextQueued_ = 0;
    work_ = nullptr;
  }
  if (thrown) std::rethrow_exception(thrown);
  return !stopped;
}

void PageWorkers::Release(const ServerStep& tearDown) {
  {
    std::lock_guard<platform::HandOffLock> held(lock_);
    tearDown_ = &tearDown;
  }
  Stop(Command::kTearDown);
  ThrowFirstFailure();
}

void PageWorkers::Stop(Command command) {
  {
    std::lock_guard<platform::HandOffLock> held(lock_);
    if (command_ == Command::kNone) command_ = command;
    lock_.NotifyAll();
  }
  for (std::thread& thread : threads_)
    if (thread.joinable()) thread.join();
}

void PageWorkers::ThrowFirstFailure() {
  for (const Worker& worker : workers_)
    if (worker.failure) std::rethrow_exception(worker.failure);
}

}  // namespace morvex
