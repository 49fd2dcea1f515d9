// What one application shares between its runs: the one automation reference and the one progress object.
#pragma once

#include <memory>

#include "MessageSink.h"
#include "PageAutomation.h"
#include "ProgressInterface.h"

namespace morvex {

// Owned by the front end (window, command line, test) for the application's whole life.
struct AppContext {
  AppContext(PageAutomationFactory factory, ProgressInterface& progressObject, MessageSink& messageSink)
      : createAutomation(std::move(factory)), progress(progressObject), messages(messageSink) {}

  PageAutomationFactory createAutomation;
  std::unique_ptr<PageAutomation> automation;  // empty when no server is held
  ProgressInterface& progress;
  MessageSink& messages;
  // A run whose pages did not all open says so in a message before "Done"; the command line tells it its
  // own way, on stderr, and turns this off.
  bool showUnopenedMessage = true;
};

}  // namespace morvex
