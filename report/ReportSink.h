// The sink every report format writes to.
#pragma once

#include <functional>
#include <string_view>

namespace morvex {

// Receives the output in pieces, so that a report is never held a second time to be written.
using OutputSink = std::function<void(std::string_view)>;

}  // namespace morvex
