// basSaveReport: "Save report..." of the Win32 main window: the system's save dialog, then the report's file.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "SavedReport.h"

namespace morvex::win32::basSaveReport {

// Asks where (tab-separated text, or the HTML report where the run allows it) and saves the run there; a write
// that fails is told in a message box over owner, and the file named is left as it was.
void SaveReportAs(HWND owner, const SavedRun& run);

}  // namespace morvex::win32::basSaveReport
