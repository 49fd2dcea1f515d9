// The About box's text, the same lines in every window.
#pragma once

#include <string>
#include <string_view>

namespace morvex {

inline constexpr std::string_view kOwnPageServerDescription =
    "our page-file server (<page>.json in each project's folder)";

// Which architecture these programs were built for, as a person names it ("x64", "x86", "arm64" ...).
std::string_view ProgramsArchitecture();

// Version, copyright, where the licence is, the programs' bitness (and, where in-process servers load, which
// ones they can), the page server and where the settings are, lines ended by lineEnd.
std::string AboutText(std::string_view pageServer, std::string_view settingsPlace, std::string_view licencePlace,
                      bool bInProcessServers, std::string_view lineEnd);

}  // namespace morvex
