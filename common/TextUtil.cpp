// UTF conversions and case handling on ICU's C API.
#include "TextUtil.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <climits>

#include "Error.h"

namespace morvex {

namespace {

const UChar* AsUChar(const char16_t* p) { return reinterpret_cast<const UChar*>(p); }
UChar* AsUChar(char16_t* p) { return reinterpret_cast<UChar*>(p); }

int32_t CheckedLength(size_t size) {
  if (size > static_cast<size_t>(INT32_MAX / 4)) ThrowOverflow("Text too long for conversion");
  return static_cast<int32_t>(size);
}

// ICU's "preflight then convert" idiom shared by the case mappings.
template <typename MapFunction>
std::u16string MapWithIcu(std::u16string_view text, MapFunction map) {
  if (text.empty()) return {};
  const int32_t length = CheckedLength(text.size());
  std::u16string result(text.size(), u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t needed = map(AsUChar(result.data()), static_cast<int32_t>(result.size()), AsUChar(text.data()), length,
                       &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    result.assign(static_cast<size_t>(needed), u'\0');
    status = U_ZERO_ERROR;
    needed = map(AsUChar(result.data()), needed, AsUChar(text.data()), length, &status);
  }
  if (U_FAILURE(status)) return std::u16string(text);
  result.resize(static_cast<size_t>(needed));
  return result;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int32_t length = CheckedLength(utf8.size());
  std::u16string result(utf8.size(), u'\0');  // UTF-16 never needs more units than UTF-8 has bytes
  int32_t written = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(AsUChar(result.data()), static_cast<int32_t>(result.size()), &written, utf8.data(), length,
                       0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return {};
  result.resize(static_cast<size_t>(written));
  return result;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  if (utf16.empty()) return {};
  const int32_t length = CheckedLength(utf16.size());
  std::string result(utf16.size() * 3, '\0');
  int32_t written = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(result.data(), static_cast<int32_t>(result.size()), &written, AsUChar(utf16.data()), length,
                     0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return {};
  result.resize(static_cast<size_t>(written));
  return result;
}

std::u16string FoldCase(std::u16string_view text) {
  return MapWithIcu(text, [](UChar* dest, int32_t capacity, const UChar* src, int32_t length, UErrorCode* status) {
    return u_strFoldCase(dest, capacity, src, length, U_FOLD_CASE_DEFAULT, status);
  });
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  // Pure ASCII is by far the common case (field names, most property texts) and needs no ICU call.
  if (a.size() == b.size()) {
    bool ascii = true;
    for (size_t i = 0; i < a.size() && ascii; ++i) {
      const char16_t x = a[i], y = b[i];
      if (x >= 0x80 || y >= 0x80) {
        ascii = false;
        break;
      }
      const char16_t lx = (x >= u'A' && x <= u'Z') ? static_cast<char16_t>(x + 32) : x;
      const char16_t ly = (y >= u'A' && y <= u'Z') ? static_cast<char16_t>(y + 32) : y;
      if (lx != ly) return false;
    }
    if (ascii) return true;
  }
  UErrorCode status = U_ZERO_ERROR;
  const int32_t order = u_strCaseCompare(AsUChar(a.data()), CheckedLength(a.size()), AsUChar(b.data()),
                                         CheckedLength(b.size()), U_FOLD_CASE_DEFAULT, &status);
  return U_SUCCESS(status) && order == 0;
}

std::u16string ToUpper(std::u16string_view text) {
  return MapWithIcu(text, [](UChar* dest, int32_t capacity, const UChar* src, int32_t length, UErrorCode* status) {
    return u_strToUpper(dest, capacity, src, length, "", status);
  });
}

std::u16string ToDecimal(long long value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace morvex
