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
  EXPECT_TRUE(EqualsIgnoreCase("Name", "NAME"));
  EXPECT_TRUE(EqualsIgnoreCase("ÄRGER", "ärger"));
  EXPECT_TRUE(EqualsIgnoreCase("STRASSE", "straße"));  // full folding, lengths differ
  EXPECT_TRUE(EqualsIgnoreCase("ΣΊΣΥΦΟΣ", "σίσυφος"));
  EXPECT_FALSE(EqualsIgnoreCase("Name", "Name "));
  EXPECT_FALSE(EqualsIgnoreCase("Name", "Nam"));
  EXPECT_FALSE(EqualsIgnoreCase("a\tb", "a b"));
  EXPECT_TRUE(EqualsIgnoreCase("", ""));
}

TEST(TextUtil, FoldCaseGivesOneKeyForAllCaseVariants) {
  EXPECT_EQ(FoldCase("Valve\tTEXT"), FoldCase("VALVE\ttext"));
  EXPECT_EQ(FoldCase("Straße"), FoldCase("STRASSE"));
  EXPECT_NE(FoldCase("Valve"), FoldCase("Valve "));
}

TEST(TextUtil, ToUpperAndDecimal) {
  EXPECT_EQ(ToUpper("zrm_Example"), "ZRM_EXAMPLE");
  EXPECT_EQ(ToUpper(" include"), " INCLUDE");
  EXPECT_EQ(ToDecimal(-32768), "-32768");
  EXPECT_EQ(ToDecimal(0), "0");
}
