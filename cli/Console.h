// What the command-line programs need from the system's console: arguments, interrupts, output streams.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace morvex::console {

// The command line as UTF-8 (on Windows from the wide command line, so any path survives; on Linux the
// bytes as given). The first entry is the program.
std::vector<std::string> Arguments(int argc, char** argv);

// Standard output carries the report's bytes unchanged, a closed pipe ends a write with an error rather
// than the process, and a console shows UTF-8.
void PrepareStreams();

// Called at once after a write to stdout failed with writeErrno: true when the reader has closed the pipe,
// which wants no message. Windows reports that as its own error, which the C library turns into EINVAL.
bool ReaderHasGone(int writeErrno);

// True when the stream is an interactive console, where a progress line may be redrawn in place.
bool IsConsole(std::FILE* stream);
// The console's width in characters, 80 when it cannot be told.
size_t Columns(std::FILE* stream);
// True when the console on the stream acts on cursor-control sequences (ESC [ K), so a line can be wiped in
// place; false where only carriage return and line feed can be relied on, such as TERM=dumb.
bool TakesControlSequences(std::FILE* stream);

// Calls onInterrupt on Ctrl-C (and Ctrl-Break on Windows). When it returns true the process ends at once with
// status 130 after ending the line on stderr. It must do nothing that a signal handler may not.
void OnInterrupt(bool (*onInterrupt)());

}  // namespace morvex::console
