// Code-page decoding to UTF-8 on ICU converters, with cached tables for the single-byte pages.
#include "CodePage.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <climits>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "TextUtil.h"

namespace morvex {

namespace {

// Undefined bytes: Windows-1252 gives the C1 control of the same number (0x81 -> U+0081), as the platform's
// converter does; other single-byte pages give the replacement character.
constexpr char16_t kReplacement = 0xFFFD;

// ICU's IBM tables differ from the platform converter the tables were written with in a few bytes. The
// controls: IBM rotates 0x1A, 0x1C and 0x7F, the platform keeps every byte below 0x80 as itself. The rest are
// characters the platform's tables map to another (or any) code point.
struct ByteCorrection {
  int32_t codepage;
  uint8_t byte;
  char16_t value;
};
constexpr ByteCorrection kPlatformCorrections[] = {
    {437, 0xE6, 0x00B5}, {860, 0xE6, 0x00B5}, {861, 0xE6, 0x00B5},
    {862, 0xE6, 0x00B5}, {863, 0xE6, 0x00B5}, {865, 0xE6, 0x00B5},  // micro sign, not Greek mu
    {852, 0xAA, 0x00AC},                                            // not sign; ICU leaves it undefined
    {869, 0x88, 0x00B7}, {869, 0xEF, 0x0384},  // middle dot and tonos, not ano teleia and acute accent
};

bool IsOemPage(int32_t codepage) {
  return codepage >= 437 && codepage <= 869;
}

void ApplyPlatformCorrections(std::array<char16_t, 256>& table, int32_t codepage) {
  if (IsOemPage(codepage)) {
    for (size_t byte = 0; byte < 0x80; ++byte) table[byte] = static_cast<char16_t>(byte);
  }
  for (const ByteCorrection& correction : kPlatformCorrections) {
    if (correction.codepage == codepage) table[correction.byte] = correction.value;
  }
}

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr OpenConverter(const std::string& name) {
  if (name.empty()) return nullptr;
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr converter(ucnv_open(name.c_str(), &status));
  if (U_FAILURE(status)) return nullptr;
  return converter;
}

std::shared_ptr<const Utf8ByteTable> BuildTable(UConverter* converter, int32_t codepage) {
  std::array<char16_t, 256> units{};
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  for (int byte = 0; byte < 256; ++byte) {
    const char in = static_cast<char>(byte);
    UChar out[4] = {};
    status = U_ZERO_ERROR;
    ucnv_reset(converter);
    const int32_t n = ucnv_toUChars(converter, out, 4, &in, 1, &status);
    char16_t value = kReplacement;
    if (U_SUCCESS(status) && n == 1) {
      value = static_cast<char16_t>(out[0]);
    } else if (codepage == kDefaultCodePage) {
      value = static_cast<char16_t>(byte);
    }
    units[static_cast<size_t>(byte)] = value;
  }
  ApplyPlatformCorrections(units, codepage);
  auto table = std::make_shared<Utf8ByteTable>();
  std::string sequence;
  for (size_t byte = 0; byte < 256; ++byte) {
    sequence.clear();
    AppendUtf8(sequence, units[byte]);
    Utf8OfByte& entry = (*table)[byte];
    std::memcpy(entry.bytes, sequence.data(), sequence.size());
    entry.length = static_cast<uint8_t>(sequence.size());
  }
  return table;
}

struct DecoderSource {
  std::string icuName;                      // empty: unsupported
  std::shared_ptr<const Utf8ByteTable> table;  // set for single-byte pages
};

// Tables are immutable once built; the cache only saves building them again for every table read.
const DecoderSource& LookUp(int32_t codepage) {
  static std::mutex mutex;
  static std::map<int32_t, DecoderSource> cache;
  std::lock_guard<std::mutex> lock(mutex);
  auto found = cache.find(codepage);
  if (found != cache.end()) return found->second;
  DecoderSource source;
  const int32_t effective = codepage == 0 ? kDefaultCodePage : codepage;
  source.icuName = IcuNameForCodePage(effective);
  if (ConverterPtr converter = OpenConverter(source.icuName)) {
    if (ucnv_getMaxCharSize(converter.get()) == 1) source.table = BuildTable(converter.get(), effective);
  } else {
    source.icuName.clear();
  }
  return cache.emplace(codepage, std::move(source)).first->second;
}

}  // namespace

std::string IcuNameForCodePage(int32_t codepage) {
  if (codepage == 0) codepage = kDefaultCodePage;
  switch (codepage) {
    case 437: return "ibm-437";
    case 850: return "ibm-850";
    case 852: return "ibm-852";
    case 855: return "ibm-855";
    case 857: return "ibm-857";
    case 860: return "ibm-860";
    case 861: return "ibm-861";
    case 862: return "ibm-862";
    case 863: return "ibm-863";
    case 865: return "ibm-865";
    case 866: return "ibm-866";
    case 869: return "ibm-869";
    case 874: return "windows-874";
    case 932: return "windows-31j";
    case 936: return "windows-936";
    case 949: return "windows-949";
    case 950: return "windows-950";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 28591: return "ISO-8859-1";
    case 28592: return "ISO-8859-2";
    case 28595: return "ISO-8859-5";
    case 28597: return "ISO-8859-7";
    case 28605: return "ISO-8859-15";
    case 54936: return "GB18030";
    case 65001: return "UTF-8";
    default: break;
  }
  if (codepage < 1 || codepage > 65535) return {};
  // ICU knows most of the rest under this alias (1250 to 1258 among them).
  const std::string name = "windows-" + std::to_string(codepage);
  return OpenConverter(name) ? name : std::string();
}

CodePageDecoder::CodePageDecoder(int32_t codepage) : codepage_(codepage) {
  const DecoderSource& source = LookUp(codepage);
  table_ = source.table;
  if (!table_ && !source.icuName.empty()) converter_ = OpenConverter(source.icuName).release();
}

CodePageDecoder::~CodePageDecoder() {
  if (converter_) ucnv_close(converter_);
}

CodePageDecoder::CodePageDecoder(CodePageDecoder&& other) noexcept
    : codepage_(other.codepage_), table_(std::move(other.table_)), converter_(std::exchange(other.converter_, nullptr)) {}

CodePageDecoder& CodePageDecoder::operator=(CodePageDecoder&& other) noexcept {
  if (this != &other) {
    if (converter_) ucnv_close(converter_);
    codepage_ = other.codepage_;
    table_ = std::move(other.table_);
    converter_ = std::exchange(other.converter_, nullptr);
  }
  return *this;
}

std::string CodePageDecoder::Decode(const uint8_t* bytes, size_t count) const {
  std::string text;
  DecodeAppend(bytes, count, text);
  return text;
}

void CodePageDecoder::DecodeAppend(const uint8_t* bytes, size_t count, std::string& out) const {
  if (count == 0) return;
  if (table_) {
    const Utf8ByteTable& table = *table_;
    for (size_t i = 0; i < count; ++i) {
      const Utf8OfByte& entry = table[bytes[i]];
      out.append(entry.bytes, entry.length);
    }
    return;
  }
  if (!converter_ || count > static_cast<size_t>(INT32_MAX / 2 - 2)) return;
  // No code page gives more than two UTF-16 units per byte.
  std::u16string text(count * 2 + 2, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  ucnv_reset(converter_);
  const int32_t written =
      ucnv_toUChars(converter_, reinterpret_cast<UChar*>(text.data()), static_cast<int32_t>(text.size()),
                    reinterpret_cast<const char*>(bytes), static_cast<int32_t>(count), &status);
  if (U_FAILURE(status) || written <= 0) return;
  text.resize(static_cast<size_t>(written));
  out += Utf16ToUtf8(text);
}

std::string DecodeCodePage(const uint8_t* bytes, size_t count, int32_t codepage) {
  return CodePageDecoder(codepage).Decode(bytes, count);
}

}  // namespace morvex
