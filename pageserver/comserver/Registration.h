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

// The class and ProgID of the page server in a process of its own (for tests and measurements), per machine,
// started as serverFile. The interface and type library keys are left to the DLL's registration, which owns
// them; calls cross the process boundary through the system's own IDispatch proxy, which needs neither.
HRESULT RegisterLocalPageServer(const std::wstring& serverFile);
HRESULT UnregisterLocalPageServer();

}  // namespace morvex::com
