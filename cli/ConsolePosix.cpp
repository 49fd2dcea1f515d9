// The console on Linux: signals and the terminal's ioctl.
#include "Console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string_view>

namespace morvex::console {

namespace {

bool (*gOnInterrupt)() = nullptr;

void HandleSigint(int) {
  if (gOnInterrupt != nullptr && gOnInterrupt()) {
    // Only async-signal-safe calls here: end the line the status display may have left open, then go.
    static const char kNewLine[] = "\n";
    [[maybe_unused]] ssize_t ignored = write(STDERR_FILENO, kNewLine, 1);
    _exit(130);
  }
}

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

// A reader that stops early (`| head`) closes the pipe: the write then fails with EPIPE instead of the signal
// killing the process.
void PrepareStreams() { std::signal(SIGPIPE, SIG_IGN); }

bool ReaderHasGone(int writeErrno) { return writeErrno == EPIPE; }

bool IsConsole(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

size_t Columns(std::FILE* stream) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

bool TakesControlSequences(std::FILE*) {
  // A terminal emulator always names itself in TERM. Without a name the terminal is something else, such as a
  // pseudo-terminal a CI runner or cron job opened and logs, where escape sequences would show as garbage.
  const char* term = std::getenv("TERM");
  return term != nullptr && *term != '\0' && std::string_view(term) != "dumb";
}

void OnInterrupt(bool (*onInterrupt)()) {
  gOnInterrupt = onInterrupt;
  struct sigaction action {};
  action.sa_handler = HandleSigint;
  sigemptyset(&action.sa_mask);
  // Reads of tables and pages must not fail with EINTR just because the user asked to stop after this page.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace morvex::console
