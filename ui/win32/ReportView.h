// ReportView: the results box's window class, a read-only multi-line text box that draws only the lines in view.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "ReportText.h"

namespace morvex::win32 {

// A window of the class kClassName answers the edit box's reading messages (WM_GETTEXT, EM_GETSEL,
// EM_LINEFROMCHAR, EM_GETFIRSTVISIBLELINE ...), WM_COPY and EM_SETSEL, so callers reach it as they reached the
// edit box it replaces, and reads to screen readers as a read-only text; it owns its state and frees it with the
// window. An edit box lays out every line as it takes it in, which under Wine costs most of a millisecond a line: this one keeps the report
// once (ReportText) and lays out nothing until a line comes into view.
class ReportView {
 public:
  static constexpr wchar_t kClassName[] = L"MorvexReportView";
  // The edit box's style bits that say what the view is, for whatever reads a window's style; it has no others.
  static constexpr DWORD kEditStyle = ES_MULTILINE | ES_READONLY;
  // A parent whose system menu has this command offers it in the context menu too, and gets it as WM_SYSCOMMAND.
  static constexpr UINT kSaveReportCommand = 0x0030;

  // The report indexed for showing, and the line its horizontal scroll range is measured by.
  struct Prepared {
    ReportText text;
    size_t widestLine = 0;
  };

  // Registers the class once per process; CreateWindowEx with kClassName works after it.
  static void Register();
  // The long part of taking a report, which touches no window and may run on any thread; text is kept as it is.
  static Prepared Prepare(std::string text);
  // The prepared report into the view, shown from its top with nothing selected.
  static void Show(HWND view, Prepared report);
  // Both at once.
  static void SetReport(HWND view, std::string text);
  // The report as the view holds it: a copy of everything gives exactly these bytes.
  static const std::string& Report(HWND view);
};

}  // namespace morvex::win32
