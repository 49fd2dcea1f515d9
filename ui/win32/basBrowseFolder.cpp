// The folder picker on the shell's SHBrowseForFolderW, with the start folder selected from its callback.
#include "basBrowseFolder.h"

#include "Win32Form.h"

#include <shlobj.h>

#include <cstring>

namespace morvex::win32::basBrowseFolder {

namespace {

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM startFolder) {
  // The browser can be told its selection only once it exists.
  if (message == BFFM_INITIALIZED) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, startFolder);
  return 0;
}

}  // namespace

std::string BrowseFolder(const std::string& sTitle, const std::string& sStartPath, bool bNewStyle) {
  const std::wstring startFolder = sStartPath.empty() ? std::wstring(L"c:\\") : Wide(sStartPath);
  const std::wstring title = Wide(sTitle);

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
    wchar_t path[MAX_PATH] = {};
    result = SHGetPathFromIDListW(item, path) ? Narrow(path) : std::string();
    CoTaskMemFree(item);
  }
  LocalFree(block);
  return result;
}

}  // namespace morvex::win32::basBrowseFolder
