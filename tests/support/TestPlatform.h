// What the tests do differently on Windows: process numbers, named pipes in folders, the null device, file
// attributes.
#pragma once

#include <filesystem>

#ifdef _WIN32
// The file calls alone: the whole of <windows.h> would bring names such as "byte" into every test.
#include <fileapi.h>
#include <process.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace morvex::test_support {

// This one header holds the tests' platform switches, so that the test files themselves stay plain.
#ifdef _WIN32
inline constexpr bool kWindows = true;
inline int ProcessId() { return _getpid(); }
// Windows has no named pipes in ordinary folders: the cases that need one are skipped there.
inline bool MakeNamedPipe(const std::filesystem::path&) { return false; }
inline const char* NullDevice() { return "NUL"; }
// Nothing to attach on Windows: the call could not have been given a pipe.
inline void ReleaseReaderOf(const std::filesystem::path&) {}
// Sets the hidden or else the system attribute, which only Windows files have.
inline bool MarkHiddenOrSystem(const std::filesystem::path& file, bool hidden) {
  return ::SetFileAttributesW(file.c_str(), hidden ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_SYSTEM) != 0;
}
#else
inline constexpr bool kWindows = false;
inline int ProcessId() { return static_cast<int>(::getpid()); }
inline bool MakeNamedPipe(const std::filesystem::path& path) { return ::mkfifo(path.c_str(), 0600) == 0; }
inline const char* NullDevice() { return "/dev/null"; }
// A writer attached and dropped again releases a reader stuck on the pipe.
inline void ReleaseReaderOf(const std::filesystem::path& pipe) {
  const int writer = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (writer >= 0) ::close(writer);
}
inline bool MarkHiddenOrSystem(const std::filesystem::path&, bool) { return false; }
#endif

}  // namespace morvex::test_support
