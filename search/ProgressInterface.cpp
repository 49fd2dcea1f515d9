// Index checks and the cancel hand-out shared by every progress object.
#include "ProgressInterface.h"

#include "Error.h"

namespace morvex {

namespace {

int CheckedLineIndex(int32_t nIndex) {
  if (nIndex < INT16_MIN || nIndex > INT16_MAX) ThrowOverflow("Overflow: progress line " + std::to_string(nIndex));
  if (nIndex < 0 || nIndex > 2) ThrowOutOfRange("Subscript out of range: progress line " + std::to_string(nIndex));
  return static_cast<int>(nIndex);
}

}  // namespace

void ProgressInterface::Text(int32_t nIndex, std::string_view sText) {
  SetLine(CheckedLineIndex(nIndex), sText);
}

std::string ProgressInterface::Text(int32_t nIndex) const {
  return Line(CheckedLineIndex(nIndex));
}

void ProgressInterface::Update(int32_t nPercent, bool& bCancel) {
  ShowPercent(ClampPercent(nPercent));
  ProcessEvents();
  bCancel = bCancel_;
  bCancel_ = false;
}

void ProgressInterface::PollCancel(bool& bCancel) {
  ProcessEvents();
  bCancel = bCancel_;
  bCancel_ = false;
}

}  // namespace morvex
