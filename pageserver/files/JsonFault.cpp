// A validating walk over JSON text that stops at the first byte breaking the grammar or UTF-8.
#include "JsonFault.h"

#include <vector>

#include "TextUtil.h"

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

  // One multi-byte UTF-8 character; a broken one is reported where it begins.
  bool Utf8Sequence() {
    size_t maximal = 0;
    const size_t length = WellFormedLength(text_, at, maximal);
    at += length;
    return length != 0;
  }

  std::string_view text_;
};

enum class Expect { kValue, kValueOrClose, kKeyOrClose, kKey, kColon, kCommaOrClose };

}  // namespace

bool IsJsonNumber(std::string_view token) {
  Scanner scanner(token);
  return !token.empty() && scanner.Number() && scanner.AtEnd();
}

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
