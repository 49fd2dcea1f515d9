// Rules both front ends share: the stored check-box setting's conversion and the guard of a run in progress.
#pragma once

#include <string_view>

namespace morvex {

// A stored check-box text (UTF-8) turned into 0, 1 or 2, as a whole-number conversion would: blanks around
// it are ignored and halves go to the even neighbour; anything else (not a number, out of range) gives 1.
int CheckValueFromSetting(std::string_view sStored);

// Sets a flag for as long as it lives, and clears it when a handler leaves, also by an exception.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& flag_;
};

}  // namespace morvex
