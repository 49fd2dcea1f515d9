// Page-file locations: page files inside the base folder as relative references, others as file: URIs.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "PageFileLocations.h"

namespace morvex {
namespace {

TEST(PageFileLocationsTest, PageFilesInsideTheSiteAreRelativeAndEncodedOthersAreNot) {
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
      {"/site/p q/a.json", "p%20q/a.json"},
      {"/site/./a.json", "a.json"},
      {"/site", ""},  // a project kept in the site folder itself
      {"/site/a:b/c.json", "a%3Ab/c.json"},  // a colon would read as a scheme
      {"/site/../other/x.json", std::nullopt},
      {"/other/x.json", std::nullopt},
  };
  for (const auto& [path, uri] : cases) EXPECT_EQ(RelativeUri("/site", path), uri) << path;
  EXPECT_EQ(FileUri("/a b/%.json"), "file:///a%20b/%25.json");
}

}  // namespace
}  // namespace morvex
