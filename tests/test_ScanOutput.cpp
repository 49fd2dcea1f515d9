// The command line's output formats: TSV line ends, JSON escaping and typing, message lines, exit status.
#include <gtest/gtest.h>

#include "ScanOutput.h"

namespace morvex {
namespace {

using namespace std::string_literals;

SearchResult Finished(bool bShowAll, std::vector<std::vector<std::u16string>> lines, RunOutcome outcome) {
  SearchResult result;
  result.outcome = outcome;
  for (auto& fields : lines) result.findings.Add(std::move(fields));
  if (result.findings.Count() == 0) {
    result.report = u"No items found";
  } else {
    result.report = bShowAll ? u"Pg Proj\tPage\tAN\tLib Proj\tLibrary\tObject\tPropertyname\tPropertyValue\r\n"
                             : u"Project\tLibrary\tObject\tPropertyname\r\n";
    for (int32_t i = 0; i < result.findings.Count(); ++i) result.report += result.findings.Line(i) + u"\r\n";
  }
  return result;
}

TEST(ScanOutputTest, TsvTurnsCrLfIntoLfAndEndsNoItemsFoundWithOne) {
  EXPECT_EQ(FormatTsv(Finished(false, {}, RunOutcome::kCompleted)), "No items found\n");
  const SearchResult found = Finished(false, {{u"inc", u"lib", u"Ä", u"TEXT"}}, RunOutcome::kCompleted);
  EXPECT_EQ(FormatTsv(found), "Project\tLibrary\tObject\tPropertyname\ninc\tlib\t\xC3\x84\tTEXT\n");
}

TEST(ScanOutputTest, TsvEscapesFieldsSoThatAValueCannotForgeAColumnOrARow) {
  // The value forges a whole finding line; the project name a column.
  const std::u16string forged = u"x\nP\tpg\t1\tinc\tlib\tt\tTEXT\t'y'";
  const SearchResult result =
      Finished(true, {{u"A\tB", u"pg", u"7", u"inc", u"lib", u"t", u"TEXT", u"'" + forged + u"\r\\'"}},
               RunOutcome::kCompleted);
  const std::string tsv = FormatTsv(result);
  EXPECT_EQ(tsv,
            "Pg Proj\tPage\tAN\tLib Proj\tLibrary\tObject\tPropertyname\tPropertyValue\n"
            "A\\tB\tpg\t7\tinc\tlib\tt\tTEXT\t'x\\nP\\tpg\\t1\\tinc\\tlib\\tt\\tTEXT\\t'y'\\r\\\\'\n");
  // The report the window shows keeps the raw text; only the stream is escaped.
  EXPECT_NE(result.report.find(forged), std::u16string::npos);
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
      Finished(true, {{u"P", u"pg", u"-12", u"inc", u"lib", u"t", u"TEXT", u"'it's'"},
                      {u"P", u"pg", u"3", u"inc", u"lib", u"t", u"FONT", u"''"}},
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
  EXPECT_EQ(JsonString(u"a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonString(u"\t\r\n\x01\x7F"), "\"\\t\\r\\n\\u0001\\u007f\"");
  EXPECT_EQ(JsonString(u"\u00FC\U0001F600"), "\"\xC3\xBC\xF0\x9F\x98\x80\"");
  // A lone surrogate must not produce invalid UTF-8 in the output.
  const std::string lone = JsonString(std::u16string(1, static_cast<char16_t>(0xD800)));
  EXPECT_EQ(lone, "\"\xEF\xBF\xBD\"");
}

TEST(ScanOutputTest, MessageLineKeepsEveryMessageOnOneLine) {
  EXPECT_EQ(MessageLine(u"Cannot open page list:\r\n/site/a/pages.dbf"), "Cannot open page list: /site/a/pages.dbf\n");
  EXPECT_EQ(MessageLine(u"odd\nname\rhere"), "odd name here\n");
  // A NUL from a table value is kept; the writer goes by length, so the line end survives it.
  EXPECT_EQ(MessageLine(u"a\0b"s), "a\0b\n"s);
}

TEST(ScanOutputTest, ExitStatusFollowsOutcomeAndFindings) {
  EXPECT_EQ(ExitStatus(Finished(true, {}, RunOutcome::kCompleted)), 0);
  EXPECT_EQ(ExitStatus(Finished(false, {{u"a", u"b", u"c", u"TEXT"}}, RunOutcome::kCompleted)), 1);
  EXPECT_EQ(ExitStatus(Finished(true, {}, RunOutcome::kCancelled)), 130);
  SearchResult failed;
  failed.outcome = RunOutcome::kProjectListMissing;
  EXPECT_EQ(ExitStatus(failed), 2);
  failed.outcome = RunOutcome::kUnexpectedError;
  EXPECT_EQ(ExitStatus(failed), 2);
}

}  // namespace
}  // namespace morvex
