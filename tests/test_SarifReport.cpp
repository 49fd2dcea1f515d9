// The SARIF log: each result its own finding's, and each limit of code-scanning services told when passed.
#include <gtest/gtest.h>
#include <simdjson.h>

#include <string>
#include <vector>

#include "FinishedRun.h"
#include "Fingerprint.h"
#include "SarifReport.h"

namespace morvex {
namespace {

using namespace std::string_literals;

// Parts of a result are made once per page and per template and reused: every result must still be its own
// finding's, when a page comes back, when the next finding has the same template, and past the templates kept.
TEST(SarifResultsTest, EachResultCarriesItsOwnFindingsFields) {
  for (const bool bShowAll : {true, false}) {
    std::vector<std::vector<std::string>> lines;
    for (int i = 0; i < 12000; ++i) {
      // Pages A, B, A, ...; templates in pairs, new up to 5,000, then old ones again; awkward characters.
      const std::string page = i % 2 == 0 ? "A\"" : "B",
                        tarvo = "t" + std::to_string(i / 2 % 5000) + (i % 7 ? "" : "\t");
      const std::string property = i % 3 == 0 ? "text" : "TEXT";  // not the rule's spelling: no rule index
      if (bShowAll) {
        lines.push_back(
            {"P", page, std::to_string(i / 2), "inc", "lib\\", tarvo, property, "'v\n" + tarvo + "'"});
      } else {
        lines.push_back({"inc", "lib\\", tarvo, property});
      }
    }
    SearchResult result = Finished(bShowAll, lines, RunOutcome::kCompleted);
    result.projectFolders = {{"P", "/site/p"}};
    std::string log;
    SarifOptions perPlacement;
    perPlacement.perPlacement = true;
    WriteSarif(result, bShowAll, "/site", [&log](std::string_view piece) { log += piece; }, nullptr, perPlacement);

    simdjson::dom::parser parser;
    simdjson::dom::element root;
    ASSERT_EQ(parser.parse(log).get(root), simdjson::SUCCESS);
    simdjson::dom::array results;
    ASSERT_EQ(root["runs"].at(0)["results"].get_array().get(results), simdjson::SUCCESS);
    ASSERT_EQ(static_cast<int32_t>(results.size()), result.findings.Count());
    const std::vector<std::string> names =
        bShowAll ? std::vector<std::string>{"project", "page",  "an",       "libraryProject",
                                            "library", "tarvo", "property", "value"}
                 : std::vector<std::string>{"libraryProject", "library", "tarvo", "property"};
    int32_t index = 0;
    for (const simdjson::dom::element item : results) {
      std::vector<std::string> fields;
      for (int32_t f = 0; f < result.findings.FieldCount(index); ++f)
        fields.emplace_back(result.findings.Field(index, f));
      const auto text = [&](std::string_view pointer) {
        return std::string(item.at_pointer(pointer).get_string().value());
      };
      for (size_t f = 0; f < names.size(); ++f)
        ASSERT_EQ(text("/properties/" + names[f]), fields[f]) << index;
      const size_t lib = bShowAll ? 3 : 0;
      ASSERT_EQ(text(bShowAll ? "/locations/0/logicalLocations/5/fullyQualifiedName"
                              : "/locations/0/logicalLocations/2/fullyQualifiedName"),
                fields[lib] + "/" + fields[lib + 1] + "/" + fields[lib + 2]);
      if (bShowAll) {
        ASSERT_EQ(text("/locations/0/logicalLocations/2/fullyQualifiedName"),
                  "P/" + fields[1] + "/" + fields[2]);
        ASSERT_EQ(text("/locations/0/physicalLocation/artifactLocation/uri"),
                  fields[1] == "B" ? "p/B.json" : "p/A%22.json");
      }
      ASSERT_EQ(text("/message/text"), "Tarvo \"" + fields[lib + 2] + "\" of library \"" + fields[lib + 1] +
                                           "\" in project \"inc\" has a property named \"" + fields[lib + 3] +
                                           "\", a reserved property name.");
      ASSERT_EQ(text("/partialFingerprints/morvexFinding~1v1"),
                FindingFingerprint(result.findings, index, bShowAll));
      ASSERT_EQ(item["ruleIndex"].error() == simdjson::SUCCESS, fields[lib + 3] == "TEXT") << index;
      ++index;
    }
  }
}

TEST(SarifLimitsTest, EachLimitPassedIsToldWithWhatNarrowsIt) {
  const SarifLimits limits{10, 5, 100};
  struct Case {
    SarifShape shape;
    uint64_t gzipBytes;
    bool bShowAll;
    std::vector<std::string> told;  // a word of each line, in order
  };
  const std::vector<Case> cases = {
      {{10, 5}, 100, true, {}},
      {{11, 1}, 100, true, {"11 results, more than the 10"}},
      {{1, 6}, 100, true, {"6 locations, more than the 5"}},
      {{11, 6}, 101, false, {"11 results", "6 locations", "101 bytes gzip-compressed, more than the 100"}},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> lines = SarifLimitWarnings(c.shape, c.gzipBytes, c.bShowAll, limits);
    ASSERT_EQ(lines.size(), c.told.size());
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_NE(lines[i].find(c.told[i]), std::string::npos) << lines[i];
      if (lines[i].find("locations") == std::string::npos) {
        EXPECT_NE(lines[i].find(c.bShowAll ? "--unique" : "--baseline"), std::string::npos) << lines[i];
      }
    }
  }
}


}  // namespace
}  // namespace morvex
