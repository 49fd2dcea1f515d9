// The registry entries that make our page server creatable: written per machine or per user, removed again.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace morvex::com {

enum class RegistrationScope { kMachine, kUser };  // HKLM or HKCU, under Software\Classes

// The class, both ProgIDs, the interface and the type library, for the server file serverFile.
HRESULT RegisterPageServer(RegistrationScope scope, const std::wstring& serverFile);
// Removes what RegisterPageServer writes, and parents only where they are ours and left empty. Removing what
// is not there succeeds.
HRESULT UnregisterPageServer(RegistrationScope scope);

}  // namespace morvex::com
