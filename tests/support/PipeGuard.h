// Runs a call that must not wait on a named pipe, and frees the test suite if it does.
#pragma once

#include <chrono>
#include <filesystem>
#include <future>
#include <utility>

#include <gtest/gtest.h>

#include "TestPlatform.h"

namespace morvex::test_support {

// The call runs on a thread of its own. Not back within a few seconds means it is stuck on the pipe: a
// writer is attached and dropped again, which releases it, and the test fails instead of hanging.
template <typename Call>
auto WithoutWaitingOn(const std::filesystem::path& pipe, Call call) {
  auto result = std::async(std::launch::async, std::move(call));
  if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    ADD_FAILURE() << "still waiting on " << pipe;
    ReleaseReaderOf(pipe);
    result.wait_for(std::chrono::seconds(1));
  }
  return result.get();
}

}  // namespace morvex::test_support
