// Path joining and file tests on std::filesystem, with paths held as UTF-16.
#include "basFileTools.h"

#include <system_error>

#include "TextUtil.h"

namespace morvex {

std::u16string JoinPathWith(std::u16string_view sFolder, std::u16string_view sFileName, char16_t separator) {
  std::u16string result;
  result.reserve(sFolder.size() + 1 + sFileName.size());
  result.append(sFolder);
  if (sFolder.empty() || sFolder.back() != separator) result.push_back(separator);
  result.append(sFileName);
  return result;
}

std::u16string JoinPath(std::u16string_view sFolder, std::u16string_view sFileName) {
  return JoinPathWith(sFolder, sFileName, kPathSeparator);
}

std::filesystem::path ToNativePath(std::u16string_view path) {
#ifdef _WIN32
  return std::filesystem::path(std::wstring(path.begin(), path.end()));
#else
  return std::filesystem::path(Utf16ToUtf8(path));
#endif
}

std::u16string FromNativePath(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::wstring& native = path.native();
  return std::u16string(native.begin(), native.end());
#else
  return Utf8ToUtf16(path.native());
#endif
}

bool FileExists(std::u16string_view sFile) {
  if (sFile.empty()) return false;
  std::error_code error;
  return std::filesystem::is_regular_file(ToNativePath(sFile), error);
}

std::u16string ResolveAgainst(std::u16string_view sBaseFolder, std::u16string_view sPath) {
  if (sPath.empty()) return std::u16string(sPath);
  const std::filesystem::path native = ToNativePath(sPath);
  if (native.is_absolute()) return std::u16string(sPath);
  return JoinPath(sBaseFolder, sPath);
}

}  // namespace morvex
