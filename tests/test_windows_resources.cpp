// The Windows programs' resources as the shell and the installer read them: the version record and icon 1.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Version.h"

namespace {

struct FileVersion {
  bool found = false;
  DWORD fileMajorMinor = 0;
  DWORD fileRevision = 0;
  DWORD productMajorMinor = 0;
  std::wstring productVersion;
  std::wstring fileVersion;
};

std::wstring Widen(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }

std::wstring StringValue(std::vector<BYTE>& block, const wchar_t* name) {
  wchar_t* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
  if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || length == 0) return {};
  return std::wstring(value);
}

FileVersion ReadVersion(const std::filesystem::path& file) {
  FileVersion version;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) return version;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return version;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length)) return version;
  version.found = true;
  version.fileMajorMinor = fixed->dwFileVersionMS;
  version.fileRevision = fixed->dwFileVersionLS;
  version.productMajorMinor = fixed->dwProductVersionMS;
  version.productVersion = StringValue(block, L"ProductVersion");
  version.fileVersion = StringValue(block, L"FileVersion");
  return version;
}

bool HasIconOne(const std::filesystem::path& file) {
  HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr) return false;
  const bool found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */) != nullptr;
  FreeLibrary(module);
  return found;
}

TEST(WindowsResources, EveryProgramCarriesTheProjectVersionAndTheIcon) {
  const std::filesystem::path folder = MORVEX_PROGRAM_DIR;
  const DWORD majorMinor = MAKELONG(morvex::kVersionMinor, morvex::kVersionMajor);
  const DWORD revision = MAKELONG(0, morvex::kVersionRevision);
  std::vector<const char*> names{"morvex.exe", "morvex-scan.exe", "morvex-dbf.exe"};
#ifdef MORVEX_HAS_PAGES_DLL
  names.push_back("morvex-pages.dll");
#endif
  for (const char* name : names) {
    const std::filesystem::path file = folder / name;
    SCOPED_TRACE(name);
    const FileVersion version = ReadVersion(file);
    ASSERT_TRUE(version.found);
    EXPECT_EQ(version.fileMajorMinor, majorMinor);
    EXPECT_EQ(version.fileRevision, revision);
    EXPECT_EQ(version.productMajorMinor, majorMinor);
    EXPECT_EQ(version.productVersion, Widen(morvex::kVersionText));
    EXPECT_EQ(version.fileVersion, Widen(morvex::kVersionText));
    EXPECT_TRUE(HasIconOne(file));
  }
}

}  // namespace
