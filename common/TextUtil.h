// UTF-8/UTF-16 conversion and comparison without regard to letter case (Unicode case folding).
#pragma once

#include <string>
#include <string_view>

namespace morvex {

// Invalid sequences become U+FFFD; never throws.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Full Unicode case folding: "STRASSE" and "straße" fold alike, as do "Σ" and "ς".
std::u16string FoldCase(std::u16string_view text);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

// Upper-casing of the whole text by Unicode's root rules (no locale), for the built-in project test.
std::u16string ToUpper(std::u16string_view text);

// Number in signed decimal, as the report and the progress texts write it.
std::u16string ToDecimal(long long value);

}  // namespace morvex
