// Tests of the numbered arrays: bounds from 1, and error 9 for anything asked of an empty one.
#include "TextTable.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>

#include "ErrorNumber.h"

using namespace morvex;

TEST(TextTable, EmptyTableHasNoBoundsAndNoElements) {
  const TextTable empty;
  EXPECT_FALSE(empty.HasElements());
  EXPECT_EQ(ErrorNumberOf([&] { (void)empty.LowerBound(1); }), 9);
  EXPECT_EQ(ErrorNumberOf([&] { (void)empty.UpperBound(2); }), 9);
  EXPECT_EQ(ErrorNumberOf([&] { (void)empty.At(1, 1); }), 9);
}

TEST(TextTable, BoundsAndElementsCountFromOne) {
  TextTable table(3, 2);
  EXPECT_EQ(table.LowerBound(1), 1);
  EXPECT_EQ(table.UpperBound(1), 3);
  EXPECT_EQ(table.UpperBound(2), 2);
  table.At(3, 2) = "last";
  EXPECT_EQ(table.At(3, 2), "last");
  for (auto [r, c] : {std::pair{0, 1}, {1, 0}, {4, 1}, {1, 3}, {-1, -1}})
    EXPECT_EQ(ErrorNumberOf([&] { (void)table.At(r, c); }), 9) << r << "," << c;
  EXPECT_EQ(ErrorNumberOf([&] { (void)table.UpperBound(3); }), 9);
}

TEST(TextTable, CountsBelowOneOrBeyondMemoryAreRefused) {
  EXPECT_EQ(ErrorNumberOf([] { TextTable(0, 2); }), 9);
  EXPECT_EQ(ErrorNumberOf([] { TextTable(-1, 2); }), 9);
  // INT32_MAX squared wraps round to one cell on a 32-bit build.
  EXPECT_THROW(TextTable(INT32_MAX, INT32_MAX), std::bad_alloc);
}

TEST(NumberedArray, EmptyAndFilled) {
  FlagArray flags;
  EXPECT_EQ(ErrorNumberOf([&] { (void)flags.At(1); }), 9);
  flags = FlagArray(2);
  flags.At(2) = 1;
  EXPECT_EQ(flags.At(2), 1);
  EXPECT_EQ(flags.UpperBound(), 2);
  EXPECT_EQ(ErrorNumberOf([&] { (void)flags.At(3); }), 9);
}
