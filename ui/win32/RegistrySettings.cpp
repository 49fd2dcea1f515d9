// Reading and writing the main window's settings under the per-user registry key, all as REG_SZ strings.
#include "RegistrySettings.h"

#include <cwchar>
#include <cwctype>

#include "FrontEndRules.h"
#include "TextUtil.h"
#include "Win32Form.h"

namespace morvex::win32 {

namespace {

constexpr int kDefaultCheckValue = 1;

// Without RRF_NOEXPAND the system expands a REG_EXPAND_SZ value and hands it over as REG_SZ, past the type
// restriction: a path stored that way would come back changed, and be written back expanded on close.
constexpr DWORD kStringOnly = RRF_RT_REG_SZ | RRF_NOEXPAND;

bool ReadString(HKEY key, const wchar_t* name, std::wstring& value) {
  DWORD bytes = 0;
  if (RegGetValueW(key, nullptr, name, kStringOnly, nullptr, nullptr, &bytes) != ERROR_SUCCESS) return false;
  std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegGetValueW(key, nullptr, name, kStringOnly, nullptr, text.data(), &bytes) != ERROR_SUCCESS) {
    return false;
  }
  text.resize(wcsnlen(text.c_str(), text.size()));
  value = std::move(text);
  return true;
}

bool WriteString(HKEY key, const wchar_t* name, const std::wstring& value) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

int ReadCheckValue(HKEY key, const wchar_t* name) {
  std::wstring stored;
  return ReadString(key, name, stored) ? CheckValueFromSetting(stored) : kDefaultCheckValue;
}

}  // namespace

int CheckValueFromSetting(std::wstring_view stored) {
  // The system knows more blanks than ASCII's; the rest of the rule is the one every front end shares.
  while (!stored.empty() && std::iswspace(stored.back())) stored.remove_suffix(1);
  while (!stored.empty() && std::iswspace(stored.front())) stored.remove_prefix(1);
  return morvex::CheckValueFromSetting(WideToUtf8(stored));
}

MainSettings LoadSettings(HKEY root, const wchar_t* keyPath) {
  MainSettings settings;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return settings;
  std::wstring path;
  if (ReadString(key, L"UserPath", path)) settings.userPath = WideToUtf8(path);
  settings.showInstances = ReadCheckValue(key, L"ShowInstances");
  settings.ignoreBuiltIn = ReadCheckValue(key, L"IgnoreBuiltInProjects");
  RegCloseKey(key);
  return settings;
}

std::string LoadPageServerSetting(HKEY root, const wchar_t* keyPath) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
  std::wstring identifier;
  ReadString(key, L"PageServer", identifier);
  RegCloseKey(key);
  return WideToUtf8(identifier);
}

bool SavePageServerSetting(std::string_view classIdentifier, HKEY root, const wchar_t* keyPath) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool written = WriteString(key, L"PageServer", Utf8ToWide(classIdentifier));
  RegCloseKey(key);
  return written;
}

void SaveSettings(const MainSettings& settings, HKEY root, const wchar_t* keyPath) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) return;
  WriteString(key, L"UserPath", Utf8ToWide(settings.userPath));
  WriteString(key, L"ShowInstances", std::to_wstring(settings.showInstances));
  WriteString(key, L"IgnoreBuiltInProjects", std::to_wstring(settings.ignoreBuiltIn));
  RegCloseKey(key);
}

}  // namespace morvex::win32
