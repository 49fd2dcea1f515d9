// UTF-8 case handling on ICU's UTF-8 case mapping, with ASCII handled without it.
#include "TextUtil.h"

#include <unicode/ucasemap.h>
#include <unicode/ustring.h>

#include <charconv>
#include <climits>
#include <cstring>
#include <memory>

#include "Error.h"

namespace morvex {

namespace {

const UChar* AsUChar(const char16_t* p) { return reinterpret_cast<const UChar*>(p); }
UChar* AsUChar(char16_t* p) { return reinterpret_cast<UChar*>(p); }

int32_t CheckedLength(size_t size) {
  if (size > static_cast<size_t>(INT32_MAX / 4)) ThrowOverflow("Text too long for conversion");
  return static_cast<int32_t>(size);
}

struct CaseMapCloser {
  void operator()(UCaseMap* map) const { ucasemap_close(map); }
};

// One case map per thread: the page reader runs beside the scan, and a map is not to be shared.
const UCaseMap* RootCaseMap() {
  thread_local std::unique_ptr<UCaseMap, CaseMapCloser> map = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCaseMap, CaseMapCloser> opened(ucasemap_open("", U_FOLD_CASE_DEFAULT, &status));
    if (U_FAILURE(status)) opened.reset();
    return opened;
  }();
  return map.get();
}

// ICU's "preflight then convert" idiom shared by the case mappings.
template <typename MapFunction>
std::string MapWithIcu(std::string_view text, MapFunction map) {
  const UCaseMap* caseMap = RootCaseMap();
  if (caseMap == nullptr) return std::string(text);
  const int32_t length = CheckedLength(text.size());
  std::string result(text.size() + 8, '\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t needed =
      map(caseMap, result.data(), static_cast<int32_t>(result.size()), text.data(), length, &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    result.assign(static_cast<size_t>(needed), '\0');
    status = U_ZERO_ERROR;
    needed = map(caseMap, result.data(), needed, text.data(), length, &status);
  }
  if (U_FAILURE(status)) return std::string(text);
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

void AppendUtf8(std::string& out, char32_t c) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

namespace {

// Length of the well-formed sequence at text[at], or 0 for an ill-formed one; maximal is how many bytes the
// bad subpart covers (at least one).
size_t WellFormedLength(std::string_view text, size_t at, size_t& maximal) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  maximal = 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  for (size_t i = 1; i < length; ++i) {
    if (at + i >= text.size()) return 0;
    const unsigned char next = byte(at + i);
    const unsigned char min = i == 1 ? low : 0x80, max = i == 1 ? high : 0xBF;
    if (next < min || next > max) return 0;
    maximal = i + 1;
  }
  return length;
}

}  // namespace

void AppendValidUtf8(std::string& out, std::string_view text) {
  size_t at = 0;
  while (at < text.size()) {
    size_t maximal = 1;
    const size_t length = WellFormedLength(text, at, maximal);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      at += maximal;
    } else {
      out.append(text.substr(at, length));
      at += length;
    }
  }
}

bool IsAscii(std::string_view text) {
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    if (word & 0x8080808080808080ull) return false;
  }
  for (; i < text.size(); ++i)
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  return true;
}

std::string FoldCase(std::string_view text) {
  if (IsAscii(text)) {
    std::string folded(text);
    for (char& c : folded) c = AsciiLower(c);
    return folded;
  }
  return MapWithIcu(text, [](const UCaseMap* map, char* dest, int32_t capacity, const char* src,
                             int32_t length, UErrorCode* status) {
    return ucasemap_utf8FoldCase(map, dest, capacity, src, length, status);
  });
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  // Pure ASCII is by far the common case (field names, most property texts) and needs no ICU call.
  const bool asciiA = IsAscii(a), asciiB = IsAscii(b);
  if (asciiA && asciiB) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
  }
  return FoldCase(a) == FoldCase(b);
}

std::string ToUpper(std::string_view text) {
  if (IsAscii(text)) {
    std::string upper(text);
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
    return upper;
  }
  return MapWithIcu(text, [](const UCaseMap* map, char* dest, int32_t capacity, const char* src,
                             int32_t length, UErrorCode* status) {
    return ucasemap_utf8ToUpper(map, dest, capacity, src, length, status);
  });
}

void AppendDecimal(std::string& out, long long value) {
  char digits[24];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, static_cast<size_t>(end - digits));
}

std::string ToDecimal(long long value) {
  std::string text;
  AppendDecimal(text, value);
  return text;
}

}  // namespace morvex
