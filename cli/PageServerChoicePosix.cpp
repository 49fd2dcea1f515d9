// Linux has no page servers by class identifier: only our own page-file server.
#include "PageFileServer.h"
#include "PageServerChoice.h"

namespace morvex {

PageAutomationFactory ChoosePageServer(const std::string& classIdentifier) {
  if (!classIdentifier.empty()) return {};
  return MakePageFileServerFactory();
}

}  // namespace morvex
