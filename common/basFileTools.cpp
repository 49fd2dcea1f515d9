// Path joining, file tests and opening files for reading, with paths held as UTF-8 (raw bytes on Linux).
#include "basFileTools.h"

#include <system_error>
#include <utility>

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
  return JoinPathWith(sFolder, sFileName, platform::PathSeparator());
}

std::filesystem::path ToNativePath(std::string_view path) { return platform::ToNativePath(path); }

std::string FromNativePath(const std::filesystem::path& path) { return platform::FromNativePath(path); }

bool FileExists(std::string_view sFile) {
  if (sFile.empty()) return false;
  return platform::IsOrdinaryFile(ToNativePath(sFile));
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

bool IsNameWithinFolder(std::string_view sName) { return IsNameWithinFolderOn(sName, platform::HasDrivePaths()); }

bool IsDeviceNameOn(std::string_view sName, bool windowsRules) {
  if (!windowsRules) return false;
  // The system looks only at what comes before the first dot, with trailing spaces dropped.
  std::string_view stem = sName.substr(0, sName.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  std::string upper(stem);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL" || upper == "CONIN$" ||
      upper == "CONOUT$") {
    return true;
  }
  if (!upper.starts_with("COM") && !upper.starts_with("LPT")) return false;
  const std::string_view number = std::string_view(upper).substr(3);
  // Windows also takes the superscript digits one, two and three (U+00B9, U+00B2, U+00B3) for port numbers.
  return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
         number == "\xC2\xB2" || number == "\xC2\xB3";
}

bool IsDeviceName(std::string_view sName) {
  return IsDeviceNameOn(sName, platform::HasDrivePaths());
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

ReadOnlyFile::~ReadOnlyFile() { Close(); }

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

bool ReadOnlyFile::IsOpen() const noexcept { return handle_ != kNoHandle; }

ReadOnlyFile::NativeHandle ReadOnlyFile::Release() noexcept {
  size_ = 0;
  return std::exchange(handle_, kNoHandle);
}

void ReadOnlyFile::Close() noexcept {
  platform::Close(handle_);
  handle_ = kNoHandle;
  size_ = 0;
}

std::error_code ReadOnlyFile::Open(const std::filesystem::path& path, ReadOnlyFile& file) {
  file.Close();
  ReadOnlyFile opened;
  bool notOrdinary = false;
  const std::error_code error = platform::OpenForReading(path, opened.handle_, opened.size_, notOrdinary);
  if (error) return error;
  if (notOrdinary) return FileOpenError::kNotOrdinaryFile;
  file = std::move(opened);
  return {};
}

std::error_code ReadOnlyFile::Read(void* buffer, size_t count, size_t& read) {
  read = 0;
  if (!IsOpen()) return std::make_error_code(std::errc::bad_file_descriptor);
  return platform::ReadNext(handle_, buffer, count, read);
}

std::error_code ReadOnlyFile::ReadAt(uint64_t offset, void* buffer, size_t count, size_t& read) const {
  read = 0;
  if (!IsOpen()) return std::make_error_code(std::errc::bad_file_descriptor);
  return platform::ReadAt(handle_, offset, buffer, count, read);
}

bool IsBlankPath(std::string_view sPath) {
  return sPath.find_first_not_of(std::string_view(" \t\0", 3)) == std::string_view::npos;
}

std::string ResolveAgainst(std::string_view sBaseFolder, std::string_view sPath) {
  if (IsBlankPath(sPath)) return {};
  if (platform::IsAbsolutePath(sPath)) return std::string(sPath);
  return JoinPath(sBaseFolder, sPath);
}

}  // namespace morvex
