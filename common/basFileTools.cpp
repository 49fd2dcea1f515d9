// Path joining and file tests on std::filesystem, with paths held as UTF-8 (or raw bytes on Linux).
#include "basFileTools.h"

#include <system_error>

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

std::string ResolveAgainst(std::string_view sBaseFolder, std::string_view sPath) {
  if (sPath.empty()) return std::string(sPath);
  const std::filesystem::path native = ToNativePath(sPath);
  if (native.is_absolute()) return std::string(sPath);
  return JoinPath(sBaseFolder, sPath);
}

}  // namespace morvex
