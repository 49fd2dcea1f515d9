// Decoding bytes in a Windows code page straight into UTF-8, as the tables' values need.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace morvex {

namespace platform {
class MultiByteConverter;
}

// Code page 0, the system's default 8-bit code page: Windows' own where there is one, else Windows-1252.
int32_t DefaultCodePage();

// What one byte of a single-byte page decodes to: up to three bytes of UTF-8 (every such page stays in the
// Basic Multilingual Plane).
struct Utf8OfByte {
  char bytes[3];
  uint8_t length;
};
static_assert(sizeof(Utf8OfByte) == 4, "decoding stores an entry whole");
using Utf8ByteTable = std::array<Utf8OfByte, 256>;

// One decoder per code page. Single-byte pages go through a 256-entry table shared by every decoder of that
// page; multi-byte pages hold a converter of their own, so a decoder is used from one thread at a time.
class CodePageDecoder {
 public:
  explicit CodePageDecoder(int32_t codepage);
  ~CodePageDecoder();
  CodePageDecoder(CodePageDecoder&&) noexcept;
  CodePageDecoder& operator=(CodePageDecoder&&) noexcept;
  CodePageDecoder(const CodePageDecoder&) = delete;
  CodePageDecoder& operator=(const CodePageDecoder&) = delete;

  int32_t CodePage() const { return codepage_; }
  bool Supported() const { return table_ != nullptr || converter_ != nullptr; }

  // Every byte is decoded, NUL included. An unsupported page or a failed conversion gives empty text.
  std::string Decode(const uint8_t* bytes, size_t count) const;
  // The same, appended to out; out is left as it was when nothing can be decoded.
  void DecodeAppend(const uint8_t* bytes, size_t count, std::string& out) const;

  // The byte table of a single-byte page, null for the others.
  const Utf8ByteTable* ByteTable() const { return table_.get(); }

 private:
  int32_t codepage_;
  std::shared_ptr<const Utf8ByteTable> table_;
  std::unique_ptr<platform::MultiByteConverter> converter_;
};

// One-off decoding; builds a decoder for the call.
std::string DecodeCodePage(const uint8_t* bytes, size_t count, int32_t codepage);

}  // namespace morvex
