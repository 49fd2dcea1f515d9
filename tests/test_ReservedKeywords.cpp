// Tests of the reserved keyword table: its exact contents and the whole-text, case-sensitive test.
#include "ReservedKeywords.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace morvex {
namespace {

TEST(ReservedKeywords, TableHoldsEightyEightDistinctEntriesInTheFixedOrder) {
  const std::set<std::u16string_view> distinct(ReservedKeywords.begin(), ReservedKeywords.end());
  EXPECT_EQ(distinct.size(), 88u);
  EXPECT_EQ(ReservedKeywords.front(), u"TEXT");
  EXPECT_EQ(ReservedKeywords[10], u"DOWN_CMD");
  EXPECT_EQ(ReservedKeywords[24], u"!COL_STATIC");
  EXPECT_EQ(ReservedKeywords[26], u"ACTIVEXEXT_*EVENTCLASS");
  EXPECT_EQ(ReservedKeywords[53], u"MVXMAX");
  EXPECT_EQ(ReservedKeywords.back(), u"TXT_STR");
}

TEST(ReservedKeywords, EveryEntryIsMadeOfTheAllowedCharactersAndLengths) {
  for (const std::u16string_view keyword : ReservedKeywords) {
    EXPECT_GE(keyword.size(), 3u);
    EXPECT_LE(keyword.size(), 22u);
    for (const char16_t unit : keyword)
      EXPECT_TRUE((unit >= u'A' && unit <= u'Z') || unit == u'_' || unit == u'*' || unit == u'!');
    EXPECT_TRUE(IsReservedKeyword(keyword)) << std::string(keyword.begin(), keyword.end());
  }
}

TEST(IsReservedKeyword, LetterCaseAndSurroundingBlanksCount) {
  EXPECT_TRUE(IsReservedKeyword(u"TEXT"));
  EXPECT_FALSE(IsReservedKeyword(u"Text"));
  EXPECT_FALSE(IsReservedKeyword(u"text"));
  EXPECT_FALSE(IsReservedKeyword(u" TEXT"));
  EXPECT_FALSE(IsReservedKeyword(u"TEXT "));
  EXPECT_FALSE(IsReservedKeyword(u""));
}

TEST(IsReservedKeyword, EntriesEndingInSeparatorsAreWholeTextsNotPrefixes) {
  EXPECT_TRUE(IsReservedKeyword(u"COL_"));
  EXPECT_TRUE(IsReservedKeyword(u"COL_A"));
  EXPECT_FALSE(IsReservedKeyword(u"COL_F"));
  EXPECT_FALSE(IsReservedKeyword(u"COL_ALPHA"));
  EXPECT_TRUE(IsReservedKeyword(u"TXT_"));
  EXPECT_TRUE(IsReservedKeyword(u"TXT_ON"));
  EXPECT_FALSE(IsReservedKeyword(u"TXT_OFFSET"));
  EXPECT_FALSE(IsReservedKeyword(u"STATE_1"));
}

TEST(IsReservedKeyword, StarsAndExclamationMarksAreOrdinaryCharacters) {
  EXPECT_TRUE(IsReservedKeyword(u"ACTIVEXEXT_*NAME"));
  EXPECT_FALSE(IsReservedKeyword(u"ACTIVEXEXT_1NAME"));
  EXPECT_FALSE(IsReservedKeyword(u"ACTIVEXEXT_NAME"));
  EXPECT_TRUE(IsReservedKeyword(u"!COL_STATIC"));
  EXPECT_FALSE(IsReservedKeyword(u"COL_STATIC"));
}

TEST(IsReservedKeyword, NearNamesOutsideTheTable) {
  EXPECT_TRUE(IsReservedKeyword(u"MVXMAX"));
  EXPECT_TRUE(IsReservedKeyword(u"MVXMIN"));
  EXPECT_FALSE(IsReservedKeyword(u"MVYMAX"));
  EXPECT_FALSE(IsReservedKeyword(u"MVYMIN"));
  EXPECT_TRUE(IsReservedKeyword(u"MVYMAXPT"));
  EXPECT_TRUE(IsReservedKeyword(u"MVYMINPT"));
}

TEST(IsReservedKeyword, CodeUnitsBeyondAsciiAndEmbeddedNulsNeverMatch) {
  // Fullwidth "TEXT" and a NUL-terminated copy of a keyword must not compare equal through any narrowing.
  EXPECT_FALSE(IsReservedKeyword(u"\xFF34\xFF25\xFF38\xFF34"));
  EXPECT_FALSE(IsReservedKeyword(std::u16string_view(u"TEXT\0", 5)));
  EXPECT_FALSE(IsReservedKeyword(u"T\x0145XT"));
}

}  // namespace
}  // namespace morvex
