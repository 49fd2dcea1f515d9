// Tests of UTF conversion and case-insensitive comparison.
#include "TextUtil.h"

#include <gtest/gtest.h>

#include <utility>

#include "TestPlatform.h"

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
  EXPECT_TRUE(EqualsIgnoreCase("ΣΊΣΥΦΟΣ", "σίσυφοσ"));
  EXPECT_FALSE(EqualsIgnoreCase("Name", "Name "));
  EXPECT_FALSE(EqualsIgnoreCase("Name", "Nam"));
  EXPECT_FALSE(EqualsIgnoreCase("a\tb", "a b"));
  EXPECT_TRUE(EqualsIgnoreCase("", ""));
}

TEST(TextUtil, FoldCaseGivesOneKeyForAllCaseVariants) {
  EXPECT_EQ(FoldCase("Valve\tTEXT"), FoldCase("VALVE\ttext"));
  EXPECT_EQ(FoldCase("Pumpe Ä"), FoldCase("PUMPE ä"));
  EXPECT_NE(FoldCase("Valve"), FoldCase("Valve "));
}

// Linux folds by Unicode's full rules; Windows compares by its own simple per-letter upper-casing, which never
// expands ß (and in Wine's table leaves the final sigma as it is).
TEST(TextUtil, CaseRulesOfThePlatform) {
  const bool fullFolding = !test_support::kWindows;
  EXPECT_EQ(EqualsIgnoreCase("STRASSE", "straße"), fullFolding);
  EXPECT_EQ(FoldCase("Straße") == FoldCase("STRASSE"), fullFolding);
  EXPECT_EQ(ToUpper("straße"), fullFolding ? "STRASSE" : "STRAßE");
  if (fullFolding) {
    EXPECT_TRUE(EqualsIgnoreCase("ΣΊΣΥΦΟΣ", "σίσυφος"));
  }
  // Where the platform calls two texts equal, their keys agree too.
  for (const auto& [a, b] : {std::pair{"ÄRGER", "ärger"}, {"Ǆ", "ǆ"}, {"ΣΊΣΥΦΟΣ", "σίσυφος"}, {"ı", "i"}, {"ſ", "s"}}) {
    if (EqualsIgnoreCase(a, b)) {
      EXPECT_EQ(FoldCase(a), FoldCase(b)) << a << " " << b;
    }
  }
}

TEST(TextUtil, ToUpperAndDecimal) {
  EXPECT_EQ(ToUpper("zrm_Example"), "ZRM_EXAMPLE");
  EXPECT_EQ(ToUpper(" include"), " INCLUDE");
  EXPECT_EQ(ToDecimal(-32768), "-32768");
  EXPECT_EQ(ToDecimal(0), "0");
}
