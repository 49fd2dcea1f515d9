// The stored check-box setting's conversion, written once for every front end.
#include "FrontEndRules.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace morvex {

namespace {

constexpr int kDefaultCheckValue = 1;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

int CheckValueFromSetting(std::string_view sStored) {
  while (!sStored.empty() && IsBlank(sStored.front())) sStored.remove_prefix(1);
  while (!sStored.empty() && IsBlank(sStored.back())) sStored.remove_suffix(1);
  if (!sStored.empty() && sStored.front() == '+') sStored.remove_prefix(1);
  // from_chars ignores the locale: a German desktop must not read "0.5" differently.
  double number = 0;
  const auto [end, error] = std::from_chars(sStored.data(), sStored.data() + sStored.size(), number);
  if (sStored.empty() || error != std::errc() || end != sStored.data() + sStored.size() || !std::isfinite(number))
    return kDefaultCheckValue;
  // Whole-number conversion rounds halves to even; anything outside 16 bits would not have converted at all.
  const double rounded = std::nearbyint(number);
  if (rounded < std::numeric_limits<int16_t>::min() || rounded > std::numeric_limits<int16_t>::max())
    return kDefaultCheckValue;
  const int value = static_cast<int>(rounded);
  return (value >= 0 && value <= 2) ? value : kDefaultCheckValue;
}

}  // namespace morvex
