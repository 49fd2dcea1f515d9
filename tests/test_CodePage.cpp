// Tests of code-page decoding: the pages users' tables come in, NULs, undefined bytes, unsupported pages.
#include "CodePage.h"
#include "TextUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestPlatform.h"

using namespace morvex;

namespace {

std::string Utf8Of(char32_t c) {
  std::string text;
  AppendUtf8(text, c);
  return text;
}

size_t CodePoints(std::string_view text) {
  size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

std::string Decode(std::string_view bytes, int32_t codepage) {
  return DecodeCodePage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), codepage);
}

}  // namespace

TEST(CodePage, SupportedPagesDecodeTheirTypicalLetters) {
  struct Case {
    int32_t codepage;
    std::string bytes;
    std::string text;
  };
  const Case cases[] = {
      {0, "\xC4pfel \x80", "Äpfel €"},
      {1252, "\xE9t\xE9", "été"},
      {1250, "\x8A\xE8", "Šč"},
      {1251, "\xCF\xF0\xE8", "При"},
      {1253, "\xC1\xE2", "Αβ"},
      {1254, "\xD0\xFE", "Ğş"},
      {1255, "\xE0", "א"},
      {1256, "\xC7", "ا"},
      {1257, "\xC0", "Ą"},
      {1258, "\xC3", "Ă"},
      {437, "\x81\xB0", "ü░"},
      {850, "\x81\xD5", "üı"},
      {852, "\xA5", "ą"},
      {866, "\x8F\xE0\xA8", "При"},
      {874, "\xA1", "ก"},
      {932, "\x93\xFA\x96\x7B", "日本"},
      {936, "\xD6\xD0", "中"},
      {949, "\xC7\xD1", "한"},
      {950, "\xA4\xA4", "中"},
      {65001, "\xE2\x82\xAC", "€"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decode(c.bytes, c.codepage), c.text) << "code page " << c.codepage;
    EXPECT_TRUE(CodePageDecoder(c.codepage).Supported()) << c.codepage;
  }
}

TEST(CodePage, NulBytesBecomeNulCharacters) {
  const std::string bytes("A\0B\0", 4);
  EXPECT_EQ(Decode(bytes, 0), std::string("A\0B\0", 4));
  EXPECT_EQ(Decode(bytes, 932), std::string("A\0B\0", 4));
}

TEST(CodePage, Windows1252UndefinedBytesGiveTheirC1Controls) {
  for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
    const std::string bytes(1, static_cast<char>(b));
    EXPECT_EQ(Decode(bytes, 1252), Utf8Of(static_cast<char32_t>(b))) << b;
    EXPECT_EQ(Decode(bytes, 0), Utf8Of(static_cast<char32_t>(b))) << b;
  }
}

TEST(CodePage, EveryByteOfEverySingleBytePageGivesOneCharacter) {
  std::string all(256, '\0');
  for (int i = 0; i < 256; ++i) all[static_cast<size_t>(i)] = static_cast<char>(i);
  for (int32_t cp : {0, 437, 850, 852, 866, 874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258})
    EXPECT_EQ(CodePoints(Decode(all, cp)), 256u) << cp;
}

TEST(CodePage, UnsupportedPagesGiveEmptyText) {
  for (int32_t cp : {-1, 99999, 70000, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(Decode("abc", cp), "") << cp;
    EXPECT_FALSE(CodePageDecoder(cp).Supported()) << cp;
  }
  // Windows' converter takes 1 for the OEM page and 42 for the symbol page; Linux has neither meaning.
  if (test_support::kWindows) {
    EXPECT_EQ(Decode("abc", 1), "abc");
    EXPECT_EQ(Decode("abc", 42), Decode("abc", 42));  // supported, whatever the symbol font's letters are
    return;
  }
  for (int32_t cp : {1, 42}) {
    EXPECT_EQ(Decode("abc", cp), "") << cp;
    EXPECT_FALSE(CodePageDecoder(cp).Supported()) << cp;
  }
}

TEST(CodePage, EmptyInputGivesEmptyText) {
  EXPECT_EQ(Decode("", 0), "");
  EXPECT_EQ(Decode("", 932), "");
}

TEST(CodePage, MalformedMultiByteInputDoesNotFail) {
  EXPECT_FALSE(Decode("\x93", 932).empty());
  EXPECT_EQ(Decode("a\xff", 65001), "a\uFFFD");
}

TEST(CodePage, OemPagesAnswerAsThePlatformConverterDoes) {
  struct Case {
    int32_t codepage;
    uint8_t byte;
    char32_t expected;
  };
  const Case cases[] = {
      {437, 0xE6, U'\u00B5'}, {865, 0xE6, U'\u00B5'}, {860, 0xE6, U'\u00B5'}, {863, 0xE6, U'\u00B5'},
      {852, 0xAA, U'\u00AC'}, {869, 0x88, U'\u00B7'}, {869, 0xEF, U'\u0384'},
      // Controls stay themselves: a text with 0x1A in it reads back as written.
      {437, 0x1A, U'\u001A'}, {866, 0x1A, U'\u001A'}, {850, 0x1C, U'\u001C'}, {852, 0x7F, U'\u007F'},
      // Neighbours of the corrected bytes keep their letters.
      {437, 0xE5, U'\u03C3'}, {852, 0xA9, U'\u0119'}, {869, 0x89, U'\u00AC'},
  };
  for (const Case& c : cases) {
    const std::string bytes(1, static_cast<char>(c.byte));
    EXPECT_EQ(Decode(bytes, c.codepage), Utf8Of(c.expected)) << c.codepage << " byte " << int(c.byte);
  }
  std::string ascii(0x80, '\0');
  for (int i = 0; i < 0x80; ++i) ascii[static_cast<size_t>(i)] = static_cast<char>(i);
  for (int32_t cp : {437, 850, 852, 855, 857, 860, 861, 862, 863, 865, 866, 869}) {
    const std::string decoded = Decode(ascii, cp);
    EXPECT_EQ(decoded, std::string(ascii.begin(), ascii.end())) << cp;
  }
}
