// The console on Windows: the wide command line, the console control handler and console modes.
#include "Console.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// shellapi.h needs windows.h before it.
#include <fcntl.h>
#include <cerrno>
#include <cstdlib>
#include <io.h>
#include <shellapi.h>
#include <string_view>

#include "TextUtil.h"

namespace morvex::console {

namespace {

bool (*gOnInterrupt)() = nullptr;

// Runs on a thread of its own that the system starts; returning TRUE keeps the process alive.
BOOL WINAPI HandleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (gOnInterrupt != nullptr && gOnInterrupt()) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), "\n", 1, &written, nullptr);
    ::ExitProcess(130);
  }
  return TRUE;
}

HANDLE HandleOf(std::FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) {
    arguments.push_back(WideToUtf8(wide[i]));
  }
  ::LocalFree(wide);
  return arguments;
}

void PrepareStreams() {
  // The report's bytes as on Linux: no LF turned into CR LF on the way, UTF-8 on a console.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  ::SetConsoleOutputCP(CP_UTF8);
  DWORD mode = 0;
  const HANDLE error = HandleOf(stderr);
  if (::GetConsoleMode(error, &mode)) ::SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

bool ReaderHasGone(int writeErrno) {
  const DWORD error = ::GetLastError();
  // Windows answers a pipe without reader with "no data"; Wine with "not connected".
  return writeErrno == EPIPE || error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE ||
         error == ERROR_PIPE_NOT_CONNECTED;
}

bool IsConsole(std::FILE* stream) {
  DWORD mode = 0;
  return ::GetConsoleMode(HandleOf(stream), &mode) != 0;
}

size_t Columns(std::FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(HandleOf(stream), &info)) return 80;
  const int columns = info.srWindow.Right - info.srWindow.Left + 1;
  return columns > 0 ? static_cast<size_t>(columns) : 80;
}

bool TakesControlSequences(std::FILE* stream) {
  // PrepareStreams asked for sequence processing; a console older than Windows 10 refuses it and would print
  // the sequences as text. TERM=dumb is honoured for those who set it on purpose.
  DWORD mode = 0;
  if (!::GetConsoleMode(HandleOf(stream), &mode) || (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0)
    return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::string_view(term) != "dumb";
}

void OnInterrupt(bool (*onInterrupt)()) {
  gOnInterrupt = onInterrupt;
  ::SetConsoleCtrlHandler(HandleControl, TRUE);
}

}  // namespace morvex::console
