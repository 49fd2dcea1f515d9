// Tests of code-page decoding: the pages users' tables come in, NULs, undefined bytes, unsupported pages.
#include "CodePage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace morvex;

namespace {

std::u16string Decode(std::string_view bytes, int32_t codepage) {
  return DecodeCodePage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), codepage);
}

}  // namespace

TEST(CodePage, SupportedPagesDecodeTheirTypicalLetters) {
  struct Case {
    int32_t codepage;
    std::string bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {0, "\xC4pfel \x80", u"Äpfel €"},
      {1252, "\xE9t\xE9", u"été"},
      {1250, "\x8A\xE8", u"Šč"},
      {1251, "\xCF\xF0\xE8", u"При"},
      {1253, "\xC1\xE2", u"Αβ"},
      {1254, "\xD0\xFE", u"Ğş"},
      {1255, "\xE0", u"א"},
      {1256, "\xC7", u"ا"},
      {1257, "\xC0", u"Ą"},
      {1258, "\xC3", u"Ă"},
      {437, "\x81\xB0", u"ü░"},
      {850, "\x81\xD5", u"üı"},
      {852, "\xA5", u"ą"},
      {866, "\x8F\xE0\xA8", u"При"},
      {874, "\xA1", u"ก"},
      {932, "\x93\xFA\x96\x7B", u"日本"},
      {936, "\xD6\xD0", u"中"},
      {949, "\xC7\xD1", u"한"},
      {950, "\xA4\xA4", u"中"},
      {65001, "\xE2\x82\xAC", u"€"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decode(c.bytes, c.codepage), c.text) << "code page " << c.codepage;
    EXPECT_FALSE(IcuNameForCodePage(c.codepage).empty()) << c.codepage;
  }
}

TEST(CodePage, NulBytesBecomeNulCharacters) {
  const std::string bytes("A\0B\0", 4);
  EXPECT_EQ(Decode(bytes, 0), std::u16string(u"A\0B\0", 4));
  EXPECT_EQ(Decode(bytes, 932), std::u16string(u"A\0B\0", 4));
}

TEST(CodePage, Windows1252UndefinedBytesGiveTheirC1Controls) {
  for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
    const std::string bytes(1, static_cast<char>(b));
    EXPECT_EQ(Decode(bytes, 1252), std::u16string(1, static_cast<char16_t>(b))) << b;
    EXPECT_EQ(Decode(bytes, 0), std::u16string(1, static_cast<char16_t>(b))) << b;
  }
}

TEST(CodePage, EveryByteOfEverySingleBytePageGivesOneCharacter) {
  std::string all(256, '\0');
  for (int i = 0; i < 256; ++i) all[static_cast<size_t>(i)] = static_cast<char>(i);
  for (int32_t cp : {0, 437, 850, 852, 866, 874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258})
    EXPECT_EQ(Decode(all, cp).size(), 256u) << cp;
}

TEST(CodePage, UnsupportedPagesGiveEmptyText) {
  for (int32_t cp : {-1, 1, 42, 99999, 70000, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(Decode("abc", cp), u"") << cp;
    EXPECT_FALSE(CodePageDecoder(cp).Supported()) << cp;
  }
}

TEST(CodePage, EmptyInputGivesEmptyText) {
  EXPECT_EQ(Decode("", 0), u"");
  EXPECT_EQ(Decode("", 932), u"");
}

TEST(CodePage, MalformedMultiByteInputDoesNotFail) {
  EXPECT_FALSE(Decode("\x93", 932).empty());
  EXPECT_EQ(Decode("a\xff", 65001), u"a\uFFFD");
}

TEST(CodePage, OemPagesAnswerAsThePlatformConverterDoes) {
  struct Case {
    int32_t codepage;
    uint8_t byte;
    char16_t expected;
  };
  const Case cases[] = {
      {437, 0xE6, u'\u00B5'}, {865, 0xE6, u'\u00B5'}, {860, 0xE6, u'\u00B5'}, {863, 0xE6, u'\u00B5'},
      {852, 0xAA, u'\u00AC'}, {869, 0x88, u'\u00B7'}, {869, 0xEF, u'\u0384'},
      // Controls stay themselves: a text with 0x1A in it reads back as written.
      {437, 0x1A, u'\u001A'}, {866, 0x1A, u'\u001A'}, {850, 0x1C, u'\u001C'}, {852, 0x7F, u'\u007F'},
      // Neighbours of the corrected bytes keep their letters.
      {437, 0xE5, u'\u03C3'}, {852, 0xA9, u'\u0119'}, {869, 0x89, u'\u00AC'},
  };
  for (const Case& c : cases) {
    const std::string bytes(1, static_cast<char>(c.byte));
    EXPECT_EQ(Decode(bytes, c.codepage), std::u16string(1, c.expected)) << c.codepage << " byte " << int(c.byte);
  }
  std::string ascii(0x80, '\0');
  for (int i = 0; i < 0x80; ++i) ascii[static_cast<size_t>(i)] = static_cast<char>(i);
  for (int32_t cp : {437, 850, 852, 855, 857, 860, 861, 862, 863, 865, 866, 869}) {
    const std::u16string decoded = Decode(ascii, cp);
    EXPECT_EQ(decoded, std::u16string(ascii.begin(), ascii.end())) << cp;
  }
}
