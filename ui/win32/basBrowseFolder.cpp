// The folder picker on the shell's SHBrowseForFolderW, with the start folder selected from its callback.
#include "basBrowseFolder.h"

#include "TextUtil.h"
#include "Win32Form.h"

#include <shlobj.h>

#include <cstring>
#include <cwchar>

namespace morvex::win32::basBrowseFolder {

namespace {

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM startFolder) {
  // The browser can be told its selection only once it exists.
  if (message == BFFM_INITIALIZED) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, startFolder);
  return 0;
}

}  // namespace

std::optional<std::string> PathOfItem(const void* itemIdList) {
  const auto item = static_cast<PCIDLIST_ABSOLUTE>(itemIdList);
  // The longest path the wide file calls take; the call fails rather than cut a longer one.
  std::wstring path(32768, L'\0');
  if (!SHGetPathFromIDListEx(item, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) {
    return std::nullopt;
  }
  path.resize(std::wcslen(path.c_str()));
  return WideToUtf8(path);
}

std::string BrowseFolder(const std::string& sTitle, const std::string& sStartPath, bool bNewStyle) {
  const std::wstring startFolder = sStartPath.empty() ? std::wstring(L"c:\\") : Utf8ToWide(sStartPath);
  const std::wstring title = Utf8ToWide(sTitle);

  // The callback gets the folder through memory of the process's own, alive for the whole browse.
  const size_t blockBytes = (startFolder.size() + 1) * sizeof(wchar_t);
  HLOCAL block = LocalAlloc(LPTR, blockBytes);
  if (block == nullptr) return sStartPath;
  std::memcpy(block, startFolder.c_str(), blockBytes);

  BROWSEINFOW request{};
  request.hwndOwner = GetForegroundWindow();
  request.lpszTitle = title.c_str();
  request.ulFlags = BIF_RETURNONLYFSDIRS | (bNewStyle ? BIF_NEWDIALOGSTYLE : 0);
  request.lpfn = BrowseCallback;
  request.lParam = reinterpret_cast<LPARAM>(block);

  std::string result = sStartPath;
  if (PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&request)) {
    result = PathOfItem(item).value_or(std::string());
    CoTaskMemFree(item);
  }
  LocalFree(block);
  return result;
}

}  // namespace morvex::win32::basBrowseFolder
