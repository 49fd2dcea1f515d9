// What one application shares between its runs: the one automation reference and the one progress object.
#pragma once

#include <memory>

#include "FindingsList.h"
#include "MessageSink.h"
#include "PageAutomation.h"
#include "ProgressInterface.h"
#include "UnopenedPages.h"

namespace morvex {

// Told after every page whose scan added findings, so that a front end can pass them on as they are found.
class FindingsObserver {
 public:
  virtual ~FindingsObserver() = default;
  virtual void FindingsAdded(const FindingsList& findings) = 0;
};

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
  // What that message tells a user whose run opened no page to do: the Windows window can choose another
  // server; elsewhere the pages must become page files.
  ServerChoiceHint serverChoiceHint = ServerChoiceHint::kExportPageFiles;
  FindingsObserver* findingsObserver = nullptr;  // none: the report is taken whole at the end
  // Above 1, the pages of a run are opened and walked by that many servers made by createAutomation, each on a
  // thread of its own, besides the one held from run to run; the report, the progress and everything said are
  // the same, page by page.
  int32_t pageWorkers = 1;
};

}  // namespace morvex
