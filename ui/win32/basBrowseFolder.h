// basBrowseFolder: the shell's folder browser, opened on a start folder, returning the chosen folder's path.
#pragma once

#include <string>

namespace morvex::win32::basBrowseFolder {

// The chosen folder's full path; sStartPath unchanged on Cancel; empty for an item without a file-system path.
// Works in UTF-16 throughout, so folders outside the ANSI code page can be chosen.
std::string BrowseFolder(const std::string& sTitle, const std::string& sStartPath, bool bNewStyle);

}  // namespace morvex::win32::basBrowseFolder
