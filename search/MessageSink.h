// Where the search's messages go: message boxes in the window, lines on stderr on the command line.
#pragma once

#include <string_view>

namespace morvex {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Blocks until the user has taken note (OK only, caption "Morvex"). The text is UTF-8.
  virtual void ShowMessage(std::string_view sMessage) = 0;
};

}  // namespace morvex
