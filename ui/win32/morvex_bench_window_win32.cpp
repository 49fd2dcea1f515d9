// morvex-bench-window.exe: one search through the real Win32 windows, Start pressed programmatically, for
// timing as a process against morvex-scan.exe; then Ctrl+A and Ctrl+C in the results box.
// Usage: morvex-bench-window.exe SITE_DIR [--unique] [--no-copy]
// Both boxes start ticked, as on a first start; --unique clears the show-all box; --no-copy leaves out the copy. Messages go to stderr; the
// figures go to stdout as one line of name=value pairs (seconds, characters, bytes) for bench/bench_windows.sh.
#include "AppContext.h"
#include "Console.h"
#include "PageFileServer.h"
#include "PageWorkers.h"
#include "basSearch.h"
#include "frmMain.h"
#include "frmStatusBar.h"

// After windows.h, which frmMain.h brings.
#include <commctrl.h>
#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <iterator>

#include <atomic>
#include <chrono>
#include <thread>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// A key pressed in the results box with Ctrl held, as the box reads the modifier from the thread's key state.
void PressWithControl(HWND box, UINT key) {
  BYTE before[256] = {};
  GetKeyboardState(before);
  BYTE held[256];
  std::copy(std::begin(before), std::end(before), std::begin(held));
  held[VK_CONTROL] = 0x80;
  SetKeyboardState(held);
  SendMessageW(box, WM_KEYDOWN, key, 1);
  SetKeyboardState(before);
}

// Measures how long the window's message loop keeps messages waiting: a thread posts a probe every 10 ms with
// the time it was posted, and the probe's window notes the longest stay in the queue of those posted since
// Arm. Whatever pumps the thread's queue (the run's progress window, the main loop) hands the probes over.
class LoopProbe {
 public:
  LoopProbe() {
    WNDCLASSW probeClass{};
    probeClass.lpfnWndProc = ProbeProc;
    probeClass.hInstance = GetModuleHandleW(nullptr);
    probeClass.lpszClassName = L"MorvexBenchLoopProbe";
    RegisterClassW(&probeClass);
    window_ = CreateWindowExW(0, probeClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    poster_ = std::thread([this] {
      while (!stop_) {
        PostMessageW(window_, kProbe, 0, static_cast<LPARAM>(GetTickCount()));
        Sleep(10);
      }
    });
  }
  ~LoopProbe() {
    stop_ = true;
    poster_.join();
    DestroyWindow(window_);
  }
  LoopProbe(const LoopProbe&) = delete;
  LoopProbe& operator=(const LoopProbe&) = delete;

  void Arm() {
    armedAt_ = GetTickCount();
    armed_ = true;
  }
  // Hands over the probes still queued, then the longest wait in seconds.
  double Longest() {
    MSG message;
    while (PeekMessageW(&message, window_, kProbe, kProbe, PM_REMOVE)) DispatchMessageW(&message);
    return longestMs_ / 1000.0;
  }

 private:
  static constexpr UINT kProbe = WM_APP + 1;
  static LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* probe = reinterpret_cast<LoopProbe*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message != kProbe || probe == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    const DWORD posted = static_cast<DWORD>(lParam);
    if (probe->armed_ && static_cast<LONG>(posted - probe->armedAt_) >= 0) {
      probe->longestMs_ = std::max(probe->longestMs_, GetTickCount() - posted);
    }
    return 0;
  }

  HWND window_ = nullptr;
  std::thread poster_;
  std::atomic<bool> stop_{false};
  bool armed_ = false;
  DWORD armedAt_ = 0;
  DWORD longestMs_ = 0;
};

size_t ClipboardCharacters(HWND owner) {
  size_t characters = 0;
  if (!OpenClipboard(owner)) return 0;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    characters = wcsnlen(static_cast<const wchar_t*>(GlobalLock(data)), GlobalSize(data) / sizeof(wchar_t));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return characters;
}

// No box waits for a user; the run itself is unchanged.
class StderrMessages : public morvex::MessageSink {
 public:
  void ShowMessage(std::string_view sMessage) override {
    std::fprintf(stderr, "message: %.*s\n", static_cast<int>(sMessage.size()), sMessage.data());
  }
};

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = morvex::console::Arguments(argc, argv);
  std::string site;
  bool unique = false;
  bool copy = true;
  for (size_t index = 1; index < arguments.size(); ++index) {
    if (arguments[index] == "--unique") {
      unique = true;
    } else if (arguments[index] == "--no-copy") {
      copy = false;
    } else {
      site = arguments[index];
    }
  }
  if (site.empty()) {
    std::fprintf(stderr, "usage: morvex-bench-window SITE_DIR [--unique] [--no-copy]\n");
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  // The window reads and writes its settings; the user's own stay out of the measurement.
  const std::wstring settingsKey = L"Software\\MorvexBench\\" + std::to_wstring(GetCurrentProcessId());
  morvex::win32::frmStatusBar progress;
  StderrMessages messages;
  morvex::AppContext context(morvex::MakePageFileServerFactory(), progress, messages);
  context.pageWorkers = morvex::DefaultPageWorkers("");  // as the window runs
  size_t characters = 0, copied = 0;
  long long firstVisible = -1;
  Clock::time_point pressedAt, ranAt, shownAt, copiedAt;
  LoopProbe loopProbe;
  {
    morvex::win32::frmMain window(
        progress,
        [&context, &ranAt, &loopProbe](const std::string& sFolder, bool bShowAll, bool bIgnoreBuiltIn) {
          morvex::SearchResult result = morvex::RunSearchDetailed(context, sFolder, bShowAll, bIgnoreBuiltIn);
          ranAt = Clock::now();
          loopProbe.Arm();
          return result;
        },
        [](const std::string&, const std::string& sStart, bool) { return sStart; }, settingsKey.c_str());
    window.Show(SW_SHOWNORMAL);
    HWND main = window.Handle();
    HWND box = window.ResultsBox();
    morvex::win32::SetWindowTextUtf8(FindWindowExW(main, nullptr, L"EDIT", nullptr), site);
    if (unique) {
      SendMessageW(FindWindowExW(main, nullptr, L"BUTTON", L"Show all tarvo instances on pages"), BM_SETCHECK,
                   BST_UNCHECKED, 0);
    }
    // The press as the button itself reports it; the run and the box's taking of the report end before it
    // returns. The probes posted from the run's end to the box's first paint tell the loop's longest wait.
    pressedAt = Clock::now();
    morvex::win32::PressButton(main, L"Start");
    UpdateWindow(box);
    shownAt = Clock::now();
    const double loopWait = loopProbe.Longest();
    characters = static_cast<size_t>(GetWindowTextLengthW(box));
    firstVisible = SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0);

    SetFocus(box);
    const Clock::time_point copyStart = Clock::now();
    if (copy) {
      PressWithControl(box, 'A');
      PressWithControl(box, 'C');
    }
    copiedAt = Clock::now();
    // The first paste turns the promised text into the clipboard's UTF-16.
    copied = copy ? ClipboardCharacters(main) : characters;
    const Clock::time_point pastedAt = Clock::now();
    std::printf("start_to_shown=%.3f run=%.3f loop_wait=%.3f copy_all=%.3f paste=%.3f ",
                SecondsBetween(pressedAt, shownAt), SecondsBetween(pressedAt, ranAt), loopWait,
                SecondsBetween(copyStart, copiedAt), SecondsBetween(copiedAt, pastedAt));
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, settingsKey.c_str());
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof(memory);
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
  std::printf("characters=%zu copied=%zu first_visible=%lld peak_working_set=%zu\n", characters, copied,
              firstVisible, static_cast<size_t>(memory.PeakWorkingSetSize));
  return (characters == 0 || copied != characters || firstVisible != 0) ? 1 : 0;
}
