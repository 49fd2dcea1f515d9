// Code-page decoding to UTF-8 through the platform's converter, with cached tables for the single-byte pages.
#include "CodePage.h"

#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "Platform.h"
#include "TextUtil.h"

namespace morvex {

namespace {

std::shared_ptr<const Utf8ByteTable> BuildTable(int32_t codepage) {
  const std::array<char16_t, 256> units = platform::SingleByteUnits(codepage);
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
  int32_t effective = 0;
  platform::CodePageKind kind = platform::CodePageKind::kUnsupported;
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
  source.effective = codepage == 0 ? DefaultCodePage() : codepage;
  source.kind = platform::ClassifyCodePage(source.effective);
  if (source.kind == platform::CodePageKind::kSingleByte) source.table = BuildTable(source.effective);
  return cache.emplace(codepage, std::move(source)).first->second;
}

}  // namespace

int32_t DefaultCodePage() { return platform::SystemCodePage(); }

CodePageDecoder::CodePageDecoder(int32_t codepage) : codepage_(codepage) {
  const DecoderSource& source = LookUp(codepage);
  table_ = source.table;
  if (source.kind == platform::CodePageKind::kMultiByte) converter_ = platform::OpenMultiByteConverter(source.effective);
}

CodePageDecoder::~CodePageDecoder() = default;
CodePageDecoder::CodePageDecoder(CodePageDecoder&&) noexcept = default;
CodePageDecoder& CodePageDecoder::operator=(CodePageDecoder&&) noexcept = default;

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
  if (!converter_) return;
  std::u16string text;
  if (!converter_->Decode(bytes, count, text)) return;
  out += Utf16ToUtf8(text);
}

std::string DecodeCodePage(const uint8_t* bytes, size_t count, int32_t codepage) {
  return CodePageDecoder(codepage).Decode(bytes, count);
}

}  // namespace morvex
