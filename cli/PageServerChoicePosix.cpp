// Linux has no page servers by class identifier: only our own page-file server.
#include "PageFileServer.h"
#include "PageServerChoice.h"

namespace morvex {

PageAutomationFactory ChoosePageServer(const std::string& classIdentifier) {
  // Blanks name no server, as on Windows.
  if (classIdentifier.find_first_not_of(" \t") != std::string::npos) return {};
  return MakePageFileServerFactory();
}

}  // namespace morvex
