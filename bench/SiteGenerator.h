// Seeded generation of large sites (project list, page lists, page files) for benchmarks and large-site tests.
#pragma once

#include <cstdint>
#include <filesystem>

namespace morvex {

struct SiteShape {
  int32_t projects = 10;
  int32_t pages = 10;    // per project
  int32_t objects = 50;  // per page
  uint64_t seed = 1;
  // Chance, in thousandths, that a Tarvo property takes a reserved name. The default of 4 draws the same random
  // numbers as before the option existed, so sites written for a seed stay byte-identical.
  int32_t collisionsPerMille = 4;
  // Sites copied from elsewhere: page files named in upper case while the page lists keep their case, or no
  // page files at all; and files that are no pages beside them in every project folder.
  enum class PageFiles { kExactNames, kUpperCaseNames, kNone };
  PageFiles pageFiles = PageFiles::kExactNames;
  int32_t otherFilesPerProject = 0;
};

struct SiteSummary {
  int64_t pageFiles = 0;
  int64_t tarvos = 0;
  int64_t reservedProperties = 0;  // properties that collide, counted per placement
  uint64_t largestPageBytes = 0;
};

// Writes the site into outDir (created when missing). The same shape and seed give the same bytes.
SiteSummary GenerateSite(const SiteShape& shape, const std::filesystem::path& outDir);

}  // namespace morvex
