// A validating walk over JSON text that stops at the first byte breaking the grammar or UTF-8.
#include "JsonFault.h"

#include <vector>

namespace morvex {

namespace {

bool IsWhiteSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(unsigned char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Each scanner starts at its token's first byte, moves `at` past the token and returns true, or leaves `at`
// on the offending byte and returns false.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  size_t at = 0;

  bool AtEnd() const { return at >= text_.size(); }
  unsigned char Peek() const { return static_cast<unsigned char>(text_[at]); }
  void SkipWhiteSpace() {
    while (!AtEnd() && IsWhiteSpace(Peek())) ++at;
  }

  bool String() {
    ++at;  // the opening quote
    while (!AtEnd()) {
      const unsigned char c = Peek();
      if (c == '"') {
        ++at;
        return true;
      }
      if (c < 0x20) return false;
      if (c == '\\') {
        if (!Escape()) return false;
      } else if (c < 0x80) {
        ++at;
      } else if (!Utf8Sequence()) {
        return false;
      }
    }
    return false;
  }

  bool Number() {
    if (Peek() == '-') ++at;
    if (AtEnd() || !IsDigit(Peek())) return false;
    if (Peek() == '0') {
      ++at;
    } else {
      SkipDigits();
    }
    if (!AtEnd() && Peek() == '.') {
      ++at;
      if (AtEnd() || !IsDigit(Peek())) return false;
      SkipDigits();
    }
    if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
      ++at;
      if (!AtEnd() && (Peek() == '+' || Peek() == '-')) ++at;
      if (AtEnd() || !IsDigit(Peek())) return false;
      SkipDigits();
    }
    return true;
  }

  bool Literal(std::string_view word) {
    for (const char expected : word) {
      if (AtEnd() || text_[at] != expected) return false;
      ++at;
    }
    return true;
  }

 private:
  void SkipDigits() {
    while (!AtEnd() && IsDigit(Peek())) ++at;
  }

  bool Escape() {
    ++at;  // the backslash
    if (AtEnd()) return false;
    const unsigned char c = Peek();
    if (c == 'u') {
      ++at;
      for (int i = 0; i < 4; ++i, ++at)
        if (AtEnd() || !IsHexDigit(Peek())) return false;
      return true;
    }
    if (c == '"' || c == '\\' || c == '/' || c == 'b' || c == 'f' || c == 'n' || c == 'r' || c == 't') {
      ++at;
      return true;
    }
    return false;
  }

  // One multi-byte UTF-8 character; overlong forms, surrogates and code points past U+10FFFF are refused.
  bool Utf8Sequence() {
    const size_t start = at;
    if (!Utf8SequenceFrom(start)) {
      at = start;  // a broken character is reported where it begins
      return false;
    }
    return true;
  }

  bool Utf8SequenceFrom(size_t start) {
    const unsigned char lead = static_cast<unsigned char>(text_[start]);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    ++at;
    for (size_t i = 1; i < length; ++i, ++at) {
      if (AtEnd()) return false;
      const unsigned char c = Peek();
      if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) return false;
    }
    return true;
  }

  std::string_view text_;
};

enum class Expect { kValue, kValueOrClose, kKeyOrClose, kKey, kColon, kCommaOrClose };

}  // namespace

std::optional<size_t> FindJsonFault(std::string_view text) {
  Scanner scan(text);
  std::vector<char> open;  // the closing bracket of every container entered and not yet left
  Expect expect = Expect::kValue;
  for (;;) {
    scan.SkipWhiteSpace();
    if (scan.AtEnd()) {
      if (open.empty() && expect == Expect::kCommaOrClose) return std::nullopt;
      return scan.at;
    }
    const unsigned char c = scan.Peek();
    switch (expect) {
      case Expect::kValueOrClose:
      case Expect::kKeyOrClose:
        if (c == open.back()) {
          open.pop_back();
          ++scan.at;
          expect = Expect::kCommaOrClose;
          continue;
        }
        expect = expect == Expect::kValueOrClose ? Expect::kValue : Expect::kKey;
        continue;
      case Expect::kValue: {
        bool ok = true;
        if (c == '{' || c == '[') {
          open.push_back(c == '{' ? '}' : ']');
          ++scan.at;
          expect = c == '{' ? Expect::kKeyOrClose : Expect::kValueOrClose;
          continue;
        }
        if (c == '"') {
          ok = scan.String();
        } else if (c == '-' || IsDigit(c)) {
          ok = scan.Number();
        } else if (c == 't') {
          ok = scan.Literal("true");
        } else if (c == 'f') {
          ok = scan.Literal("false");
        } else if (c == 'n') {
          ok = scan.Literal("null");
        } else {
          ok = false;
        }
        if (!ok) return scan.at;
        expect = Expect::kCommaOrClose;
        continue;
      }
      case Expect::kKey:
        if (c != '"' || !scan.String()) return scan.at;
        expect = Expect::kColon;
        continue;
      case Expect::kColon:
        if (c != ':') return scan.at;
        ++scan.at;
        expect = Expect::kValue;
        continue;
      case Expect::kCommaOrClose:
        if (open.empty()) return scan.at;  // a second value after the first
        if (c == ',') {
          ++scan.at;
          expect = open.back() == ']' ? Expect::kValue : Expect::kKey;
        } else if (c == open.back()) {
          open.pop_back();
          ++scan.at;
        } else {
          return scan.at;
        }
        continue;
    }
  }
}

}  // namespace morvex
