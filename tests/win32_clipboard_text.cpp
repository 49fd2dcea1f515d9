// morvex-test-clipboard: writes the clipboard's Unicode text to stdout as UTF-8, bytes unchanged, for the
// smoke test that copies the results box the way a user does.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <string>

#include "TextUtil.h"

int main() {
  if (!OpenClipboard(nullptr)) return 2;
  std::u16string text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const char16_t*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  const std::string utf8 = morvex::Utf16ToUtf8(text);
  // Binary output: the CR LF line ends are what the smoke test checks.
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  return written == utf8.size() ? 0 : 1;
}
