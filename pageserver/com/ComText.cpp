// UTF-8 and BSTR conversions, with a straight copy for the ASCII that page texts nearly always are.
#include "ComText.h"

#include <limits>
#include <new>

#include "TextUtil.h"

namespace morvex::com {

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

BSTR NewBstr(std::string_view utf8) {
  if (IsAscii(utf8)) {
    if (utf8.size() > std::numeric_limits<UINT>::max() / sizeof(OLECHAR)) throw std::bad_alloc();
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(utf8.size()));
    if (text == nullptr) throw std::bad_alloc();
    for (size_t i = 0; i < utf8.size(); ++i) text[i] = static_cast<OLECHAR>(utf8[i]);
    return text;
  }
  const std::u16string wide = Utf8ToUtf16(utf8);
  if (wide.size() > std::numeric_limits<UINT>::max() / sizeof(OLECHAR)) throw std::bad_alloc();
  BSTR text = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.data()), static_cast<UINT>(wide.size()));
  if (text == nullptr) throw std::bad_alloc();
  return text;
}

bool AssignUtf8(std::string& out, BSTR text) {
  const size_t length = SysStringLen(text);
  if (length > kLongestText) return false;
  size_t ascii = 0;
  while (ascii < length && text[ascii] < 0x80) ++ascii;
  if (ascii == length) {
    out.resize(length);
    for (size_t i = 0; i < length; ++i) out[i] = static_cast<char>(text[i]);
    return true;
  }
  out = Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
  return true;
}

}  // namespace morvex::com
