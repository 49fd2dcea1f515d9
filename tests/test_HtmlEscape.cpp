// Escaping of hostile site texts for the HTML page and its JSON block; the SHA-256 behind its policy.
#include <gtest/gtest.h>

#include <string>

#include "HtmlEscape.h"
#include "Sha256.h"

namespace morvex {
namespace {

using namespace std::string_literals;

struct EscapeCase {
  std::string name;
  std::string bytes;
  std::string html;
  std::string json;  // without the quotes
};

TEST(HtmlEscapeTest, HostileTextsAreShownAndNeverObeyed) {
  const EscapeCase cases[] = {
      {"markup", "</script><script>alert(1)</script>", "&lt;/script&gt;&lt;script&gt;alert(1)&lt;/script&gt;",
       "\\u003c/script\\u003e\\u003cscript\\u003ealert(1)\\u003c/script\\u003e"},
      {"comment opener", "<!--", "&lt;!--", "\\u003c!--"},
      {"quotes and ampersand", "a\"b'c&d", "a&quot;b&#39;c&amp;d", "a\\\"b'c\\u0026d"},
      {"backslash", "C:\\x", "C:\\x", "C:\\\\x"},
      {"NUL and controls", "a\0b\tc\nd\x7F"s, "a[U+0000]b[U+0009]c[U+000A]d[U+007F]",
       "a[U+0000]b[U+0009]c[U+000A]d[U+007F]"},
      {"right-to-left override", "x\xE2\x80\xAEgnp.exe", "x[U+202E]gnp.exe", "x[U+202E]gnp.exe"},
      {"isolate", "\xE2\x81\xA6y\xE2\x81\xA9", "[U+2066]y[U+2069]", "[U+2066]y[U+2069]"},
      {"C1 control", "\xC2\x85", "[U+0085]", "[U+0085]"},
      {"ill-formed bytes", "a\xFF\xC3(\xE2\x82", "a\xEF\xBF\xBD\xEF\xBF\xBD(\xEF\xBF\xBD",
       "a\xEF\xBF\xBD\xEF\xBF\xBD(\xEF\xBF\xBD"},
      {"surrogate encoded", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
       "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"line separator", "a\xE2\x80\xA8" "b", "a\xE2\x80\xA8" "b", "a\\u2028b"},
      {"ordinary non-ASCII kept", "Stra\xC3\x9F" "e \xF0\x9F\x98\x80", "Stra\xC3\x9F" "e \xF0\x9F\x98\x80",
       "Stra\xC3\x9F" "e \xF0\x9F\x98\x80"},
  };
  for (const EscapeCase& c : cases) {
    EXPECT_EQ(HtmlText(c.bytes), c.html) << c.name;
    std::string json;
    AppendScriptJsonString(json, c.bytes);
    EXPECT_EQ(json, "\"" + c.json + "\"") << c.name;
  }
}

TEST(HtmlEscapeTest, Sha256AndBase64MatchPublishedVectors) {
  const struct {
    std::string input;
    std::string base64;
  } cases[] = {
      {"", "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU="},
      {"abc", "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0="},
      // 56 bytes: the length no longer fits the first block.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "JI1qYdIGOLjlwCaTDD5gOaM85Flk/yFn9uzt1BnbBsE="},
  };
  for (const auto& c : cases) {
    const auto digest = Sha256(c.input);
    EXPECT_EQ(Base64(digest.data(), digest.size()), c.base64) << c.input.size();
  }
  const uint8_t tail[] = {'a', 'b'};
  EXPECT_EQ(Base64(tail, 1), "YQ==");
  EXPECT_EQ(Base64(tail, 2), "YWI=");
}

}  // namespace
}  // namespace morvex
