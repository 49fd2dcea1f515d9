// basBrowseFolder: picking a folder with the toolkit's folder browser instead of typing its path.
#pragma once

#include <string>

class QWidget;

namespace basBrowseFolder {

// Blocks in a folder-only browser modal to owner (the active window when owner is null) that shows sTitle,
// opened on sStartPath (the home folder when it is empty or gone). Returns the chosen folder's full path,
// sStartPath unchanged on Cancel, or "" when the choice has no file-system path. bNewStyle makes the
// browser resizable.
std::string BrowseFolder(QWidget* owner, const std::string& sTitle, const std::string& sStartPath,
                         bool bNewStyle);

}  // namespace basBrowseFolder
