// PageObjectPlaces: where the Tarvo object of each placement starts in its page file, for runs of our own server.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "FindingsList.h"
#include "ReviewOutput.h"

namespace morvex {

// Per placement of a --show-all list, the place of its object in the page file the page-file server reads for
// the site in siteFolder; 0 where the file no longer opens or holds no object that gives that finding. With
// `wanted` (ascending indices), only those placements' pages are read.
std::vector<ObjectPlace> FindObjectPlaces(const FindingsList& placements, std::string_view siteFolder,
                                          const std::vector<int32_t>* wanted = nullptr);

// Page file names as the page-file server finds them in their project folders, each folder listed once.
PageFileNamer OnDiskPageFileNames();

}  // namespace morvex
