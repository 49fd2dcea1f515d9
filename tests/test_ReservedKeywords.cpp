// Tests of the reserved keyword table: its exact contents and the whole-text, case-sensitive test.
#include "ReservedKeywords.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace morvex {
namespace {

TEST(ReservedKeywords, TableHoldsEightyEightDistinctEntriesInTheFixedOrder) {
  const std::set<std::string_view> distinct(ReservedKeywords.begin(), ReservedKeywords.end());
  EXPECT_EQ(distinct.size(), 88u);
  EXPECT_EQ(ReservedKeywords.front(), "TEXT");
  EXPECT_EQ(ReservedKeywords[10], "DOWN_CMD");
  EXPECT_EQ(ReservedKeywords[24], "!COL_STATIC");
  EXPECT_EQ(ReservedKeywords[26], "ACTIVEXEXT_*EVENTCLASS");
  EXPECT_EQ(ReservedKeywords[53], "MVXMAX");
  EXPECT_EQ(ReservedKeywords.back(), "TXT_STR");
  for (size_t i = 0; i < ReservedKeywords.size(); ++i) EXPECT_EQ(ReservedKeywordIndex(ReservedKeywords[i]), i);
  EXPECT_EQ(ReservedKeywordIndex("text"), std::nullopt);
}

TEST(ReservedKeywords, EveryEntryIsMadeOfTheAllowedCharactersAndLengths) {
  for (const std::string_view keyword : ReservedKeywords) {
    EXPECT_GE(keyword.size(), 3u);
    EXPECT_LE(keyword.size(), 22u);
    for (const char unit : keyword)
      EXPECT_TRUE((unit >= 'A' && unit <= 'Z') || unit == '_' || unit == '*' || unit == '!');
    EXPECT_TRUE(IsReservedKeyword(keyword)) << std::string(keyword.begin(), keyword.end());
  }
}

TEST(IsReservedKeyword, LetterCaseAndSurroundingBlanksCount) {
  EXPECT_TRUE(IsReservedKeyword("TEXT"));
  EXPECT_FALSE(IsReservedKeyword("Text"));
  EXPECT_FALSE(IsReservedKeyword("text"));
  EXPECT_FALSE(IsReservedKeyword(" TEXT"));
  EXPECT_FALSE(IsReservedKeyword("TEXT "));
  EXPECT_FALSE(IsReservedKeyword(""));
}

TEST(IsReservedKeyword, EntriesEndingInSeparatorsAreWholeTextsNotPrefixes) {
  EXPECT_TRUE(IsReservedKeyword("COL_"));
  EXPECT_TRUE(IsReservedKeyword("COL_A"));
  EXPECT_FALSE(IsReservedKeyword("COL_F"));
  EXPECT_FALSE(IsReservedKeyword("COL_ALPHA"));
  EXPECT_TRUE(IsReservedKeyword("TXT_"));
  EXPECT_TRUE(IsReservedKeyword("TXT_ON"));
  EXPECT_FALSE(IsReservedKeyword("TXT_OFFSET"));
  EXPECT_FALSE(IsReservedKeyword("STATE_1"));
}

TEST(IsReservedKeyword, StarsAndExclamationMarksAreOrdinaryCharacters) {
  EXPECT_TRUE(IsReservedKeyword("ACTIVEXEXT_*NAME"));
  EXPECT_FALSE(IsReservedKeyword("ACTIVEXEXT_1NAME"));
  EXPECT_FALSE(IsReservedKeyword("ACTIVEXEXT_NAME"));
  EXPECT_TRUE(IsReservedKeyword("!COL_STATIC"));
  EXPECT_FALSE(IsReservedKeyword("COL_STATIC"));
}

TEST(IsReservedKeyword, NearNamesOutsideTheTable) {
  EXPECT_TRUE(IsReservedKeyword("MVXMAX"));
  EXPECT_TRUE(IsReservedKeyword("MVXMIN"));
  EXPECT_FALSE(IsReservedKeyword("MVYMAX"));
  EXPECT_FALSE(IsReservedKeyword("MVYMIN"));
  EXPECT_TRUE(IsReservedKeyword("MVYMAXPT"));
  EXPECT_TRUE(IsReservedKeyword("MVYMINPT"));
}

TEST(IsReservedKeyword, CodeUnitsBeyondAsciiAndEmbeddedNulsNeverMatch) {
  // Fullwidth "TEXT" and a NUL-terminated copy of a keyword must not compare equal through any narrowing.
  EXPECT_FALSE(IsReservedKeyword("\uFF34\uFF25\uFF38\uFF34"));
  EXPECT_FALSE(IsReservedKeyword(std::string_view("TEXT\0", 5)));
  EXPECT_FALSE(IsReservedKeyword("T\u0145XT"));
}

}  // namespace
}  // namespace morvex
