// What the tests do differently on Windows: process numbers, named pipes in folders, the null device, file
// attributes, files locked against every other opener.
#pragma once

#include <filesystem>

#ifdef _WIN32
// The file calls alone: the whole of <windows.h> would bring names such as "byte" into every test.
#include <fileapi.h>
#include <handleapi.h>
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
// Holds the file open with no sharing at all, as a program that locks it does, until destroyed.
class ExclusiveHold {
 public:
  explicit ExclusiveHold(const std::filesystem::path& file)
      : handle_(::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr)) {}
  ~ExclusiveHold() {
    if (Held()) ::CloseHandle(handle_);
  }
  ExclusiveHold(const ExclusiveHold&) = delete;
  ExclusiveHold& operator=(const ExclusiveHold&) = delete;
  bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};
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
// Locks here are advisory: nothing stops another opener, so there is nothing to hold.
class ExclusiveHold {
 public:
  explicit ExclusiveHold(const std::filesystem::path&) {}
  bool Held() const { return false; }
};
#endif

}  // namespace morvex::test_support
