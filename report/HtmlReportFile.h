// The HTML report as a file or a stream gets it: its links to the page files, worked out from where it goes.
#pragma once

#include <string>

#include "ReportSink.h"
#include "basSearch.h"

namespace morvex {

// Writes the page for a show-all run (bUnique: the page without placements, over the same placements). Where
// our own server read the pages, each placement links to its page file: relative to the folder of reportPath
// where the file lies inside it, a file: URI otherwise, and always one for an empty reportPath (a stream lands
// where the shell puts it). Other servers' pages are no files of ours to point at.
void WriteHtmlReportFile(const SearchResult& showAllResult, bool bUnique, const std::string& siteFolder,
                         const std::string& reportPath, bool bOwnPageServer, const std::string& scanTime,
                         const OutputSink& sink);

}  // namespace morvex
