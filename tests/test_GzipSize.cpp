// The gzip size of a log, counted exactly or estimated from a sample.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "GzipSize.h"

namespace morvex {
namespace {

// A log is the same shapes of text with other names and numbers: a sample of it compresses as the whole does.
TEST(GzipSizeEstimateTest, ExactUpToItsFirstBytesAndWithinAFewPerCentBeyond) {
  const auto piece = [](int n) {
    std::string text;
    for (int line = 0; text.size() < (16u << 10); ++line) {
      text += R"({"ruleId": "reserved-property-name/TEXT", "uri": "p)" + std::to_string(n % 97) + "/Page_" +
              std::to_string(n) + R"(.json", "an": ")" + std::to_string(line * 7919 % 10007) + "\"}\n";
    }
    return text;
  };
  for (const auto& [pieces, exact] : {std::pair{12, true}, std::pair{400, false}}) {
    GzipSizeCounter whole;
    GzipSizeEstimate estimate(256u << 10, 16);
    for (int n = 0; n < pieces; ++n) {
      const std::string text = piece(n);
      whole.Add(text);
      estimate.Add(text);
    }
    const uint64_t bytes = whole.Finish();
    const GzipSizeEstimate::Size size = estimate.Finish();
    EXPECT_EQ(size.exact, exact);
    if (exact) {
      EXPECT_EQ(size.bytes, bytes);
    } else {
      EXPECT_NEAR(static_cast<double>(size.bytes), static_cast<double>(bytes),
                  0.05 * static_cast<double>(bytes));
    }
  }
}

}  // namespace
}  // namespace morvex
