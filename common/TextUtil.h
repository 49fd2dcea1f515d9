// UTF-8 text helpers of the core: conversions for the edges, ASCII checks, case folding and comparison.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvex {

// The core holds every text as UTF-8; these serve the edges (Qt's QString, Windows' wide calls).
// Invalid sequences become U+FFFD; never throws.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
#ifdef _WIN32
// The same for the wide calls, whose wchar_t is a UTF-16 unit on Windows.
std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);
#endif

// Appends one code point as UTF-8 (a surrogate or a value past U+10FFFF as U+FFFD).
void AppendUtf8(std::string& out, char32_t codePoint);

// Length of the well-formed UTF-8 sequence at text[at] (1 for ASCII), or 0 for an ill-formed one: overlong
// forms, surrogates and code points past U+10FFFF included; maximal is how many bytes the bad subpart covers
// (at least one).
size_t WellFormedLength(std::string_view text, size_t at, size_t& maximal);

// Appends the text with every ill-formed UTF-8 sequence replaced by U+FFFD, one per maximal bad subpart.
void AppendValidUtf8(std::string& out, std::string_view text);

// Most texts of a site are ASCII, where case needs no tables; checked eight bytes at a time.
bool IsAscii(std::string_view text);
// True when every byte belongs to a well-formed UTF-8 sequence (what AppendValidUtf8 copies unchanged).
bool IsValidUtf8(std::string_view text);
inline char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Case folding by the platform's rules (full Unicode folding on Linux, the system's simple upper-casing on
// Windows); ASCII folds to lower case everywhere.
std::string FoldCase(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Upper-casing of the whole text without a locale, for the built-in project test (Linux expands ß to SS).
std::string ToUpper(std::string_view text);

// Number in signed decimal, as the report and the progress texts write it.
std::string ToDecimal(long long value);
void AppendDecimal(std::string& out, long long value);

}  // namespace morvex
