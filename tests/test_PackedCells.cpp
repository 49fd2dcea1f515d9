// Tests of the table value store's sizes: what cannot be held is refused, never wrapped round to a small
// buffer.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <new>

#include "LargeBuffer.h"
#include "PackedCells.h"

namespace morvex {
namespace {

TEST(LargeArrayTest, ACountWhoseBytesPassTheAddressSpaceIsRefused) {
  // Times eight, this count wraps round to 8 bytes.
  EXPECT_THROW(LargeArray<uint64_t>(SIZE_MAX / sizeof(uint64_t) + 2), std::bad_alloc);
}

// INT32_MAX squared cells wrap round to one on a 32-bit build and pass any memory on a 64-bit one.
TEST(PackedCellsTest, MoreCellsThanMemoryHoldsAreRefusedAndLeaveTheStoreEmpty) {
  const PackedCells::ByteTable byteTable{};
  const struct {
    const char* form;
    std::function<void(PackedCells&)> start;
  } cases[] = {
      {"image",
       [&](PackedCells& cells) {
         cells.StartImage(INT32_MAX, INT32_MAX, LargeBytes(), 0, 0, 1, {}, byteTable);
       }},
      {"text", [](PackedCells& cells) { cells.StartText(INT32_MAX, INT32_MAX, 0); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.form);
    PackedCells cells;
    EXPECT_THROW(c.start(cells), std::bad_alloc);
    EXPECT_EQ(cells.Rows(), 0);
    EXPECT_FALSE(cells.Contains(1, 1));
    cells.EndEarly();  // what a failed load does next
  }
}

}  // namespace
}  // namespace morvex
