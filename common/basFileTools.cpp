// Path joining, file tests and opening files for reading, with paths held as UTF-8 (raw bytes on Linux).
#include "basFileTools.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include "TextUtil.h"

namespace morvex {

std::string JoinPathWith(std::string_view sFolder, std::string_view sFileName, char separator) {
  std::string result;
  result.reserve(sFolder.size() + 1 + sFileName.size());
  result.append(sFolder);
  if (sFolder.empty() || sFolder.back() != separator) result.push_back(separator);
  result.append(sFileName);
  return result;
}

std::string JoinPath(std::string_view sFolder, std::string_view sFileName) {
  return JoinPathWith(sFolder, sFileName, kPathSeparator);
}

std::filesystem::path ToNativePath(std::string_view path) {
#ifdef _WIN32
  const std::u16string wide = Utf8ToUtf16(path);
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
#else
  return std::filesystem::path(std::string(path));
#endif
}

std::string FromNativePath(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::wstring& native = path.native();
  return Utf16ToUtf8(std::u16string(native.begin(), native.end()));
#else
  return path.native();
#endif
}

bool FileExists(std::string_view sFile) {
  if (sFile.empty()) return false;
  std::error_code error;
  return std::filesystem::is_regular_file(ToNativePath(sFile), error);
}

bool IsNameWithinFolderOn(std::string_view sName, bool windowsRules) {
  if (sName == "." || sName == "..") return false;
  if (sName.find('/') != std::string_view::npos) return false;
  if (windowsRules) {
    if (sName.find('\\') != std::string_view::npos) return false;
    // "C:name" is taken relative to the current folder of drive C, not to ours.
    if (sName.size() >= 2 && sName[1] == ':') {
      const char drive = sName[0];
      if ((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) return false;
    }
  }
  return true;
}

bool IsNameWithinFolder(std::string_view sName) {
#ifdef _WIN32
  return IsNameWithinFolderOn(sName, true);
#else
  return IsNameWithinFolderOn(sName, false);
#endif
}

namespace {

class FileOpenCategoryImpl : public std::error_category {
 public:
  const char* name() const noexcept override { return "morvex.file"; }
  std::string message(int value) const override {
    if (value == static_cast<int>(FileOpenError::kNotOrdinaryFile)) return "Not an ordinary file";
    return "Unknown error";
  }
};

}  // namespace

const std::error_category& FileOpenCategory() noexcept {
  static const FileOpenCategoryImpl category;
  return category;
}

std::error_code make_error_code(FileOpenError error) noexcept {
  return {static_cast<int>(error), FileOpenCategory()};
}

ReadOnlyFile::~ReadOnlyFile() {
  Close();
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)), size_(std::exchange(other.size_, 0)) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNoHandle);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

bool ReadOnlyFile::IsOpen() const noexcept {
  return handle_ != kNoHandle;
}

ReadOnlyFile::NativeHandle ReadOnlyFile::Release() noexcept {
  size_ = 0;
  return std::exchange(handle_, kNoHandle);
}

// The Windows side (CreateFileW, GetFileType, ReadFile) is still to be written.
#ifndef _WIN32

namespace {

std::error_code LastError() {
  return {errno, std::generic_category()};
}

}  // namespace

void ReadOnlyFile::Close() noexcept {
  if (handle_ != kNoHandle) ::close(handle_);
  handle_ = kNoHandle;
  size_ = 0;
}

std::error_code ReadOnlyFile::Open(const std::filesystem::path& path, ReadOnlyFile& file) {
  file.Close();
  // A NUL would cut the name short at the system call and open some other file.
  if (path.native().find('\0') != std::string::npos) return std::make_error_code(std::errc::invalid_argument);
  // Testing the path first and opening it afterwards leaves a gap in which a pipe can take the file's place,
  // and a pipe opened for reading waits for a writer. So: open without waiting, then look at what was opened.
  ReadOnlyFile opened;
  do {
    opened.handle_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (opened.handle_ < 0 && errno == EINTR);
  if (opened.handle_ < 0) return LastError();
  struct stat info {};
  if (::fstat(opened.handle_, &info) != 0) return LastError();
  if (!S_ISREG(info.st_mode)) return FileOpenError::kNotOrdinaryFile;
  const int flags = ::fcntl(opened.handle_, F_GETFL);
  if (flags < 0 || ::fcntl(opened.handle_, F_SETFL, flags & ~O_NONBLOCK) != 0) return LastError();
  opened.size_ = info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
  file = std::move(opened);
  return {};
}

std::error_code ReadOnlyFile::Read(void* buffer, size_t count, size_t& read) {
  read = 0;
  if (!IsOpen()) return std::make_error_code(std::errc::bad_file_descriptor);
  char* const out = static_cast<char*>(buffer);
  while (read < count) {
    const size_t chunk = std::min<size_t>(count - read, size_t{1} << 30);
    const ssize_t got = ::read(handle_, out + read, chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (got == 0) break;
    read += static_cast<size_t>(got);
  }
  return {};
}

#endif

std::string ResolveAgainst(std::string_view sBaseFolder, std::string_view sPath) {
  if (sPath.empty()) return std::string(sPath);
  const std::filesystem::path native = ToNativePath(sPath);
  if (native.is_absolute()) return std::string(sPath);
  return JoinPath(sBaseFolder, sPath);
}

}  // namespace morvex
