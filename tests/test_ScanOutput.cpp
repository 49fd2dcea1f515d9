// The command line's output formats: TSV line ends, JSON escaping and typing, message lines, exit status.
#include <gtest/gtest.h>
#include <simdjson.h>

#include <climits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "GzipSize.h"
#include "ReviewOutput.h"
#include "ScanOutput.h"

namespace morvex {
namespace {

using namespace std::string_literals;

SearchResult Finished(bool bShowAll, std::vector<std::vector<std::string>> lines, RunOutcome outcome) {
  SearchResult result;
  result.outcome = outcome;
  result.showAll = bShowAll;
  for (const auto& fields : lines) {
    const std::vector<std::string_view> views(fields.begin(), fields.end());
    result.findings.Add(views.data(), views.size());
  }
  return result;
}

TEST(ScanOutputTest, TsvTurnsCrLfIntoLfAndEndsNoItemsFoundWithOne) {
  EXPECT_EQ(FormatTsv(Finished(false, {}, RunOutcome::kCompleted)), "No items found\n");
  const SearchResult found = Finished(false, {{"inc", "lib", "Ä", "TEXT"}}, RunOutcome::kCompleted);
  EXPECT_EQ(FormatTsv(found), "Project\tLibrary\tObject\tPropertyname\ninc\tlib\t\xC3\x84\tTEXT\n");
}

TEST(ScanOutputTest, TsvEscapesFieldsSoThatAValueCannotForgeAColumnOrARow) {
  // The value forges a whole finding line; the project name a column.
  const std::string forged = "x\nP\tpg\t1\tinc\tlib\tt\tTEXT\t'y'";
  const SearchResult result =
      Finished(true, {{"A\tB", "pg", "7", "inc", "lib", "t", "TEXT", "'" + forged + "\r\\'"}},
               RunOutcome::kCompleted);
  const std::string tsv = FormatTsv(result);
  EXPECT_EQ(tsv,
            "Pg Proj\tPage\tAN\tLib Proj\tLibrary\tObject\tPropertyname\tPropertyValue\n"
            "A\\tB\tpg\t7\tinc\tlib\tt\tTEXT\t'x\\nP\\tpg\\t1\\tinc\\tlib\\tt\\tTEXT\\t'y'\\r\\\\'\n");
  // The report the window shows keeps the raw text; only the stream is escaped.
  EXPECT_NE(result.Report().find(forged), std::string::npos);
  // JSON has escapes of its own; the value comes back exactly.
  const std::string json = FormatJson(result, true);
  EXPECT_NE(json.find(R"("PropertyValue": "x\nP\tpg\t1\tinc\tlib\tt\tTEXT\t'y'\r\\"})"), std::string::npos)
      << json;
}

TEST(ScanOutputTest, FailedRunsPrintNothing) {
  SearchResult missing;
  missing.outcome = RunOutcome::kProjectListMissing;
  EXPECT_EQ(FormatTsv(missing), "");
  EXPECT_EQ(FormatJson(missing, true), "");
  missing.outcome = RunOutcome::kUnexpectedError;
  EXPECT_EQ(FormatJson(missing, false), "");
}

TEST(ScanOutputTest, JsonTypesTheAnAndStripsOnlyTheEnclosingApostrophes) {
  const SearchResult result =
      Finished(true, {{"P", "pg", "-12", "inc", "lib", "t", "TEXT", "'it's'"},
                      {"P", "pg", "3", "inc", "lib", "t", "FONT", "''"}},
               RunOutcome::kCancelled);
  EXPECT_EQ(FormatJson(result, true),
            "[\n"
            "  {\"Pg Proj\": \"P\", \"Page\": \"pg\", \"AN\": -12, \"Lib Proj\": \"inc\", \"Library\": \"lib\", "
            "\"Object\": \"t\", \"Propertyname\": \"TEXT\", \"PropertyValue\": \"it's\"},\n"
            "  {\"Pg Proj\": \"P\", \"Page\": \"pg\", \"AN\": 3, \"Lib Proj\": \"inc\", \"Library\": \"lib\", "
            "\"Object\": \"t\", \"Propertyname\": \"FONT\", \"PropertyValue\": \"\"}\n"
            "]\n");
  EXPECT_EQ(FormatJson(Finished(true, {}, RunOutcome::kCompleted), true), "[]\n");
}

TEST(ScanOutputTest, JsonStringEscapesQuotesBackslashesAndControlCharacters) {
  EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonString("\t\r\n\x01\x7F"), "\"\\t\\r\\n\\u0001\\u007f\"");
  EXPECT_EQ(JsonString("\u00FC\U0001F600"), "\"\xC3\xBC\xF0\x9F\x98\x80\"");
  // Ill-formed UTF-8 (an encoded surrogate, a stray continuation byte, a cut sequence) must not reach the output.
  EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(JsonString("a\x80" "b\xE2\x82"), "\"a\xEF\xBF\xBD" "b\xEF\xBF\xBD\"");
}

TEST(ScanOutputTest, MessageLineKeepsEveryMessageOnOneLine) {
  EXPECT_EQ(MessageLine("Cannot open page list:\r\n/site/a/pages.dbf"), "Cannot open page list: /site/a/pages.dbf\n");
  EXPECT_EQ(MessageLine("odd\nname\rhere"), "odd name here\n");
  // Control characters from a table value are shown, not sent: grep and the terminal see plain text.
  EXPECT_EQ(MessageLine("a\0b\x1B[2J\tc\x7F"s), "a\\0b\\x1B[2J\tc\\x7F\n"s);
}

TEST(ScanOutputTest, ExitStatusFollowsOutcomeAndFindings) {
  EXPECT_EQ(ExitStatus(Finished(true, {}, RunOutcome::kCompleted)), 0);
  EXPECT_EQ(ExitStatus(Finished(false, {{"a", "b", "c", "TEXT"}}, RunOutcome::kCompleted)), 1);
  EXPECT_EQ(ExitStatus(Finished(true, {}, RunOutcome::kCancelled)), 130);
  SearchResult failed;
  failed.outcome = RunOutcome::kProjectListMissing;
  EXPECT_EQ(ExitStatus(failed), 2);
  failed.outcome = RunOutcome::kUnexpectedError;
  EXPECT_EQ(ExitStatus(failed), 2);
}

TEST(UnopenedSummaryTest, CountsAreGroupedAndReasonsListedInTheirOrder) {
  UnopenedPages unopened;
  for (int i = 0; i < 20000; ++i) unopened.CountTried();
  EXPECT_EQ(UnopenedSummary(unopened), "");
  for (int i = 0; i < 4; ++i) unopened.Add("P", "bad", {PageFailureReason::kNotValidJson, "at byte 1: x"});
  for (int i = 0; i < 1200; ++i) unopened.Add(i < 600 ? "P" : "Q", "gone", {PageFailureReason::kMissing, ""});
  EXPECT_EQ(UnopenedSummary(unopened), "1,204 of 20,000 pages could not be opened: 1,200 missing, 4 not valid JSON");
  EXPECT_EQ(unopened.At(0).detail, "at byte 1: x");
  unopened.CountListTried();
  unopened.CountListTried();
  unopened.AddPageList("R", "/s/r/pages.dbf", {PageFailureReason::kUnreadable, "Permission denied"});
  EXPECT_EQ(UnopenedSummary(unopened), "1,204 of 20,000 pages could not be opened: 1,200 missing, 4 not valid JSON; "
                                       "1 of 2 page lists could not be opened: 1 unreadable");
  // Nothing tried but lists that failed: no page was scanned, and the line says so first.
  UnopenedPages lists;
  lists.CountListTried();
  lists.AddPageList("S", "", {PageFailureReason::kNoProjectFolder, ""});
  EXPECT_EQ(UnopenedSummary(lists), "No page was scanned: 1 of 1 page list could not be opened: 1 no project folder");
  EXPECT_EQ(unopened.At(1203).project, "Q");
  for (const auto& [number, text] : std::vector<std::pair<int64_t, std::string>>{
           {0, "0"}, {999, "999"}, {1000, "1,000"}, {-1234567, "-1,234,567"},
           {INT64_MIN, "-9,223,372,036,854,775,808"}}) {
    EXPECT_EQ(GroupThousands(number), text);
  }
}

TEST(UnopenedWindowMessageTest, ARunThatOpenedNoPageSaysWhichServerWhereAndWhatToDo) {
  UnopenedPages none, some, everything;
  everything.CountTried();
  for (UnopenedPages* pages : {&none, &some}) {
    for (int i = 0; i < 2; ++i) pages->CountTried();
    pages->Add("P", "Mimic", {PageFailureReason::kMissing, ""});
  }
  none.Add("P", "Trend", {PageFailureReason::kMissing, ""});
  const std::string summary = "No page was scanned: 2 of 2 pages could not be opened: 2 missing\r\n\r\n";
  const std::string pageFiles = "The page server was Morvex's page-file server. It looks for each page as "
                                "<page>.json in its project's folder (the project's Path in master.dbf), <page> "
                                "being the page's Name in pages.dbf.\r\n\r\n";
  const std::string chooseInWindow = "To use another page server, choose \"Page server...\" in this window's system "
                                     "menu (Alt+Space), or set the value PageServer under HKEY_CURRENT_USER\\Software"
                                     "\\VB and VBA Program Settings\\Morvex\\Settings.";
  const std::string export_ = "To scan these pages here, export them as page files: page-files.md (in docs/ of the "
                              "sources, beside the README once installed) describes their names and contents.";
  struct Case {
    const UnopenedPages* pages;
    PageServerUsed server;
    ServerChoiceHint hint;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {&none, {true, ""}, ServerChoiceHint::kExportPageFiles, summary + pageFiles + export_},
      {&none, {true, ""}, ServerChoiceHint::kChooseInWindow, summary + pageFiles + chooseInWindow},
      {&none, {false, "Acme.Pages"}, ServerChoiceHint::kChooseInWindow,
       summary + "The page server was Acme.Pages, chosen by its class identifier; where it looks for pages is for "
                 "that server to say.\r\n\r\n" + chooseInWindow},
      {&none, {false, ""}, ServerChoiceHint::kExportPageFiles,
       summary + "The page server in use opened none of them.\r\n\r\n" + export_},
      // Where one page opened the server works: only the summary.
      {&some, {true, ""}, ServerChoiceHint::kChooseInWindow, "1 of 2 pages could not be opened: 1 missing"},
      {&everything, {true, ""}, ServerChoiceHint::kChooseInWindow, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(UnopenedWindowMessage(*c.pages, c.server, c.hint), c.expected);

  // Lists that hid every page are not the server's doing.
  UnopenedPages lists;
  lists.CountListTried();
  lists.AddPageList("S", "", {PageFailureReason::kNoProjectFolder, ""});
  EXPECT_EQ(UnopenedWindowMessage(lists, {true, ""}, ServerChoiceHint::kExportPageFiles), UnopenedSummary(lists));
}

TEST(UnopenedWindowMessageTest, TheListToCopyIsOneRowOfThreeCellsPerFailureInRunOrder) {
  UnopenedPages unopened;
  unopened.Add("P", "Mimic", {PageFailureReason::kMissing, ""});
  unopened.AddPageList("Q", "/s/q/pages.dbf", {PageFailureReason::kUnreadable, "Permission denied"});
  unopened.Add("Q\tR", "Line\r\nTwo", {PageFailureReason::kNotValidJson, "at byte 3:\tbad"});
  EXPECT_EQ(UnopenedListText(unopened),
            "Project\tPage\tReason\r\n"
            "P\tMimic\tmissing\r\n"
            "Q\t/s/q/pages.dbf\tunreadable: Permission denied\r\n"
            "Q R\tLine  Two\tnot valid JSON: at byte 3: bad\r\n");
}

TEST(SarifLocationTest, PageFilesInsideTheSiteAreRelativeAndEncodedOthersAreNot) {
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

// A log is the same shapes of text with other names and numbers: a sample of it compresses as the whole does.
TEST(GzipSizeEstimateTest, ExactUpToItsFirstBytesAndWithinAFewPerCentBeyond) {
  const auto piece = [](int n) {
    std::string text;
    for (int line = 0; text.size() < (16u << 10); ++line) {
      text += R"({"ruleId": "reserved-property-name/TEXT", "uri": "p)" + std::to_string(n % 97) + "/Page_" +
              std::to_string(n) + R"(.json", "an": ")" + std::to_string(line * 7919 % 10007) + "\"}\n";
    }
    return text;
  };
  for (const auto& [pieces, exact] : {std::pair{12, true}, std::pair{400, false}}) {
    GzipSizeCounter whole;
    GzipSizeEstimate estimate(256u << 10, 16);
    for (int n = 0; n < pieces; ++n) {
      const std::string text = piece(n);
      whole.Add(text);
      estimate.Add(text);
    }
    const uint64_t bytes = whole.Finish();
    const GzipSizeEstimate::Size size = estimate.Finish();
    EXPECT_EQ(size.exact, exact);
    if (exact) {
      EXPECT_EQ(size.bytes, bytes);
    } else {
      EXPECT_NEAR(static_cast<double>(size.bytes), static_cast<double>(bytes),
                  0.05 * static_cast<double>(bytes));
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
