// The number of the morvex::Error an action raises, so tests can assert exact error numbers in one line.
#pragma once

#include <cstdint>
#include <functional>

#include "Error.h"

namespace morvex {

// 0 when the action raises nothing.
inline int32_t ErrorNumberOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.Number();
  }
  return 0;
}

}  // namespace morvex
