// Path helpers shared by the table reader, the search and the page-file server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>

#include "Platform.h"

namespace morvex {

// The folder, the platform's separator (the backslash on Windows, the slash elsewhere) unless the folder already ends in one, then the file name (not examined).
// An empty folder gives the separator and the name.
std::string JoinPath(std::string_view sFolder, std::string_view sFileName);

// The same rule with an explicit separator, so both platforms' behaviour can be exercised anywhere.
std::string JoinPathWith(std::string_view sFolder, std::string_view sFileName, char separator);

// Paths are held as UTF-8 on Windows and as the file system's own bytes elsewhere: a Linux name that is not
// valid UTF-8 still reaches the file system unchanged.
std::filesystem::path ToNativePath(std::string_view path);
std::string FromNativePath(const std::filesystem::path& path);

// True when the path names an existing ordinary file (a folder, a device and, on Windows, a hidden or system
// file count as missing).
bool FileExists(std::string_view sFile);

// True when the name, put after a folder and a separator, cannot lead out of that folder: it holds no
// separator, is neither "." nor "..", is not absolute and (with Windows' rules) has no drive prefix.
bool IsNameWithinFolder(std::string_view sName);

// The same rule with Windows' or the POSIX rules chosen explicitly, so both can be exercised anywhere.
bool IsNameWithinFolderOn(std::string_view sName, bool windowsRules);

// True when Windows would take the name for a device rather than a file: CON, PRN, AUX, NUL, CONIN$, CONOUT$,
// COM0 to COM9 and LPT0 to LPT9, in any case, also with an extension ("con.json") or spaces before it.
// Always false with the POSIX rules, where such names are ordinary.
bool IsDeviceNameOn(std::string_view sName, bool windowsRules);
bool IsDeviceName(std::string_view sName);

// Why OpenForReading refused something that is there: it is a folder, a pipe, a device or a socket, or on
// Windows a hidden or system file.
enum class FileOpenError { kNotOrdinaryFile = 1 };
const std::error_category& FileOpenCategory() noexcept;
std::error_code make_error_code(FileOpenError error) noexcept;

// A file opened for reading, closed when the object goes. Opening never waits on what it finds: a pipe or a
// device put where a file was expected is refused instead of blocking the run until someone writes to it.
class ReadOnlyFile {
 public:
  using NativeHandle = platform::FileHandle;
  static constexpr NativeHandle kNoHandle = platform::kNoFile;

  ReadOnlyFile() noexcept = default;
  ~ReadOnlyFile();
  ReadOnlyFile(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // Opens an ordinary file for reading, at its start. Anything else at the path gives
  // FileOpenError::kNotOrdinaryFile; a missing file gives std::errc::no_such_file_or_directory.
  // Any file held before is closed first.
  static std::error_code Open(const std::filesystem::path& path, ReadOnlyFile& file);

  bool IsOpen() const noexcept;
  // The file's size when it was opened.
  uint64_t Size() const noexcept {
    return size_;
  }
  // Reads from the current position until count bytes arrived or the file ended; read says how many came.
  std::error_code Read(void* buffer, size_t count, size_t& read);
  // Reads count bytes at offset without moving the position, unless the file ends first.
  std::error_code ReadAt(uint64_t offset, void* buffer, size_t count, size_t& read) const;
  void Close() noexcept;
  // Hands the handle over to the caller, who closes it from then on.
  NativeHandle Release() noexcept;

 private:
  NativeHandle handle_ = kNoHandle;
  uint64_t size_ = 0;
};

// True when a project's "Path" cell names no folder at all: empty, or only blanks, tabs and NULs (what a
// damaged project list gives). Joined with a file name it would reach the root folder, outside every project.
bool IsBlankPath(std::string_view sPath);

// A project's "Path" cell, taken relative to the folder that holds the project list when it is relative.
// Blank cells give the empty path: the project has no folder, and callers must not join a name to it.
std::string ResolveAgainst(std::string_view sBaseFolder, std::string_view sPath);

}  // namespace morvex

template <>
struct std::is_error_code_enum<morvex::FileOpenError> : std::true_type {};
