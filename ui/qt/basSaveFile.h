// basSaveFile: the save dialog of "Save report...": where the report goes and in which format.
#pragma once

#include <string>

#include "SavedReport.h"

class QWidget;

namespace morvex::basSaveFile {

// The file dialog with "Tab-separated text" and, when bHtmlOffered, "HTML report"; false when cancelled. The
// chosen filter gives the format, and a name without an extension gets the format's.
bool ChooseSaveFile(QWidget* owner, bool bHtmlOffered, std::string& path, SavedFormat& format);

}  // namespace morvex::basSaveFile
