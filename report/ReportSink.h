// The sink every report format writes to, declared where the formats live.
#pragma once

#include <functional>
#include <string_view>

namespace morvex {

// Receives the output in pieces, so that a report is never held a second time to be written. The same alias
// as the command line's own declaration of it: both name one type.
using OutputSink = std::function<void(std::string_view)>;

}  // namespace morvex
