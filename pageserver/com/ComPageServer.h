// ComPageServer: page-automation servers named by class identifier and called through COM automation.
#pragma once

#include <cstdint>
#include <string>

#include "PageAutomation.h"

namespace morvex {

// The number users of automation clients know for a component that cannot be created.
inline constexpr int32_t kErrCannotCreateComponent = 429;
// And for a server that was created but can no longer be reached, its process having ended.
inline constexpr int32_t kErrServerUnavailable = 462;

// Creates the server of a ProgID ("Company.Server") or of a CLSID in braces, in-process or local, through its
// IDispatch. Each instance keeps COM initialised apartment-threaded on the creating thread while it lives,
// so it must be used and dropped on that thread. Throws Error 429 saying which identifier failed and why. A call
// that finds the server's process gone throws PageServerLost, 462, naming the identifier as it was given.
PageAutomationFactory MakeComPageServerFactory(std::string classIdentifier);

// What a front end runs on: an empty or blank identifier is our own page-file server, linked in; any other
// names a COM server, without the blanks at its ends.
PageAutomationFactory MakePageServerFactory(std::string classIdentifier);

// Creates the server a run would and drops it again: one line saying that it is a page server, or the
// message a run gives when it cannot create it.
std::string TestPageServer(const std::string& classIdentifier);

}  // namespace morvex
