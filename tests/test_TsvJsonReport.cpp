// The tsv and json reports: TSV line ends and escapes, JSON typing, and the JSON escaping every format shares.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FinishedRun.h"
#include "JsonText.h"
#include "TsvJsonReport.h"

namespace morvex {
namespace {

using namespace std::string_literals;

TEST(TsvJsonReportTest, TsvTurnsCrLfIntoLfAndEndsNoItemsFoundWithOne) {
  EXPECT_EQ(FormatTsv(Finished(false, {}, RunOutcome::kCompleted)), "No items found\n");
  const SearchResult found = Finished(false, {{"inc", "lib", "Ä", "TEXT"}}, RunOutcome::kCompleted);
  EXPECT_EQ(FormatTsv(found), "Project\tLibrary\tObject\tPropertyname\ninc\tlib\t\xC3\x84\tTEXT\n");
}

TEST(TsvJsonReportTest, TsvEscapesFieldsSoThatAValueCannotForgeAColumnOrARow) {
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

TEST(TsvJsonReportTest, FailedRunsPrintNothing) {
  SearchResult missing;
  missing.outcome = RunOutcome::kProjectListMissing;
  EXPECT_EQ(FormatTsv(missing), "");
  EXPECT_EQ(FormatJson(missing, true), "");
  missing.outcome = RunOutcome::kUnexpectedError;
  EXPECT_EQ(FormatJson(missing, false), "");
}

TEST(TsvJsonReportTest, JsonTypesTheAnAndStripsOnlyTheEnclosingApostrophes) {
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

TEST(JsonTextTest, JsonStringEscapesQuotesBackslashesAndControlCharacters) {
  EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonString("\t\r\n\x01\x7F"), "\"\\t\\r\\n\\u0001\\u007f\"");
  EXPECT_EQ(JsonString("\u00FC\U0001F600"), "\"\xC3\xBC\xF0\x9F\x98\x80\"");
  // Ill-formed UTF-8 (an encoded surrogate, a stray continuation byte, a cut sequence) must not reach the output.
  EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(JsonString("a\x80" "b\xE2\x82"), "\"a\xEF\xBF\xBD" "b\xEF\xBF\xBD\"");
}

}  // namespace
}  // namespace morvex
