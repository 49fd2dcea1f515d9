// Where the search's messages go: message boxes in the window, lines on stderr on the command line.
#pragma once

#include <string>

namespace morvex {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Blocks until the user has taken note (OK only, caption "Morvex").
  virtual void ShowMessage(const std::u16string& sMessage) = 0;
};

}  // namespace morvex
