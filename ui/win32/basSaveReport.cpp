// The save dialog and the message of a failed save, over the core's SaveReport.
#include "basSaveReport.h"

#include <commdlg.h>

#include <string>
#include <vector>

#include "TextUtil.h"

namespace morvex::win32::basSaveReport {

namespace {

// Filters end with two NULs; the literal's own terminator is the second.
constexpr wchar_t kTsvFilter[] = L"Tab-separated text (*.tsv;*.txt)\0*.tsv;*.txt\0";
constexpr wchar_t kBothFilters[] =
    L"Tab-separated text (*.tsv;*.txt)\0*.tsv;*.txt\0HTML report (*.html;*.htm)\0*.html;*.htm\0";

}  // namespace

void SaveReportAs(HWND owner, const SavedRun& run) {
  if (!CanSave(run)) return;
  // Long paths beyond MAX_PATH come back whole.
  std::vector<wchar_t> name(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = CanSaveHtml(run) ? kBothFilters : kTsvFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = name.data();
  dialog.nMaxFile = static_cast<DWORD>(name.size());
  dialog.lpstrTitle = L"Save report";
  // With a default extension set, the dialog adds the chosen filter's own to a name that has none.
  dialog.lpstrDefExt = L"tsv";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_EXPLORER;
  if (!GetSaveFileNameW(&dialog)) return;
  const SavedFormat format = dialog.nFilterIndex == 2 ? SavedFormat::kHtml : SavedFormat::kTsv;
  const std::string path = WithExtension(WideToUtf8(name.data()), format);
  if (std::string error; !SaveReport(run, format, path, error)) {
    const std::string message = "The report could not be saved to " + path + ":\r\n" + error +
                                ".\r\n\r\nNothing was written; a file already there is as it was.";
    MessageBoxW(owner, Utf8ToWide(message).c_str(), L"Save report", MB_OK | MB_ICONERROR);
  }
}

}  // namespace morvex::win32::basSaveReport
