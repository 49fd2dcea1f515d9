// A finished run kept by a window, and its report saved to a file the user named.
#pragma once

#include <string>

#include "basSearch.h"

namespace morvex {

enum class SavedFormat { kTsv, kHtml };

// What a window keeps of its last run to save it later as the command line would have written it.
struct SavedRun {
  bool ran = false;  // set once result holds a run: before one there is nothing to save
  SearchResult result;
  std::string siteFolder;     // as the user gave it
  std::string scanTime;       // UtcTimeText of the run's start
  bool ownPageServer = true;  // our page-file server read the pages: the HTML page links to their files
};

// A run that failed before it had a report (no project list, an unexpected error) has nothing to save.
bool CanSave(const SavedRun& run);
// The HTML page counts placements, which only a show-all run keeps.
bool CanSaveHtml(const SavedRun& run);

// The format's extension added to a name that has none (".tsv", ".html"), as the save dialog's filter says.
std::string WithExtension(const std::string& path, SavedFormat format);

// TSV: the results box's text, CR LF line ends. HTML: morvex-scan --format html --show-all -o path of the same
// run. The bytes go to a scratch file beside path, put in place whole: on failure the old file is as it was and
// error says why in a few words.
bool SaveReport(const SavedRun& run, SavedFormat format, const std::string& path, std::string& error);

}  // namespace morvex
