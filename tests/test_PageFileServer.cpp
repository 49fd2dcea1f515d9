// Tests of the page-file server over sites written to a temporary folder: lookup, cursor rules, bad pages, and
// a run that meets a page list Windows keeps locked.
#include "PageFileServer.h"

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "DbfWriter.h"
#include "FindingsList.h"
#include "PipeGuard.h"
#include "TestPlatform.h"
#include "RecordingProgress.h"
#include "TextUtil.h"
#include "basFileTools.h"
#include "basSearch.h"

namespace morvex {
namespace {

namespace fs = std::filesystem;

// Views of the served texts joined for one comparison.
std::string operator+(std::string text, std::string_view more) { return text.append(more); }
using ::testing::ElementsAre;

void WriteFile(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Page(const std::string& objects) { return R"({"objects":[)" + objects + "]}"; }

class PageFileServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    root_ = fs::temp_directory_path() / ("morvex-pages-" + std::to_string(stamp));
    fs::create_directories(root_);
    doubles::ProjectListWriter()
        .Add({"Deleted", "elsewhere"}, true)
        .Add({"Plant", "plant"})
        .Add({"deleted", "gone"})
        .Add({"PLANT", "second"})
        .Add({"Caf\xE9", "cafe"})
        .WriteTo(root_ / "master.dbf");
    server_.ServeFolder(FromNativePath(root_));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  // Writes the page into the Plant project and opens it.
  bool OpenContent(const std::string& bytes) {
    WriteFile(root_ / "plant" / "Test.json", bytes);
    return server_.OpenPage("Plant", "Test");
  }

  fs::path root_;
  PageFileServer server_;
};

// --- Finding the project and the page file -----------------------------------------------------------

TEST_F(PageFileServerTest, ProjectIsFoundIgnoringCaseFirstLiveRecordWinning) {
  WriteFile(root_ / "plant" / "Main.json", Page(R"({"type":"Plant"})"));
  WriteFile(root_ / "second" / "Main.json", Page(R"({"type":"Second"})"));
  ASSERT_TRUE(server_.OpenPage("pLaNt", "Main"));
  std::string_view type;
  ASSERT_TRUE(server_.FirstObject());
  ASSERT_TRUE(server_.GetObjectType(type));
  EXPECT_EQ(type, "Plant");
}

TEST_F(PageFileServerTest, DeletedRecordsAreSkipped) {
  WriteFile(root_ / "elsewhere" / "Main.json", Page(""));
  WriteFile(root_ / "gone" / "Main.json", Page(R"({"type":"Gone"})"));
  ASSERT_TRUE(server_.OpenPage("DELETED", "Main"));
  std::string_view type;
  ASSERT_TRUE(server_.FirstObject());
  ASSERT_TRUE(server_.GetObjectType(type));
  EXPECT_EQ(type, "Gone");
}

TEST_F(PageFileServerTest, ProjectNamesAreDecodedFromTheTableCodePage) {
  WriteFile(root_ / "cafe" / "Main.json", Page(""));
  EXPECT_TRUE(server_.OpenPage("CAF\u00C9", "Main"));
  EXPECT_FALSE(server_.OpenPage("Cafe", "Main"));
}

TEST_F(PageFileServerTest, AbsoluteProjectPathIsTakenAsIs) {
  const fs::path elsewhere = root_ / "outside" / "abs";
  WriteFile(elsewhere / "Main.json", Page(""));
  doubles::ProjectListWriter().Add({"Abs", elsewhere.string()}).WriteTo(root_ / "master.dbf");
  server_.ServeFolder(FromNativePath(root_));
  EXPECT_TRUE(server_.OpenPage("Abs", "Main"));
}

TEST_F(PageFileServerTest, UnknownProjectMissingListOrNoServedFolderFail) {
  WriteFile(root_ / "plant" / "Main.json", Page(""));
  EXPECT_FALSE(server_.OpenPage("Nowhere", "Main"));
  PageFileServer unserved;
  EXPECT_FALSE(unserved.OpenPage("Plant", "Main"));
  server_.ServeFolder(FromNativePath(root_ / "plant"));  // holds no master.dbf
  EXPECT_FALSE(server_.OpenPage("Plant", "Main"));
}

TEST_F(PageFileServerTest, ReusedServerServesTheNewFolderAndRereadsTheList) {
  const fs::path other = root_ / "other-site";
  doubles::ProjectListWriter().Add({"Plant", "p2"}).WriteTo(other / "master.dbf");
  WriteFile(other / "p2" / "Only.json", Page(""));
  WriteFile(root_ / "plant" / "Main.json", Page(""));
  ASSERT_TRUE(server_.OpenPage("Plant", "Main"));
  server_.ServeFolder(FromNativePath(other));
  EXPECT_FALSE(server_.OpenPage("Plant", "Main"));
  EXPECT_TRUE(server_.OpenPage("Plant", "Only"));

  // Same folder again, with a project list changed in between.
  doubles::ProjectListWriter().Add({"Plant", "p3"}).WriteTo(other / "master.dbf");
  WriteFile(other / "p3" / "Third.json", Page(""));
  server_.ServeFolder(FromNativePath(other));
  EXPECT_TRUE(server_.OpenPage("Plant", "Third"));
}

TEST_F(PageFileServerTest, PageFileNameFallsBackToTheFirstCaseInsensitiveMatch) {
  WriteFile(root_ / "plant" / "main.json", Page(R"({"type":"lower"})"));
  WriteFile(root_ / "plant" / "MAIN.JSON", Page(R"({"type":"upper"})"));
  WriteFile(root_ / "plant" / "Main.Json", Page(R"({"type":"mixed"})"));
  const auto typeOf = [&](const std::string& page) {
    std::string_view type;
    if (!server_.OpenPage("Plant", page) || !server_.FirstObject() || !server_.GetObjectType(type)) return std::string("<fail>");
    return std::string(type);
  };
  // The name of the file that opened, as the folder spells it, for outputs that point readers at it.
  const auto nameOf = [&](const std::string& page) {
    return server_.Locator().PageFileName(FromNativePath(root_ / "plant"), page).value_or("<none>");
  };
  if (test_support::kWindows) {
    // The folder itself ignores case: the three writes went to one file, named by the first, which every
    // spelling opens.
    EXPECT_EQ(typeOf("main"), "mixed");
    EXPECT_EQ(typeOf("mAiN"), "mixed");
    EXPECT_EQ(typeOf("mainx"), "<fail>");
    EXPECT_EQ(nameOf("mAiN"), "main.json");
    EXPECT_EQ(nameOf("mainx"), "<none>");
    return;
  }
  EXPECT_EQ(typeOf("main"), "lower");  // exact name wins
  EXPECT_EQ(typeOf("mAiN"), "upper");  // "MAIN.JSON" sorts first by bytes
  EXPECT_EQ(typeOf("mainx"), "<fail>");
  EXPECT_EQ(nameOf("main"), "main.json");
  EXPECT_EQ(nameOf("mAiN"), "MAIN.JSON");
  EXPECT_EQ(nameOf("mainx"), "<none>");
}

TEST_F(PageFileServerTest, FoldersAndNamesWithNulAreNotPages) {
  fs::create_directories(root_ / "plant" / "Dir.json");
  EXPECT_FALSE(server_.OpenPage("Plant", "Dir"));
  WriteFile(root_ / "plant" / "Main.json", Page(""));
  EXPECT_FALSE(server_.OpenPage("Plant", std::string("Main\0.txt", 9)));
  EXPECT_FALSE(server_.OpenPage(std::string("Plant\0x", 7), "Main"));
}

// --- Pages that cannot be opened ---------------------------------------------------------------------

TEST_F(PageFileServerTest, PagesThatAreNotValidPageDocumentsFailToOpenAndSayWhy) {
  struct Case {
    std::string bytes;
    PageFailureReason reason;
    std::string detailStart;  // "at byte N: " for text that is no JSON, the shape's fault otherwise
  };
  const std::vector<Case> cases = {
      {"", PageFailureReason::kNotValidJson, "at byte 0: "},
      {"   ", PageFailureReason::kNotValidJson, "at byte 3: "},
      {"{\"objects\":[{\"type\":\"Tarvo\"}", PageFailureReason::kNotValidJson, "at byte 28: "},  // truncated
      {"{\"objects\":[]} trailing", PageFailureReason::kNotValidJson, "at byte 15: "},
      {"{\"objects\":[{\"type\":\"T\xFFrvo\"}]}", PageFailureReason::kNotValidJson, "at byte 22: "},  // not UTF-8
      {"{\"objects\":[{\"type\":\"\xED\xA0\x80\"}]}", PageFailureReason::kNotValidJson, "at byte 21: "},  // surrogate
      {"{\"objects\":[],}", PageFailureReason::kNotValidJson, "at byte 14: "},
      {"{'objects':[]}", PageFailureReason::kNotValidJson, "at byte 1: "},
      {"\xEF\xBB\xBF{,}", PageFailureReason::kNotValidJson, "at byte 4: "},  // counted from the file's start
      {"[]", PageFailureReason::kNotPageShape, "the top level is not an object"},
      {"\"objects\"", PageFailureReason::kNotPageShape, "the top level is not an object"},
      {"{}", PageFailureReason::kNotPageShape, "no \"objects\" array"},
      {"{\"objects\":{}}", PageFailureReason::kNotPageShape, "no \"objects\" array"},
      {"{\"objects\":null}", PageFailureReason::kNotPageShape, "no \"objects\" array"},
      {"{\"Objects\":[]}", PageFailureReason::kNotPageShape, "no \"objects\" array"},
  };
  for (const Case& bad : cases) {
    EXPECT_FALSE(OpenContent(bad.bytes)) << bad.bytes;
    const PageFailure failure = server_.LastOpenFailure();
    EXPECT_EQ(failure.reason, bad.reason) << bad.bytes;
    EXPECT_TRUE(failure.detail.starts_with(bad.detailStart)) << bad.bytes << " -> " << failure.detail;
  }
}

TEST_F(PageFileServerTest, PagesThatCannotBeFoundOrReadSayWhy) {
  fs::create_directories(root_ / "plant" / "Dir.json");
  const fs::path huge = root_ / "plant" / "Huge.json";
  WriteFile(huge, "{\"objects\":[]}");
  fs::resize_file(huge, PageDocument::kMaxPageBytes + 1);  // sparse: costs no disk
  const std::vector<std::pair<std::string, PageFailureReason>> cases = {
      {"Missing", PageFailureReason::kMissing},
      {"Dir", PageFailureReason::kNotOrdinaryFile},
      {"Huge", PageFailureReason::kTooLarge},
      {"../Main", PageFailureReason::kNameLeavesFolder},
  };
  for (const auto& [page, reason] : cases) {
    EXPECT_FALSE(server_.OpenPage("Plant", page)) << page;
    EXPECT_EQ(server_.LastOpenFailure().reason, reason) << page;
  }
  EXPECT_FALSE(server_.OpenPage("Nowhere", "Main"));
  EXPECT_EQ(server_.LastOpenFailure().reason, PageFailureReason::kUnknownProject);
}

TEST_F(PageFileServerTest, FilesWindowsSetsApartAreNotOrdinaryAndTheDetailSaysWhichKind) {
  if (!test_support::kWindows) GTEST_SKIP() << "hidden and system files and device names are Windows' own";
  for (const auto& [page, hidden] : {std::pair{"Hidden", true}, std::pair{"System", false}}) {
    const fs::path file = root_ / "plant" / (std::string(page) + ".json");
    WriteFile(file, Page(""));
    ASSERT_TRUE(test_support::MarkHiddenOrSystem(file, hidden)) << page;
  }
  // Device names are settled from the name: one reason for all, whatever opening each would have done.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Hidden", "hidden or system file"}, {"System", "hidden or system file"},
      {"CON", "a device name"},            {"con", "a device name"},
      {"con.json", "a device name"},       {"PRN", "a device name"},
      {"NUL", "a device name"},            {"AUX", "a device name"},
      {"COM1", "a device name"},           {"LPT1", "a device name"},
  };
  for (const auto& [page, detail] : cases) {
    EXPECT_FALSE(server_.OpenPage("Plant", page)) << page;
    const PageFailure failure = server_.LastOpenFailure();
    EXPECT_EQ(DescribePageFailure(failure.reason, failure.detail), "not an ordinary file: " + detail) << page;
  }
}

// Every message of a run, in order.
class RecordingMessages : public MessageSink {
 public:
  void ShowMessage(std::string_view sMessage) override { messages.emplace_back(sMessage); }
  std::vector<std::string> messages;
};

TEST_F(PageFileServerTest, APageListLockedByAnotherOpenerIsToldWithItsReasonAndTheNextProjectIsScanned) {
  if (!test_support::kWindows) GTEST_SKIP() << "no file here can be locked against other openers";
  const fs::path site = root_ / "locked-site";
  doubles::ProjectListWriter().Add({"Held", "held"}).Add({"Free", "free"}).WriteTo(site / "master.dbf");
  doubles::PageListWriter().Add({"Main"}).WriteTo(site / "held" / "pages.dbf");
  doubles::PageListWriter().Add({"Main"}).WriteTo(site / "free" / "pages.dbf");
  const std::string tarvo = R"({"type":"Tarvo","an":4,"properties":[{"name":"TEXT","value":"on"}]})";
  WriteFile(site / "held" / "Main.json", Page(tarvo));
  WriteFile(site / "free" / "Main.json", Page(tarvo));
  const test_support::ExclusiveHold hold(site / "held" / "pages.dbf");
  ASSERT_TRUE(hold.Held());

  doubles::RecordingProgress progress;
  RecordingMessages messages;
  AppContext context(MakePageFileServerFactory(), progress, messages);
  const SearchResult result = RunSearchDetailed(context, FromNativePath(site), true, true);

  EXPECT_EQ(result.outcome, RunOutcome::kCompleted);
  ASSERT_EQ(result.findings.Count(), 1);
  EXPECT_EQ(result.findings.Line(0), "Free\tMain\t4\t\t\t\tTEXT\t'on'");
  // A held file is told as held, not as one the user may not read. The count left the held list out, so the
  // one page of the other project is the whole run.
  const std::string reason = "in use by another program, which does not share it";
  const std::string listPath = FromNativePath(site / "held" / "pages.dbf");
  // The list's own message is the whole telling: every page that was reached opened.
  ASSERT_EQ(messages.messages.size(), 2u) << ::testing::PrintToString(messages.messages);
  EXPECT_EQ(messages.messages[0], "Cannot open page list:\r\n" + listPath + "\r\nunreadable: " + reason);
  EXPECT_EQ(messages.messages[1], "Done");
  ASSERT_EQ(result.unopened.ListCount(), 1);
  EXPECT_EQ(result.unopened.ListAt(0).project, "Held");
  EXPECT_EQ(result.unopened.ListAt(0).detail, reason);
  EXPECT_EQ(progress.Percentages(), (std::vector<int32_t>{100}));
}

TEST_F(PageFileServerTest, AProjectFolderIsListedOnceHoweverManyPagesMissTheirExactName) {
  for (int i = 0; i < 200; ++i) WriteFile(root_ / "plant" / ("other" + std::to_string(i) + ".json"), Page(""));
  WriteFile(root_ / "plant" / "MAIN.JSON", Page(R"({"type":"upper"})"));
  for (int i = 0; i < 50; ++i) EXPECT_FALSE(server_.OpenPage("Plant", "gone" + std::to_string(i)));
  std::string_view type;
  ASSERT_TRUE(server_.OpenPage("Plant", "main"));
  ASSERT_TRUE(server_.FirstObject() && server_.GetObjectType(type));
  EXPECT_EQ(type, "upper");
  EXPECT_EQ(server_.Locator().FoldersListed(), 1u);
}

TEST_F(PageFileServerTest, OneLeadingByteOrderMarkIsSkipped) {
  const std::string bom = "\xEF\xBB\xBF";
  const auto firstType = [&] {
    std::string_view type = "<fail>";
    if (server_.FirstObject()) (void)server_.GetObjectType(type);
    return std::string(type);
  };
  ASSERT_TRUE(OpenContent(bom + Page(R"({"type":"Tarvo"})")));
  EXPECT_EQ(firstType(), "Tarvo");
  ASSERT_TRUE(OpenContent(bom + " \n" + Page("")));
  EXPECT_EQ(firstType(), "<fail>");
  ASSERT_TRUE(server_.OpenPageContent(bom + Page(R"({"type":"Rectangle"})")));
  EXPECT_EQ(firstType(), "Rectangle");
  // Inside a text it is an ordinary character, so that type is no Tarvo.
  ASSERT_TRUE(OpenContent(Page(R"({"type":")" + bom + R"(Tarvo"})")));
  EXPECT_EQ(firstType(), "\uFEFFTarvo");

  const std::vector<std::string> refused = {
      bom,
      bom + " \r\n\t",
      bom + bom + Page(""),
      " " + bom + Page(""),
      "{" + bom + R"("objects":[]})",
      Page("") + bom,
      "\xEF\xBB" + Page(""),
      "\xFE\xFF" + Page(""),
  };
  for (const std::string& bytes : refused) EXPECT_FALSE(OpenContent(bytes)) << bytes;
}

TEST_F(PageFileServerTest, PageNamesThatWouldLeaveTheProjectFolderFailLikeMissingPages) {
  WriteFile(root_ / "Secret.json", Page(R"({"type":"outside"})"));
  WriteFile(root_ / "plant" / "sub" / "Inner.json", Page(R"({"type":"below"})"));
  WriteFile(root_ / "plant" / "..json", Page(R"({"type":"dot"})"));
  WriteFile(root_ / "plant" / "...json", Page(R"({"type":"dotdot"})"));
  WriteFile(root_ / "plant" / "a..b.json", Page(R"({"type":"inside"})"));
  const std::string outside = FromNativePath(root_ / "Secret");
  for (const std::string& name :
       {std::string("../Secret"), std::string("../secret"), std::string("../../x"),
        std::string("sub/Inner"), std::string("./a..b"), std::string("."), std::string(".."),
        outside, std::string("/") + outside}) {
    EXPECT_FALSE(server_.OpenPage("Plant", name)) << (name);
    EXPECT_FALSE(server_.FirstObject());
  }
  std::string_view type;
  ASSERT_TRUE(server_.OpenPage("Plant", "a..b"));
  ASSERT_TRUE(server_.FirstObject());
  ASSERT_TRUE(server_.GetObjectType(type));
  EXPECT_EQ(type, "inside");
}

TEST_F(PageFileServerTest, APipeWhereThePageFileShouldBeFailsWithoutWaiting) {
  const fs::path pipe = root_ / "plant" / "Pipe.json";
  const fs::path lower = root_ / "plant" / "lower.json";
  fs::create_directories(root_ / "plant");
  if (!test_support::MakeNamedPipe(pipe)) GTEST_SKIP() << "no named pipes in folders here";
  ASSERT_TRUE(test_support::MakeNamedPipe(lower));
  EXPECT_FALSE(test_support::WithoutWaitingOn(pipe, [&] { return server_.OpenPage("Plant", "Pipe"); }));
  EXPECT_FALSE(test_support::WithoutWaitingOn(lower, [&] { return server_.OpenPage("Plant", "LOWER"); }));
  // Like a folder, a pipe is no page file: one whose name differs only in letter case is served instead (by
  // the next run: a run lists a folder once).
  WriteFile(root_ / "plant" / "PIPE.JSON", Page(R"({"type":"file"})"));
  server_.ServeFolder(FromNativePath(root_));
  ASSERT_TRUE(test_support::WithoutWaitingOn(pipe, [&] { return server_.OpenPage("Plant", "Pipe"); }));
  std::string_view type;
  ASSERT_TRUE(server_.FirstObject());
  ASSERT_TRUE(server_.GetObjectType(type));
  EXPECT_EQ(type, "file");
}

TEST_F(PageFileServerTest, DeepNestingFailsCleanly) {
  std::string deep = R"({"objects":[)";
  deep += std::string(100000, '[') + std::string(100000, ']') + "]}";
  EXPECT_FALSE(OpenContent(deep));
  std::string moderate = R"({"objects":[{"x":)" + std::string(500, '[') + std::string(500, ']') + "}]}";
  EXPECT_TRUE(OpenContent(moderate));
}

TEST_F(PageFileServerTest, FailedOpenStillClosesThePreviousPage) {
  ASSERT_TRUE(OpenContent(Page(R"({"type":"A"})")));
  ASSERT_TRUE(server_.FirstObject());
  EXPECT_FALSE(server_.OpenPage("Plant", "Missing"));
  EXPECT_FALSE(server_.FirstObject());
  EXPECT_FALSE(server_.ClosePage());
}

// --- The cursor and what each operation serves -------------------------------------------------------

TEST_F(PageFileServerTest, ClosePageFailsWithoutAnOpenPageAndEndsEveryWalk) {
  EXPECT_FALSE(server_.ClosePage());
  ASSERT_TRUE(OpenContent(Page(R"({"type":"A","an":1})")));
  ASSERT_TRUE(server_.FirstObject());
  EXPECT_TRUE(server_.ClosePage());
  int16_t an = 99;
  EXPECT_FALSE(server_.GetObjectAN(an));
  EXPECT_EQ(an, 99);
  EXPECT_FALSE(server_.ClosePage());
  EXPECT_TRUE(server_.SetInteractive(false));
  EXPECT_FALSE(server_.Interactive());
}

TEST_F(PageFileServerTest, ObjectWalkStopsAtTheLastAndKeepsItCurrent) {
  ASSERT_TRUE(OpenContent(Page(R"({"an":1},{"an":2})")));
  int16_t an = 0;
  EXPECT_FALSE(server_.NextObject());  // nothing current after opening
  EXPECT_FALSE(server_.GetObjectAN(an));
  ASSERT_TRUE(server_.FirstObject());
  ASSERT_TRUE(server_.NextObject());
  EXPECT_FALSE(server_.NextObject());
  ASSERT_TRUE(server_.GetObjectAN(an));
  EXPECT_EQ(an, 2);
  ASSERT_TRUE(server_.FirstObject());
  ASSERT_TRUE(server_.GetObjectAN(an));
  EXPECT_EQ(an, 1);
}

TEST_F(PageFileServerTest, EmptyObjectsArrayHasNoFirstObject) {
  ASSERT_TRUE(OpenContent(Page("")));
  EXPECT_FALSE(server_.FirstObject());
  EXPECT_TRUE(server_.ClosePage());
}

TEST_F(PageFileServerTest, EntriesThatAreNotObjectsAreWalkedButServeNothing) {
  ASSERT_TRUE(OpenContent(Page(R"(1,"x",null,[],{"type":"Tarvo"})")));
  std::string_view type = "kept";
  std::string_view name;
  std::string_view value;
  ASSERT_TRUE(server_.FirstObject());
  for (int i = 0; i < 4; ++i) {
    type = "Tarvo";
    EXPECT_TRUE(server_.GetObjectType(type));
    EXPECT_EQ(type, "") << "entry " << i + 1;
    EXPECT_FALSE(server_.FirstProperty(name, value));
    ASSERT_TRUE(server_.NextObject());
  }
  ASSERT_TRUE(server_.GetObjectType(type));
  EXPECT_EQ(type, "Tarvo");
}

TEST_F(PageFileServerTest, ObjectWithoutAStringTypeAnswersTheEmptyType) {
  ASSERT_TRUE(OpenContent(Page(
      R"({"type":5},{},{"type":null},{"type":["Tarvo"]},{"Type":"Tarvo"},{"type":"","an":1},)"
      R"({"type":"  Tarvo ","extra":[1,2]},{"type":{"type":"Tarvo"}},{"type":7,"type":"Tarvo"})")));
  std::vector<std::string> types;
  ASSERT_TRUE(server_.FirstObject());
  do {
    std::string_view type = "Tarvo";
    if (!server_.GetObjectType(type)) type = "<fail>";
    types.emplace_back(type);
  } while (server_.NextObject());
  EXPECT_THAT(types, ElementsAre("", "", "", "", "", "", "  Tarvo ", "", ""));
  std::string_view type = "kept";
  ASSERT_TRUE(server_.ClosePage());
  EXPECT_FALSE(server_.GetObjectType(type));  // no object current
  EXPECT_EQ(type, "kept");
}

TEST_F(PageFileServerTest, AnMustBeASixteenBitInteger) {
  ASSERT_TRUE(OpenContent(Page(
      R"({"an":-32768},{"an":32767},{"an":32768},{"an":-32769},{"an":1.5},{"an":"17"},{"an":1e3},)"
      R"({"an":99999999999999999999},{"an":18446744073709551615},{},{"an":true},{"an":-0})")));
  int16_t an = 7;
  ASSERT_TRUE(server_.FirstObject());
  ASSERT_TRUE(server_.GetObjectAN(an));
  EXPECT_EQ(an, -32768);
  ASSERT_TRUE(server_.NextObject());
  ASSERT_TRUE(server_.GetObjectAN(an));
  EXPECT_EQ(an, 32767);
  for (int i = 0; i < 9; ++i) {
    ASSERT_TRUE(server_.NextObject());
    EXPECT_FALSE(server_.GetObjectAN(an)) << "object " << i + 3;
    EXPECT_EQ(an, 32767);
  }
  ASSERT_TRUE(server_.NextObject());
  ASSERT_TRUE(server_.GetObjectAN(an));
  EXPECT_EQ(an, 0);
}

TEST_F(PageFileServerTest, NumbersBeyondTheParsersRangeDoNotCostThePage) {
  // Valid JSON that simdjson alone refuses: the page opens and only those numbers fail to serve.
  ASSERT_TRUE(OpenContent(Page(
      R"({"an":5,"export":{"id":123456789012345678901234567890,"scale":-1e400,"s":"1e400 \"99999999999999999999\""}},)"
      R"({"an":1e999,"tarvo":{"project":"p","library":"l","name":"n","number":-99999999999999999999}})")));
  std::string_view project, library, name;
  int32_t number = 0;
  int16_t an = 0;
  ASSERT_TRUE(server_.FirstObject());
  ASSERT_TRUE(server_.GetObjectAN(an));
  EXPECT_EQ(an, 5);
  ASSERT_TRUE(server_.NextObject());
  EXPECT_FALSE(server_.GetObjectAN(an));
  EXPECT_FALSE(server_.GetTarvoInfo(project, library, name, number));
  // Malformed numbers stay malformed.
  EXPECT_FALSE(OpenContent(Page(R"({"an":01,"x":1e400})")));
  EXPECT_FALSE(OpenContent(Page(R"({"an":1.,"x":1e400})")));
  EXPECT_FALSE(OpenContent(Page(R"({"an":-,"x":99999999999999999999})")));
}

TEST_F(PageFileServerTest, TarvoInfoNeedsItsThreeStringsAndAnIntegerNumberIfAny) {
  ASSERT_TRUE(OpenContent(Page(
      R"({"tarvo":{"project":"inc","library":"lib","name":"v1","number":3}},)"
      R"({"tarvo":{"project":"inc","library":"lib","name":"v2"}},)"
      R"({"tarvo":{"project":"inc","library":"lib"}},)"
      R"({"tarvo":{"project":"inc","library":7,"name":"v"}},)"
      R"({"tarvo":"inc/lib/v"},)"
      R"({},)"
      R"({"tarvo":{"project":"inc","library":"lib","name":"v","number":2.5}},)"
      R"({"tarvo":{"project":"inc","library":"lib","name":"v","number":3000000000}},)"
      R"({"tarvo":{"project":"inc","library":"lib","name":"v","number":"3"}},)"
      R"({"tarvo":{"project":"","library":"","name":"","number":-2147483648}})")));
  std::string_view project = "p", library = "l", name = "n";
  int32_t number = -1;
  ASSERT_TRUE(server_.FirstObject());
  ASSERT_TRUE(server_.GetTarvoInfo(project, library, name, number));
  EXPECT_EQ(std::string(project) + "/" + library + "/" + name, "inc/lib/v1");
  EXPECT_EQ(number, 3);
  ASSERT_TRUE(server_.NextObject());
  ASSERT_TRUE(server_.GetTarvoInfo(project, library, name, number));
  EXPECT_EQ(name, "v2");
  EXPECT_EQ(number, 0);
  for (int i = 0; i < 7; ++i) {
    ASSERT_TRUE(server_.NextObject());
    EXPECT_FALSE(server_.GetTarvoInfo(project, library, name, number)) << "object " << i + 3;
    EXPECT_EQ(name, "v2");
    EXPECT_EQ(number, 0);
  }
  ASSERT_TRUE(server_.NextObject());
  ASSERT_TRUE(server_.GetTarvoInfo(project, library, name, number));
  EXPECT_EQ(name, "");
  EXPECT_EQ(number, INT32_MIN);
}

TEST_F(PageFileServerTest, PropertyWalkFollowsTheCurrentObject) {
  ASSERT_TRUE(OpenContent(Page(
      R"({"properties":[{"name":"TEXT","value":"a"},{"name":"Tag","value":"b"}]},)"
      R"({"properties":[{"name":"FONT","value":""}]})")));
  std::string_view name = "n", value = "v";
  EXPECT_FALSE(server_.FirstProperty(name, value));  // no object current
  ASSERT_TRUE(server_.FirstObject());
  EXPECT_FALSE(server_.NextProperty(name, value));  // no property current
  EXPECT_EQ(name, "n");
  ASSERT_TRUE(server_.FirstProperty(name, value));
  EXPECT_EQ(std::string(name) + "=" + value, "TEXT=a");
  ASSERT_TRUE(server_.NextProperty(name, value));
  EXPECT_EQ(std::string(name) + "=" + value, "Tag=b");
  EXPECT_FALSE(server_.NextProperty(name, value));
  EXPECT_FALSE(server_.NextProperty(name, value));
  EXPECT_EQ(std::string(name) + "=" + value, "Tag=b");
  ASSERT_TRUE(server_.NextObject());
  EXPECT_FALSE(server_.NextProperty(name, value));  // a new object has no current property
  ASSERT_TRUE(server_.FirstProperty(name, value));
  EXPECT_EQ(std::string(name) + "=" + value, "FONT=");
  EXPECT_FALSE(server_.NextProperty(name, value));
}

TEST_F(PageFileServerTest, MalformedPropertyEntriesFailTheStepThatReachesThem) {
  ASSERT_TRUE(OpenContent(Page(
      R"({"properties":[{"name":"A","value":"1"},{"name":"B"},{"name":"C","value":"3"}]},)"
      R"({"properties":["TEXT"]},{"properties":[]},{"properties":{"name":"A","value":"1"}},)"
      R"({"properties":[{"name":"A","value":1}]},{"properties":[{"name":null,"value":"x"}]})")));
  std::string_view name, value;
  ASSERT_TRUE(server_.FirstObject());
  ASSERT_TRUE(server_.FirstProperty(name, value));
  EXPECT_FALSE(server_.NextProperty(name, value));
  EXPECT_FALSE(server_.NextProperty(name, value));  // the cursor stayed in front of the bad entry
  EXPECT_EQ(std::string(name) + value, "A1");
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(server_.NextObject());
    EXPECT_FALSE(server_.FirstProperty(name, value)) << "object " << i + 2;
    EXPECT_EQ(std::string(name) + value, "A1");
  }
}

TEST_F(PageFileServerTest, TextIsServedAsUtf16WithEscapesResolved) {
  ASSERT_TRUE(OpenContent(Page(
      R"({"type":"Pumpe \u00c4 \u20ac \ud83d\ude00","properties":[{"name":"TEXT","value":"a\tb\"c\u0000d"}]})")));
  std::string_view type, name, value;
  ASSERT_TRUE(server_.FirstObject());
  ASSERT_TRUE(server_.GetObjectType(type));
  EXPECT_EQ(type, "Pumpe \u00C4 \u20AC \U0001F600");
  ASSERT_TRUE(server_.FirstProperty(name, value));
  EXPECT_EQ(value, std::string("a\tb\"c\0d", 7));
  // ASCII is widened eight bytes at a time: lengths around and across that step must come out whole.
  ASSERT_TRUE(OpenContent(Page(
      R"({"properties":[{"name":"ACTIVEXEXT_*EVENTCLASS","value":"0123456789abcdefghijklmnopqrstuvwxyz~"},)"
      R"({"name":"DBLCLK_C","value":"1234567"}]})")));
  ASSERT_TRUE(server_.FirstObject());
  ASSERT_TRUE(server_.FirstProperty(name, value));
  EXPECT_EQ(name, "ACTIVEXEXT_*EVENTCLASS");
  EXPECT_EQ(value, "0123456789abcdefghijklmnopqrstuvwxyz~");
  ASSERT_TRUE(server_.NextProperty(name, value));
  EXPECT_EQ(std::string(name) + "|" + value, "DBLCLK_C|1234567");
  ASSERT_TRUE(OpenContent(Page("{\"type\":\"\xC3\x84\xE2\x82\xAC\xF0\x9F\x98\x80\"}")));
  ASSERT_TRUE(server_.FirstObject());
  ASSERT_TRUE(server_.GetObjectType(type));
  EXPECT_EQ(type, "\u00C4\u20AC\U0001F600");
}

// --- The server behind the scan ----------------------------------------------------------------------

TEST_F(PageFileServerTest, ScanOverARealPageFindsTheReservedNames) {
  ASSERT_TRUE(OpenContent(Page(
      R"({"type":"Tarvo","an":17,"tarvo":{"project":"include","library":"valves","name":"valve_h","number":3},)"
      R"("properties":[{"name":"TEXT","value":"Pump 1"},{"name":"Tag","value":"P1_RUN"}]},)"
      R"({"type":"Rectangle","an":18,"properties":[{"name":"TEXT","value":"x"}]},)"
      R"({"type":"Tarvo","an":-3,"properties":[{"name":"FONT","value":"it's"},{"name":"bad"}]})")));
  doubles::RecordingProgress progress;
  FindingsList findings;
  ScanPageObjects(server_, progress, "Plant", "Test", findings, true);
  ASSERT_EQ(findings.Count(), 2);
  EXPECT_EQ(findings.Line(0), "Plant\tTest\t17\tinclude\tvalves\tvalve_h\tTEXT\t'Pump 1'");
  EXPECT_EQ(findings.Line(1), "Plant\tTest\t-3\t\t\t\tFONT\t'it's'");
}

TEST_F(PageFileServerTest, ScanPassesOverMissingMembersAsThePageFilesSectionSays) {
  ASSERT_TRUE(OpenContent(Page(
      // No "an" before any was read: 0.
      R"({"type":"Tarvo","tarvo":{"project":"inc","library":"lib","name":"v0"},)"
      R"("properties":[{"name":"SZX","value":""}]},)"
      R"({"type":"Tarvo","an":5,"tarvo":{"project":"inc","library":"lib","name":"v1"},)"
      R"("properties":[{"name":"TEXT","value":"a"}]},)"
      // No type, or no string type, after a Tarvo: not a Tarvo.
      R"({"an":6,"tarvo":{"project":"inc","library":"lib","name":"v2"},)"
      R"("properties":[{"name":"FONT","value":"b"}]},)"
      R"({"type":null,"properties":[{"name":"FONT","value":"c"}]},)"
      R"({"type":["Tarvo"],"properties":[{"name":"FONT","value":"d"}]},)"
      R"(42,)"
      // An "an" on an object that is not scanned is never read.
      R"({"type":"Rectangle","an":8},)"
      // No "an": the AN of the finding before; no "tarvo" or one short of a text: empty library fields.
      R"({"type":"Tarvo","properties":[{"name":"VISIBLE","value":"1"}]},)"
      R"({"type":"Tarvo","an":9,"tarvo":{"project":"p","library":"l"},)"
      // A malformed property ends the walk: what comes after it is not read.
      R"("properties":[{"name":"Tag","value":"x"},{"name":"ROT","value":"2"},{"name":"MVX"},)"
      R"({"name":"MVY","value":"3"}]},)"
      R"({"type":"Tarvo","an":10,"properties":["TEXT",{"name":"DESC","value":"4"}]})")));
  doubles::RecordingProgress progress;
  FindingsList findings;
  ScanPageObjects(server_, progress, "Plant", "Test", findings, true);
  std::vector<std::string> lines;
  for (int32_t i = 0; i < findings.Count(); ++i) lines.emplace_back(findings.Line(i));
  EXPECT_THAT(lines, ElementsAre("Plant\tTest\t0\tinc\tlib\tv0\tSZX\t''",
                                 "Plant\tTest\t5\tinc\tlib\tv1\tTEXT\t'a'",
                                 "Plant\tTest\t5\t\t\t\tVISIBLE\t'1'",
                                 "Plant\tTest\t9\t\t\t\tROT\t'2'"));
}

TEST_F(PageFileServerTest, NothingIsWrittenUnderTheServedFolder) {
  WriteFile(root_ / "plant" / "Main.json", Page(R"({"type":"Tarvo","properties":[{"name":"TEXT","value":"x"}]})"));
  const auto snapshot = [&] {
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root_))
      entries.insert(entry.path().string() + ":" +
                     (entry.is_regular_file() ? std::to_string(entry.file_size()) : std::string("dir")));
    return entries;
  };
  const auto before = snapshot();
  for (int i = 0; i < 3; ++i) {
    (void)server_.OpenPage("plant", "MAIN");
    (void)server_.OpenPage("Nowhere", "Main");
    (void)server_.OpenPage("Plant", "Missing");
  }
  EXPECT_EQ(snapshot(), before);
}

TEST_F(PageFileServerTest, LargePageBuffersAreLetGoWhenThePageCloses) {
  std::string big = R"({"objects":[)";
  const std::string object = R"({"type":"Tarvo","an":1,"properties":[{"name":"Tag","value":"0123456789"}]},)";
  while (big.size() < (size_t{40} << 20)) big += object;
  big += R"({}]})";
  ASSERT_TRUE(server_.OpenPageContent(big));
  EXPECT_GT(server_.Document().RetainedBytes(), size_t{40} << 20);
  ASSERT_TRUE(server_.ClosePage());
  EXPECT_LT(server_.Document().RetainedBytes(), size_t{40} << 20);
  ASSERT_TRUE(server_.OpenPageContent(Page("{}")));
  EXPECT_TRUE(server_.FirstObject());
}

TEST_F(PageFileServerTest, PagesGrowingLittleByLittleReuseTheMemoryOfTheFirst) {
  std::string page = R"({"objects":[)";
  const std::string object = R"({"type":"Tarvo","an":1,"properties":[{"name":"Tag","value":"0123456789"}]},)";
  while (page.size() < (size_t{1} << 20)) page += object;
  ASSERT_TRUE(server_.OpenPageContent(page + "{}]}"));
  const size_t retained = server_.Document().RetainedBytes();
  for (int grown = 1; grown <= 10; ++grown) {
    for (int i = 0; i < 200; ++i) page += object;
    ASSERT_TRUE(server_.OpenPageContent(page + "{}]}"));
    EXPECT_EQ(server_.Document().RetainedBytes(), retained) << "after growing " << grown << " times";
  }
}

TEST(PageFileServerFactory, MakesIndependentServers) {
  const PageAutomationFactory factory = MakePageFileServerFactory();
  auto first = factory();
  auto second = factory();
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first.get(), second.get());
  EXPECT_NE(dynamic_cast<PageFileServer*>(first.get()), nullptr);
}

}  // namespace
}  // namespace morvex
