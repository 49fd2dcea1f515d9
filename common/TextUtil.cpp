// UTF-8 text helpers: conversions written out here, case handled for ASCII here and by the platform beyond.
#include "TextUtil.h"

#include <charconv>
#include <cstring>

#include "Platform.h"

namespace morvex {

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

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string result;
  result.reserve(utf8.size());  // UTF-16 never needs more units than UTF-8 has bytes
  size_t at = 0;
  while (at < utf8.size()) {
    size_t maximal = 1;
    const size_t length = WellFormedLength(utf8, at, maximal);
    if (length == 0) {
      result.push_back(u'\xFFFD');
      at += maximal;
      continue;
    }
    const auto byte = [&](size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(utf8[at + i])); };
    char32_t c = 0;
    switch (length) {
      case 1: c = byte(0); break;
      case 2: c = ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F); break;
      case 3: c = ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F); break;
      default: c = ((byte(0) & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) | (byte(3) & 0x3F); break;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      result.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      result.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      result.push_back(static_cast<char16_t>(c));
    }
    at += length;
  }
  return result;
}

#ifdef _WIN32
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring Utf8ToWide(std::string_view utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}

std::string WideToUtf8(std::wstring_view wide) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}
#endif

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string result;
  result.reserve(utf16.size() * 3);
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    }
    AppendUtf8(result, c);  // a lone surrogate becomes U+FFFD
  }
  return result;
}

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

bool IsValidUtf8(std::string_view text) {
  size_t at = 0;
  while (at < text.size()) {
    if (static_cast<unsigned char>(text[at]) < 0x80) {
      ++at;
      continue;
    }
    size_t maximal = 1;
    const size_t length = WellFormedLength(text, at, maximal);
    if (length == 0) return false;
    at += length;
  }
  return true;
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
  return platform::FoldCaseText(text);
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
  return platform::EqualsIgnoreCaseText(a, b);
}

std::string ToUpper(std::string_view text) {
  if (IsAscii(text)) {
    std::string upper(text);
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
    return upper;
  }
  return platform::ToUpperText(text);
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
