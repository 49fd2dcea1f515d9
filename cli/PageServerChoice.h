// The page server a command-line scan runs on, by the class identifier the user gave.
#pragma once

#include <string>

#include "PageAutomation.h"

namespace morvex {

// Our page-file server for an empty or blank identifier; otherwise the COM server of that ProgID or {CLSID} where the
// platform has them, and an empty factory where it has none.
PageAutomationFactory ChoosePageServer(const std::string& classIdentifier);

}  // namespace morvex
