// Where the search's messages go: message boxes in the window, lines on stderr on the command line.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace morvex {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Blocks until the user has taken note (OK only, caption "Morvex"). The text is UTF-8.
  virtual void ShowMessage(std::string_view sMessage) = 0;

  // A message followed by a Yes/No question offering a text for the clipboard; Yes puts what makeCopy gives
  // (UTF-8, CR LF) there, No leaves the clipboard alone. A sink without a clipboard shows the message alone.
  virtual void ShowMessageOfferingCopy(std::string_view sMessage, std::string_view sQuestion,
                                       const std::function<std::string()>& makeCopy) {
    (void)sQuestion;
    (void)makeCopy;
    ShowMessage(sMessage);
  }
};

}  // namespace morvex
