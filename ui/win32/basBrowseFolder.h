// basBrowseFolder: the shell's folder browser, opened on a start folder, returning the chosen folder's path.
#pragma once

#include <optional>
#include <string>

namespace morvex::win32::basBrowseFolder {

// The chosen folder's full path; sStartPath unchanged on Cancel; empty for an item without a file-system path.
// Works in UTF-16 throughout, so folders outside the ANSI code page can be chosen.
std::string BrowseFolder(const std::string& sTitle, const std::string& sStartPath, bool bNewStyle);

// The file-system path of a shell item, or nothing for an item without one. Not held to MAX_PATH: a folder
// nested deeper can be chosen too, as it can be typed.
std::optional<std::string> PathOfItem(const void* itemIdList);

}  // namespace morvex::win32::basBrowseFolder
