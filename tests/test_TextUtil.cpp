// Tests of UTF conversion and case-insensitive comparison.
#include "TextUtil.h"

#include <gtest/gtest.h>

using namespace morvex;

TEST(TextUtil, Utf8RoundTripKeepsEveryPlane) {
  const std::u16string samples[] = {u"", u"plain", u"Grüße", u"Привет", u"日本語", u"\U0001F600 pump",
                                    std::u16string(u"nul\0inside", 10)};
  for (const auto& text : samples) EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
}

TEST(TextUtil, InvalidUtf8BecomesReplacementCharacter) {
  EXPECT_EQ(Utf8ToUtf16("a\xff" "b"), u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("\xe2\x82"), u"\uFFFD");
}

TEST(TextUtil, EqualsIgnoreCaseFoldsUnicode) {
  EXPECT_TRUE(EqualsIgnoreCase(u"Name", u"NAME"));
  EXPECT_TRUE(EqualsIgnoreCase(u"ÄRGER", u"ärger"));
  EXPECT_TRUE(EqualsIgnoreCase(u"STRASSE", u"straße"));  // full folding, lengths differ
  EXPECT_TRUE(EqualsIgnoreCase(u"ΣΊΣΥΦΟΣ", u"σίσυφος"));
  EXPECT_FALSE(EqualsIgnoreCase(u"Name", u"Name "));
  EXPECT_FALSE(EqualsIgnoreCase(u"Name", u"Nam"));
  EXPECT_FALSE(EqualsIgnoreCase(u"a\tb", u"a b"));
  EXPECT_TRUE(EqualsIgnoreCase(u"", u""));
}

TEST(TextUtil, FoldCaseGivesOneKeyForAllCaseVariants) {
  EXPECT_EQ(FoldCase(u"Valve\tTEXT"), FoldCase(u"VALVE\ttext"));
  EXPECT_EQ(FoldCase(u"Straße"), FoldCase(u"STRASSE"));
  EXPECT_NE(FoldCase(u"Valve"), FoldCase(u"Valve "));
}

TEST(TextUtil, ToUpperAndDecimal) {
  EXPECT_EQ(ToUpper(u"zrm_Example"), u"ZRM_EXAMPLE");
  EXPECT_EQ(ToUpper(u" include"), u" INCLUDE");
  EXPECT_EQ(ToDecimal(-32768), u"-32768");
  EXPECT_EQ(ToDecimal(0), u"0");
}
