// The main window's three settings and the page server's name in the per-user registry store, as strings.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>

namespace morvex::win32 {

// Where an earlier tool of the same name kept them, so its settings carry over.
inline constexpr const wchar_t* kSettingsKey = L"Software\\VB and VBA Program Settings\\Morvex\\Settings";

struct MainSettings {
  std::string userPath;     // untrimmed, possibly empty
  int showInstances = 1;    // check box value 0, 1 or 2
  int ignoreBuiltIn = 1;
};

// A stored check box value as a whole number 0..2: text to a 16-bit integer with halves to even; anything
// that is not such a number (text, out of range, empty) loads as the default 1.
int CheckValueFromSetting(std::wstring_view stored);

// Reads the three values under root\keyPath; an absent key, an absent value or one of another type than
// REG_SZ (REG_EXPAND_SZ included, never expanded) gives the default.
MainSettings LoadSettings(HKEY root = HKEY_CURRENT_USER, const wchar_t* keyPath = kSettingsKey);
// The page server named by the PageServer value (REG_SZ, a ProgID or {CLSID}) under root\keyPath; empty,
// meaning our page-file server, when it is missing or of another type. Each run reads it afresh.
std::string LoadPageServerSetting(HKEY root = HKEY_CURRENT_USER, const wchar_t* keyPath = kSettingsKey);
// Writes PageServer as REG_SZ, empty for our page-file server; only the page server dialog's OK does. False
// when the key cannot be written.
bool SavePageServerSetting(std::string_view classIdentifier, HKEY root = HKEY_CURRENT_USER,
                           const wchar_t* keyPath = kSettingsKey);
// Writes the three values as REG_SZ in the order UserPath, ShowInstances, IgnoreBuiltInProjects.
void SaveSettings(const MainSettings& settings, HKEY root = HKEY_CURRENT_USER, const wchar_t* keyPath = kSettingsKey);

}  // namespace morvex::win32
