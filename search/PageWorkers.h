// PageWorkers: threads that each hold a page server of their own and work on numbered pages, handed back in order.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string_view>
#include <thread>
#include <vector>

#include "PageAutomation.h"
#include "Platform.h"

namespace morvex {

// Most workers a run starts unless told otherwise: past this, the disk and the ordered commit are the limit.
constexpr int32_t kDefaultPageWorkersAtMost = 8;

// How many workers a run gets unless told: the usable processors (at most kDefaultPageWorkersAtMost) for our
// own server, which keeps nothing between its instances; one for a server named by class identifier
// (pageServer not blank), which may.
int32_t DefaultPageWorkers(std::string_view pageServer);

// Every server is created, called and dropped on its worker's thread: a COM server lives in the apartment of
// the thread that made it. The caller's thread hands out the pages and takes the results back in page order,
// so whatever it does with them happens in the order one server would have given.
class PageWorkers {
 public:
  using ServerStep = std::function<void(PageAutomation&)>;

  // Starts `count` workers; each creates its server with `create` and runs `setUp` on it. When any of them
  // fails, every worker is stopped and the failure of the lowest-numbered one is thrown here.
  PageWorkers(int32_t count, const PageAutomationFactory& create, const ServerStep& setUp);
  // Stops the workers after the work in hand; their servers are dropped without `tearDown`.
  ~PageWorkers();
  PageWorkers(const PageWorkers&) = delete;
  PageWorkers& operator=(const PageWorkers&) = delete;

  int32_t Count() const { return static_cast<int32_t>(threads_.size()); }
  // How many pages may be handed out past the first one not yet taken back: the caller keeps this many
  // result slots and gives page i slot i % Window().
  int32_t Window() const { return window_; }

  // For i = 0 .. count - 1: prepare(i) on this thread when the page is handed out, work(server, i) on a
  // worker, then take(i) on this thread, strictly in order of i. take returning false stops the round: no
  // later page is taken, the workers finish what they hold, and it returns false. work must not throw; what
  // prepare or take throws is thrown on once the workers hold nothing.
  bool Run(int32_t count, const std::function<void(int32_t)>& prepare,
           const std::function<void(PageAutomation&, int32_t)>& work, const std::function<bool(int32_t)>& take);

  // Runs tearDown on every server, drops the servers and ends the workers; throws the lowest-numbered
  // worker's failure.
  void Release(const ServerStep& tearDown);

 private:
  enum class Command { kNone, kTearDown, kQuit };
  struct Worker {
    std::exception_ptr failure;
    bool ready = false;  // the server exists and is set up, or failure says why not
  };

  void WorkerLoop(int32_t index, const PageAutomationFactory& create, const ServerStep& setUp);
  void Stop(Command command);
  void ThrowFirstFailure();
  // With lock_ held: whether the caller, waiting for page taken_, has enough finished pages in a row to be
  // woken, so that it is woken once for a stretch of pages and not once for each.
  bool TakerShouldWake() const;

  int32_t window_ = 0;
  // Everything below is guarded by lock_.
  platform::HandOffLock lock_;
  std::vector<Worker> workers_;
  std::vector<int32_t> queued_;      // pages handed out this round, in order
  size_t nextQueued_ = 0;            // the first of them not started yet
  std::vector<bool> slotDone_;       // by slot: the page's work is finished
  int32_t busy_ = 0;                 // pages being worked on now
  int32_t taken_ = 0;                // the page the caller takes next
  int32_t handedOut_ = 0;            // pages handed out this round
  int32_t idleWorkers_ = 0;          // workers asleep for want of a page: a wake-up is owed when one comes
  bool takerWaiting_ = false;        // the caller sleeps until TakerShouldWake
  bool draining_ = false;            // the caller sleeps until busy_ is 0
  const std::function<void(PageAutomation&, int32_t)>* work_ = nullptr;
  Command command_ = Command::kNone;
  const ServerStep* tearDown_ = nullptr;
  std::vector<std::thread> threads_;  // last: the threads use everything above
};

}  // namespace morvex
