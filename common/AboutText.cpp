// The About box's lines from the version record the build fills in.
#include "AboutText.h"

#include "Version.h"

namespace morvex {

std::string_view ProgramsArchitecture() {
#if defined(__x86_64__) || defined(_M_X64)
  return "x64";
#elif defined(__i386__) || defined(_M_IX86)
  return "x86";
#elif defined(__aarch64__) || defined(_M_ARM64)
  return "arm64";
#else
  return sizeof(void*) == 8 ? "64-bit" : "32-bit";
#endif
}

std::string AboutText(std::string_view pageServer, std::string_view settingsPlace, std::string_view licencePlace,
                      bool bInProcessServers, std::string_view lineEnd) {
  const std::string bits = sizeof(void*) == 8 ? "64-bit" : "32-bit";
  std::string text = "Morvex " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
                     std::to_string(kVersionRevision) + " " + kVersionComment;
  text.append(lineEnd).append(kCopyright);
  text.append(lineEnd).append("Licence: proprietary, see ").append(licencePlace).append(".");
  text.append(lineEnd).append(lineEnd);
  text += "Programs: " + bits + " (" + std::string(ProgramsArchitecture()) + ")";
  // Only servers of the programs' own bitness load into them.
  text += bInProcessServers ? "; they load " + bits + " in-process page servers." : ".";
  text.append(lineEnd).append("Page server: ").append(pageServer);
  text.append(lineEnd).append("Settings: ").append(settingsPlace);
  return text;
}

}  // namespace morvex
