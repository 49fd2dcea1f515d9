// morvex-com-calls: what one page-server call costs, and whether two threads each calling a server of their own
// get twice the calls done, for our server linked in and for a page server named by class identifier.
//
//   morvex-com-calls SITE PROJECT PAGE [WALKS [CLASS...]]
//
// The page is opened once per thread; each thread then walks it WALKS times (default 20) as a scan walks a page:
// every object and its type, every Tarvo's properties, each walk a fixed number of calls. Each class (a ProgID,
// a CLSID in braces, "" for our server without COM, or @bstr for 1,000 BSTRs made and freed per walk, what every
// text a server hands over costs) is measured with one thread and then with two, which start together. Per thread it gives the wall time and the processor time per call; two threads that share nothing
// take the same processor time per call as one and, with two free processors, the same wall time.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <oleauto.h>

#include "ComPageServer.h"
#include "PageAutomation.h"

namespace {

struct ThreadFigures {
  double wallSeconds = 0;
  double cpuSeconds = 0;
  long long calls = 0;
  std::string failure;
};

double Seconds(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<double>(value.QuadPart) * 1e-7;
}

double ThreadCpuSeconds() {
  FILETIME created, ended, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user)) return 0;
  return Seconds(kernel) + Seconds(user);
}

double NowSeconds() {
  static const double frequency = [] {
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    return static_cast<double>(value.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / frequency;
}

// Holds every thread until all have their server and page ready, so that the walks run side by side.
class StartLine {
 public:
  explicit StartLine(int threads) : waiting_(threads) {}
  void ArriveAndWait() {
    std::unique_lock<std::mutex> held(lock_);
    if (--waiting_ == 0) go_.notify_all();
    go_.wait(held, [this] { return waiting_ == 0; });
  }

 private:
  std::mutex lock_;
  std::condition_variable go_;
  int waiting_;
};

// One walk of the open page as a scan makes it; the calls it made.
long long WalkPage(morvex::PageAutomation& server) {
  long long calls = 1;
  std::string_view type, name, value;
  for (bool more = server.FirstObject(); more; more = server.NextObject(), ++calls) {
    ++calls;
    if (!server.GetObjectType(type) || type != "Tarvo") continue;
    ++calls;
    for (bool property = server.FirstProperty(name, value); property; property = server.NextProperty(name, value))
      ++calls;
  }
  return calls;
}

// The allocation every text a server hands over costs: a BSTR of a property value's length made and freed,
// counted as one call.
constexpr const char* kBstrReference = "@bstr";
long long AllocateBstrs(int walks) {
  constexpr long long kPerWalk = 1000;
  for (long long i = 0; i < walks * kPerWalk; ++i) {
    BSTR text = SysAllocStringLen(nullptr, 24);
    if (text != nullptr) text[0] = L'x';
    SysFreeString(text);
  }
  return walks * kPerWalk;
}

// Creates the server and opens the page on this thread, waits for the others, then walks.
void MeasureThread(const std::string& classIdentifier, const std::string& site, const std::string& project,
                   const std::string& page, int walks, StartLine& start, ThreadFigures& figures) {
  std::unique_ptr<morvex::PageAutomation> server;
  if (classIdentifier == kBstrReference) {
    start.ArriveAndWait();
    const double cpu = ThreadCpuSeconds();
    const double wall = NowSeconds();
    figures.calls = AllocateBstrs(walks);
    figures.wallSeconds = NowSeconds() - wall;
    figures.cpuSeconds = ThreadCpuSeconds() - cpu;
    return;
  }
  try {
    server = morvex::MakePageServerFactory(classIdentifier)();
    server->ServeFolder(site);
    server->SetInteractive(false);
    if (!server->OpenPage(project, page)) figures.failure = "the page does not open";
  } catch (const std::exception& error) {
    figures.failure = error.what();
  }
  start.ArriveAndWait();
  if (!figures.failure.empty()) return;
  const double cpu = ThreadCpuSeconds();
  const double wall = NowSeconds();
  for (int walk = 0; walk < walks; ++walk) figures.calls += WalkPage(*server);
  figures.wallSeconds = NowSeconds() - wall;
  figures.cpuSeconds = ThreadCpuSeconds() - cpu;
  server->ClosePage();
}

// One measurement with threadCount threads; false when a thread could not work.
bool Measure(const std::string& classIdentifier, const std::string& site, const std::string& project,
             const std::string& page, int walks, int threadCount) {
  std::vector<ThreadFigures> figures(static_cast<size_t>(threadCount));
  StartLine start(threadCount);
  {
    std::vector<std::jthread> threads;
    for (int i = 0; i < threadCount; ++i)
      threads.emplace_back(MeasureThread, std::cref(classIdentifier), std::cref(site), std::cref(project),
                           std::cref(page), walks, std::ref(start), std::ref(figures[static_cast<size_t>(i)]));
  }
  const char* shown = classIdentifier.empty()                ? "(our server, no COM)"
                      : classIdentifier == kBstrReference ? "(BSTR made and freed)"
                                                          : classIdentifier.c_str();
  for (const ThreadFigures& thread : figures) {
    if (!thread.failure.empty()) {
      std::fprintf(stderr, "morvex-com-calls: %s: %s\n", shown, thread.failure.c_str());
      return false;
    }
  }
  double slowest = 0;
  long long calls = 0;
  std::printf("%s, %d thread%s:", shown, threadCount, threadCount == 1 ? "" : "s");
  for (const ThreadFigures& thread : figures) {
    slowest = std::max(slowest, thread.wallSeconds);
    calls += thread.calls;
    const double threadCalls = static_cast<double>(thread.calls);
    std::printf("  %.0f ns wall, %.0f ns processor a call", thread.wallSeconds / threadCalls * 1e9,
                thread.cpuSeconds / threadCalls * 1e9);
  }
  std::printf(";  %.0f calls a second in all (%lld calls)\n", static_cast<double>(calls) / slowest, calls);
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: morvex-com-calls SITE PROJECT PAGE [WALKS [CLASS...]]\n");
    return 2;
  }
  const std::string site = argv[1], project = argv[2], page = argv[3];
  const int walks = argc > 4 ? std::max(1, std::atoi(argv[4])) : 20;
  std::vector<std::string> classes;
  for (int i = 5; i < argc; ++i) classes.emplace_back(argv[i]);
  if (classes.empty()) classes = {"", "Morvex.PageFiles"};
  bool ok = true;
  for (const std::string& classIdentifier : classes) {
    for (int threads = 1; threads <= 2; ++threads) ok = Measure(classIdentifier, site, project, page, walks, threads) && ok;
  }
  return ok ? 0 : 1;
}
