// Windows: our page-file server, or any COM page server by ProgID or {CLSID}.
#include "ComPageServer.h"
#include "PageServerChoice.h"

namespace morvex {

PageAutomationFactory ChoosePageServer(const std::string& classIdentifier) {
  return MakePageServerFactory(classIdentifier);
}

}  // namespace morvex
