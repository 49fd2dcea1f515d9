// The results array of a SARIF log: per template property on a page, per placement, or per --unique finding.
#pragma once

#include "ReportPieces.h"
#include "SarifPlaces.h"
#include "SarifReport.h"
#include "basSearch.h"

namespace morvex {

// Writes the results of the selected findings, the first after "\n" and each other after ",\n", and gives how
// many there were, the most locations one of them has and how many lie outside the root.
SarifShape WriteSarifResults(PieceWriter& out, const SearchResult& result, bool bShowAll,
                             const FindingSelection* selection, const SarifOptions& options, SarifPlaces& places);

}  // namespace morvex
