// Whole search runs over sites laid out on disk: report text, messages, progress texts, percentages, lifetimes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "DbfWriter.h"
#include "Error.h"
#include "ErrorNumber.h"
#include "PageFileServer.h"
#include "RecordingProgress.h"
#include "ScriptedAutomation.h"
#include "SiteGenerator.h"
#include "TextUtil.h"
#include "basFileTools.h"
#include "basSearch.h"

namespace morvex {
namespace {

namespace fs = std::filesystem;
using doubles::AutomationOp;
using doubles::DbfWriter;
using doubles::PageListWriter;
using doubles::ProgressCall;
using doubles::ProjectListWriter;
using doubles::RecordingProgress;
using doubles::ScriptedSite;
using doubles::TarvoObject;

// Remembers every message together with whether the progress window was up when it appeared.
class RecordingMessages : public MessageSink {
 public:
  explicit RecordingMessages(const ProgressInterface& progress) : progress_(progress) {}
  void ShowMessage(const std::u16string& sMessage) override {
    messages.push_back(sMessage);
    progressShownAtMessage.push_back(progress_.Shown());
  }
  std::vector<std::u16string> messages;
  std::vector<bool> progressShownAtMessage;

 private:
  const ProgressInterface& progress_;
};

struct ProjectSpec {
  std::string name;  // Windows-1252 bytes, as the package stores them
  std::string path;  // the "Path" cell
  bool deleted = false;
  std::optional<std::vector<std::string>> pages;  // no value: the folder has no page list
};

class SearchRunTest : public ::testing::Test {
 protected:
  SearchRunTest()
      : root_(fs::temp_directory_path() /
              ("morvex_run_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name())),
        site_(std::make_shared<ScriptedSite>()),
        messages_(progress_),
        context_(doubles::MakeScriptedFactory(site_), progress_, messages_) {
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  ~SearchRunTest() override { fs::remove_all(root_); }

  std::u16string Folder() const { return FromNativePath(root_); }

  void WriteSite(const std::vector<ProjectSpec>& projects) {
    DbfWriter master = ProjectListWriter();
    for (const ProjectSpec& project : projects) {
      master.Add({project.name, project.path}, project.deleted);
      if (!project.pages) continue;
      DbfWriter pageList = PageListWriter();
      for (const std::string& page : *project.pages) pageList.Add({page});
      const fs::path folder = fs::path(project.path).is_absolute() ? fs::path(project.path) : root_ / project.path;
      pageList.WriteTo(folder / "pages.dbf");
    }
    master.WriteTo(root_ / "master.dbf");
  }

  // One Tarvo with one reserved property, so every scanned page leaves one finding named after the page.
  void AddHitPage(const std::u16string& project, const std::u16string& page, int16_t an = 1) {
    site_->AddPage(project, page, {TarvoObject(an, {u"inc", u"valves", u"v_" + page}, {{u"TEXT", page}})});
  }
  void AddEmptyPage(const std::u16string& project, const std::u16string& page) { site_->AddPage(project, page, {}); }

  SearchResult Run(bool bShowAll = true, bool bIgnoreBuiltIn = true) {
    return RunSearchDetailed(context_, Folder(), bShowAll, bIgnoreBuiltIn);
  }

  // Progress calls as short texts: "show", "close", "0:<text>", "%<percent>".
  std::vector<std::u16string> ProgressTrace() const {
    std::vector<std::u16string> trace;
    for (const doubles::ProgressEvent& event : progress_.Events()) {
      switch (event.call) {
        case ProgressCall::kShow: trace.push_back(u"show"); break;
        case ProgressCall::kClose: trace.push_back(u"close"); break;
        case ProgressCall::kTitle: trace.push_back(u"title:" + event.text); break;
        case ProgressCall::kText: trace.push_back(ToDecimal(event.index) + u":" + event.text); break;
        case ProgressCall::kUpdate: trace.push_back(u"%" + ToDecimal(event.percent)); break;
      }
    }
    return trace;
  }

  std::vector<std::u16string> InteractiveCalls() const {
    std::vector<std::u16string> calls;
    for (const doubles::AutomationCall& call : site_->Calls())
      if (call.op == AutomationOp::kSetInteractive) calls.push_back(call.argument);
    return calls;
  }

  std::u16string ListPath(const std::string& projectFolder) const {
    return JoinPath(JoinPath(Folder(), Utf8ToUtf16(projectFolder)), u"pages.dbf");
  }

  fs::path root_;
  std::shared_ptr<ScriptedSite> site_;
  RecordingProgress progress_;
  RecordingMessages messages_;
  AppContext context_;
};

TEST(ComputePercentTest, RoundsHalvesToEvenOverEightPages) {
  std::vector<int32_t> shown;
  for (int32_t done = 1; done <= 8; ++done) {
    int32_t percent = -1;
    ASSERT_TRUE(ComputePercent(done, 8, percent));
    shown.push_back(percent);
  }
  EXPECT_EQ(shown, (std::vector<int32_t>{12, 25, 38, 50, 62, 75, 88, 100}));
}

TEST(ComputePercentTest, ThirdsRoundToNearestAndZeroTotalKeepsTheValue) {
  int32_t percent = 0;
  ASSERT_TRUE(ComputePercent(1, 3, percent));
  EXPECT_EQ(percent, 33);
  ASSERT_TRUE(ComputePercent(2, 3, percent));
  EXPECT_EQ(percent, 67);
  EXPECT_FALSE(ComputePercent(5, 0, percent));
  EXPECT_EQ(percent, 67);
  // More pages done than counted (lists grew after the count): the number goes past 100 and is not clamped here.
  ASSERT_TRUE(ComputePercent(3, 2, percent));
  EXPECT_EQ(percent, 150);
}

TEST(ComputePercentTest, ResultBeyondThirtyTwoBitsIsOverflow) {
  int32_t percent = 7;
  try {
    ComputePercent(INT32_MAX, 1, percent);
    FAIL() << "expected an overflow";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), kErrOverflow);
  }
  EXPECT_EQ(percent, 7);
}

TEST_F(SearchRunTest, CountPagesAddsEveryRecordOfEveryPageListDeletedOrNot) {
  WriteSite({{"A", "a", false, {{"1", "2", "3", "4"}}},
             {"B", "b", true, {{}}},
             {"Example", "c", false, {{"1", "2", "3", "4", "5", "6", "7"}}},
             {"D", "d", false, std::nullopt}});
  DbfWriter withDeletedPage = PageListWriter();
  withDeletedPage.Add({"x"}).Add({"y"}, true);
  withDeletedPage.WriteTo(root_ / "b" / "pages.dbf");
  TextTable table(4, 1);
  table.At(1, 1) = u"a";
  table.At(2, 1) = u"b";
  table.At(3, 1) = FromNativePath(root_ / "c");  // absolute cells are taken as they are
  table.At(4, 1) = u"d";
  EXPECT_EQ(CountPages(table, 1, Folder()), 13);
}

TEST_F(SearchRunTest, CountPagesFailsWithOutOfRangeOnEmptyTableOrColumnOutside) {
  EXPECT_EQ(ErrorNumberOf([&] { CountPages(TextTable(), 1, Folder()); }), kErrOutOfRange);
  TextTable table(2, 2);
  EXPECT_EQ(ErrorNumberOf([&] { CountPages(table, 3, Folder()); }), kErrOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { CountPages(table, -1, Folder()); }), kErrOutOfRange);
}

TEST_F(SearchRunTest, CompletedRunWritesTheExactProgressSequenceReportAndDone) {
  WriteSite({{"Alpha", "alpha", false, {{"P1", "P2"}}}});
  AddHitPage(u"Alpha", u"P1", 17);
  AddEmptyPage(u"Alpha", u"P2");

  const SearchResult result = Run();

  EXPECT_EQ(result.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(result.report,
            u"Pg Proj\tPage\tAN\tLib Proj\tLibrary\tObject\tPropertyname\tPropertyValue\r\n"
            u"Alpha\tP1\t17\tinc\tvalves\tv_P1\tTEXT\t'P1'\r\n");
  EXPECT_EQ(ProgressTrace(), (std::vector<std::u16string>{
                                 u"show", u"0:Finding Page Count...", u"0:Searching for reserved Tarvo keywords...",
                                 u"1:Project: Alpha", u"2:Page: P1",
                                 u"0:Searching for reserved Tarvo keywords...1 found.", u"%50", u"2:Page: P2",
                                 u"%100", u"close"}));
  EXPECT_EQ(messages_.messages, (std::vector<std::u16string>{u"Done"}));
  EXPECT_EQ(messages_.progressShownAtMessage, (std::vector<bool>{false}));
  EXPECT_EQ(InteractiveCalls(), (std::vector<std::u16string>{u"0", u"1"}));
  EXPECT_EQ(site_->ServedFolder(), Folder());
  EXPECT_EQ(context_.automation, nullptr);
  EXPECT_EQ(site_->LiveInstances(), 0);
}

TEST_F(SearchRunTest, UniqueReportHasFourColumnsAndDropsRepeatsAcrossProjects) {
  WriteSite({{"One", "one", false, {{"A"}}}, {"Two", "two", false, {{"B"}}}});
  site_->AddPage(u"One", u"A", {TarvoObject(1, {u"inc", u"valves", u"Valve"}, {{u"TEXT", u"x"}})});
  site_->AddPage(u"Two", u"B", {TarvoObject(2, {u"inc", u"valves", u"VALVE"}, {{u"TEXT", u"y"}, {u"FONT", u""}})});

  const SearchResult result = Run(false);

  EXPECT_EQ(result.report, u"Project\tLibrary\tObject\tPropertyname\r\n"
                           u"inc\tvalves\tValve\tTEXT\r\n"
                           u"inc\tvalves\tVALVE\tFONT\r\n");
}

TEST_F(SearchRunTest, NoFindingsGivesNoItemsFoundWithoutLineEndThenDone) {
  WriteSite({{"Alpha", "alpha", false, {{"P1"}}}});
  AddEmptyPage(u"Alpha", u"P1");
  const SearchResult result = Run();
  EXPECT_EQ(result.report, u"No items found");
  EXPECT_EQ(result.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(messages_.messages, (std::vector<std::u16string>{u"Done"}));
}

TEST_F(SearchRunTest, EightPagesSendTheRoundedPercentages) {
  WriteSite({{"A", "a", false, {{"1", "2", "3"}}}, {"B", "b", false, {{"4", "5", "6", "7", "8"}}}});
  for (const char16_t* page : {u"1", u"2", u"3"}) AddEmptyPage(u"A", page);
  for (const char16_t* page : {u"4", u"5", u"6", u"7", u"8"}) AddEmptyPage(u"B", page);
  Run();
  EXPECT_EQ(progress_.Percentages(), (std::vector<int32_t>{12, 25, 38, 50, 62, 75, 88, 100}));
}

TEST_F(SearchRunTest, PageThatFailsToOpenIsNeitherCountedNorUpdated) {
  WriteSite({{"A", "a", false, {{"First", "Broken  ", "Third"}}}});
  AddHitPage(u"A", u"First");
  AddHitPage(u"A", u"Broken");
  AddHitPage(u"A", u"Third");
  site_->FailOpenPage(u"A", u"Broken");

  const SearchResult result = Run();

  // The page list holds three pages, two open: the percentage ends at 67, not 100.
  EXPECT_EQ(progress_.Percentages(), (std::vector<int32_t>{33, 67}));
  EXPECT_EQ(progress_.LineHistory(2),
            (std::vector<std::u16string>{u"Page: First", u"Page: Broken", u"Page: Third"}));
  EXPECT_EQ(site_->CallCount(AutomationOp::kClosePage), 2);
  EXPECT_EQ(result.findings.Count(), 2);
  // The blanks after "Broken" in the page list do not reach OpenPage.
  EXPECT_EQ(site_->OpenedPages(), (std::vector<std::u16string>{u"A|First", u"A|Broken", u"A|Third"}));
}

TEST_F(SearchRunTest, ProjectWithoutPageListGivesOneMessageAndTheRunGoesOn) {
  WriteSite({{"Empty", "empty", false, std::nullopt}, {"Full", "full", false, {{"P"}}}});
  fs::create_directories(root_ / "empty");
  AddHitPage(u"Full", u"P");

  const SearchResult result = Run();

  EXPECT_EQ(messages_.messages,
            (std::vector<std::u16string>{u"Cannot open page list:\r\n" + ListPath("empty"), u"Done"}));
  EXPECT_EQ(messages_.progressShownAtMessage, (std::vector<bool>{true, false}));
  EXPECT_EQ(result.findings.Count(), 1);
  // The missing list counts no page, so the single scanned page is all of them.
  EXPECT_EQ(progress_.Percentages(), (std::vector<int32_t>{100}));
}

TEST_F(SearchRunTest, BuiltInProjectsAreSkippedOnlyWhenAskedAndByWholeUpperCasedName) {
  WriteSite({{"ExAmPle", "p1", false, {{"p"}}},
             {"EXAMPLE1", "p2", false, {{"p"}}},
             {" SYSTEM", "p3", false, {{"p"}}},
             {"zrm_quickplot", "p4", false, {{"p"}}}});
  for (const char16_t* project : {u"ExAmPle", u"EXAMPLE1", u" SYSTEM", u"zrm_quickplot"}) AddEmptyPage(project, u"p");

  Run(true, true);
  EXPECT_EQ(progress_.LineHistory(1), (std::vector<std::u16string>{u"Project: EXAMPLE1", u"Project:  SYSTEM"}));
  EXPECT_EQ(site_->OpenedPages(), (std::vector<std::u16string>{u"EXAMPLE1|p", u" SYSTEM|p"}));
  // Skipped projects still count: two of four pages scanned.
  EXPECT_EQ(progress_.Percentages(), (std::vector<int32_t>{25, 50}));

  progress_.ClearEvents();
  site_->ClearCalls();
  Run(true, false);
  EXPECT_EQ(progress_.LineHistory(1),
            (std::vector<std::u16string>{u"Project: ExAmPle", u"Project: EXAMPLE1", u"Project:  SYSTEM",
                                         u"Project: zrm_quickplot"}));
  EXPECT_EQ(site_->OpenedPages().size(), 4u);
}

TEST_F(SearchRunTest, DeletedProjectShowsItsNameButIsNotScannedInEitherFlagState) {
  WriteSite({{"Gone", "gone", true, {{"p"}}}, {"Include", "inc", true, {{"p"}}}, {"Kept", "kept", false, {{"p"}}}});
  AddHitPage(u"Gone", u"p");
  AddHitPage(u"Include", u"p");
  AddHitPage(u"Kept", u"p");

  Run(true, true);
  EXPECT_EQ(progress_.LineHistory(1), (std::vector<std::u16string>{u"Project: Gone", u"Project: Kept"}));
  EXPECT_EQ(site_->OpenedPages(), (std::vector<std::u16string>{u"Kept|p"}));

  progress_.ClearEvents();
  site_->ClearCalls();
  const SearchResult result = Run(true, false);
  EXPECT_EQ(progress_.LineHistory(1),
            (std::vector<std::u16string>{u"Project: Gone", u"Project: Include", u"Project: Kept"}));
  EXPECT_EQ(site_->OpenedPages(), (std::vector<std::u16string>{u"Kept|p"}));
  EXPECT_EQ(result.findings.Count(), 1);
}

TEST_F(SearchRunTest, CancelDuringThirdOfFiveProjectsKeepsWhatWasFoundAndSkipsTheRest) {
  std::vector<ProjectSpec> projects;
  for (int p = 1; p <= 5; ++p) {
    const std::string name = "P" + std::to_string(p);
    projects.push_back({name, name, false, {{"a", "b", "c"}}});
    for (const char16_t* page : {u"a", u"b", u"c"}) AddHitPage(Utf8ToUtf16(name), page);
  }
  WriteSite(projects);
  // Updates 1-6 belong to projects 1 and 2; the press lands while the second page of project 3 is scanned.
  progress_.PressCancelAtUpdate(8);

  const SearchResult result = Run();

  EXPECT_EQ(result.outcome, RunOutcome::kCancelled);
  EXPECT_EQ(result.findings.Count(), 8);
  EXPECT_EQ(result.findings.Line(7), u"P3\tb\t1\tinc\tvalves\tv_b\tTEXT\t'b'");
  EXPECT_TRUE(result.report.ends_with(u"'b'\r\n"));
  EXPECT_EQ(site_->OpenedPages().back(), u"P3|b");
  EXPECT_EQ(progress_.LineHistory(1).back(), u"Project: P3");
  EXPECT_TRUE(messages_.messages.empty());
  EXPECT_EQ(ProgressTrace().back(), u"close");
  // A cancel is a normal end: the automation object goes back to interactive and is released.
  EXPECT_EQ(InteractiveCalls(), (std::vector<std::u16string>{u"0", u"1"}));
  EXPECT_EQ(context_.automation, nullptr);
  EXPECT_EQ(site_->CallCount(AutomationOp::kOpenPage), site_->CallCount(AutomationOp::kClosePage));
}

TEST_F(SearchRunTest, CancelPressedBetweenRunsHasNoEffectOnTheNextRun) {
  WriteSite({{"A", "a", false, {{"1", "2"}}}});
  AddEmptyPage(u"A", u"1");
  AddEmptyPage(u"A", u"2");
  progress_.PressCancel();
  const SearchResult result = Run();
  EXPECT_EQ(result.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(messages_.messages, (std::vector<std::u16string>{u"Done"}));
  EXPECT_EQ(site_->OpenedPages(), (std::vector<std::u16string>{u"A|1", u"A|2"}));
}

TEST_F(SearchRunTest, CancelIsHonouredWhilePagesFailToOpen) {
  // Pages 1 and 2 open, x, y and z fail; the press lands while the nth failing page is handled.
  WriteSite({{"A", "a", false, {{"1", "2", "x", "y", "z"}}}, {"B", "b", false, {{"q"}}}});
  AddHitPage(u"A", u"1");
  AddHitPage(u"A", u"2");
  AddHitPage(u"B", u"q");
  const std::vector<std::u16string> opened = {u"A|1", u"A|2", u"A|x", u"A|y", u"A|z"};
  for (int failing = 1; failing <= 3; ++failing) {
    RecordingProgress progress;
    RecordingMessages messages(progress);
    AppContext context(doubles::MakeScriptedFactory(site_), progress, messages);
    site_->ClearCalls();
    // Events are processed once by page 2's own update, then once per failing page.
    int afterSecondUpdate = 0;
    progress.OnProcessEvents([&](int32_t updates) {
      if (updates == 2 && afterSecondUpdate++ == failing) progress.PressCancel();
    });

    const SearchResult result = RunSearchDetailed(context, Folder(), true, true);

    EXPECT_EQ(result.outcome, RunOutcome::kCancelled) << failing;
    EXPECT_EQ(site_->OpenedPages(), std::vector<std::u16string>(opened.begin(), opened.begin() + 2 + failing))
        << failing;
    EXPECT_EQ(result.findings.Count(), 2) << failing;
    EXPECT_TRUE(messages.messages.empty()) << failing;
    // A failed page moves no bar.
    EXPECT_EQ(progress.Percentages(), (std::vector<int32_t>{17, 33})) << failing;
  }
}

TEST_F(SearchRunTest, MissingProjectListClosesProgressThenReportsTheJoinedPath) {
  for (const std::u16string& folder : {Folder() + u"/nowhere", Folder() + u"/nowhere/"}) {
    messages_.messages.clear();
    const SearchResult result = RunSearchDetailed(context_, folder, true, true);
    EXPECT_EQ(result.outcome, RunOutcome::kProjectListMissing);
    EXPECT_EQ(result.report, u"");
    EXPECT_EQ(messages_.messages,
              (std::vector<std::u16string>{u"Cannot open project list:\r\n" + Folder() + u"/nowhere/master.dbf"}));
    EXPECT_EQ(messages_.progressShownAtMessage.back(), false);
  }
  // Even without a loop, the object is set interactive and released.
  EXPECT_EQ(InteractiveCalls(), (std::vector<std::u16string>{u"1", u"1"}));
  EXPECT_EQ(context_.automation, nullptr);
  EXPECT_EQ(site_->Creations(), 2);
}

TEST_F(SearchRunTest, EmptyFolderTextAndFileAsFolderAreMissingProjectLists) {
  const SearchResult empty = RunSearchDetailed(context_, u"", true, true);
  EXPECT_EQ(empty.outcome, RunOutcome::kProjectListMissing);
  std::ofstream(root_ / "plain.txt") << "not a folder";
  const SearchResult file = RunSearchDetailed(context_, Folder() + u"/plain.txt", true, true);
  EXPECT_EQ(file.outcome, RunOutcome::kProjectListMissing);
  EXPECT_EQ(messages_.messages,
            (std::vector<std::u16string>{u"Cannot open project list:\r\n/master.dbf",
                                         u"Cannot open project list:\r\n" + Folder() + u"/plain.txt/master.dbf"}));
}

TEST_F(SearchRunTest, ProjectListWithoutRecordsIsASiteWithoutProjects) {
  ProjectListWriter().WriteTo(root_ / "master.dbf");

  const SearchResult result = Run();

  EXPECT_EQ(result.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(result.report, u"No items found");
  EXPECT_EQ(messages_.messages, (std::vector<std::u16string>{u"Done"}));
  EXPECT_FALSE(progress_.Shown());
  EXPECT_EQ(context_.automation, nullptr);
  EXPECT_EQ(InteractiveCalls(), (std::vector<std::u16string>{u"0", u"1"}));
}

TEST_F(SearchRunTest, RunAfterAnUnexpectedErrorReusesTheAutomationObject) {
  WriteSite({{"A", "a", false, {{"p"}}}});
  DbfWriter fieldless({});
  fieldless.Add({});
  fieldless.WriteTo(root_ / "a" / "pages.dbf");
  ASSERT_EQ(Run().outcome, RunOutcome::kUnexpectedError);

  WriteSite({{"A", "a", false, {{"p"}}}});
  AddHitPage(u"A", u"p");
  const SearchResult second = Run();

  EXPECT_EQ(second.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(site_->CreationAttempts(), 1);
  EXPECT_EQ(site_->CallCount(AutomationOp::kServeFolder), 2);
  EXPECT_EQ(progress_.ShowCount(), 1);  // the window left up by the failed run is reused, then closed
  EXPECT_FALSE(progress_.Shown());
  EXPECT_EQ(context_.automation, nullptr);
}

TEST_F(SearchRunTest, AutomationThatCannotBeCreatedEndsTheRunBeforeAnyTable) {
  WriteSite({{"A", "a", false, {{"p"}}}});
  site_->FailCreation(1);

  const SearchResult result = Run();

  EXPECT_EQ(result.outcome, RunOutcome::kUnexpectedError);
  EXPECT_EQ(messages_.messages, (std::vector<std::u16string>{u"scripted creation failure 1005"}));
  EXPECT_EQ(ProgressTrace(), (std::vector<std::u16string>{u"show", u"0:Finding Page Count..."}));
  EXPECT_EQ(context_.automation, nullptr);

  // The next run tries again and succeeds.
  AddEmptyPage(u"A", u"p");
  EXPECT_EQ(Run().outcome, RunOutcome::kCompleted);
}

TEST_F(SearchRunTest, FailingSetInteractiveEndsTheRunThroughTheErrorReport) {
  WriteSite({{"A", "a", false, {{"p"}}}});
  AddHitPage(u"A", u"p");
  site_->FailCall(AutomationOp::kSetInteractive, 1);

  const SearchResult result = Run();

  EXPECT_EQ(result.outcome, RunOutcome::kUnexpectedError);
  EXPECT_TRUE(site_->OpenedPages().empty());
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_TRUE(messages_.messages[0].ends_with(u" 1007"));
  EXPECT_NE(context_.automation, nullptr);
}

TEST_F(SearchRunTest, DamagedPageListInTheCountIsAnUnexpectedError) {
  WriteSite({{"A", "a", false, {{"p"}}}});
  // Records but no fields: the reader cannot hold them and fails with out of range.
  DbfWriter fieldless({});
  fieldless.Add({});
  fieldless.WriteTo(root_ / "a" / "pages.dbf");

  const SearchResult result = Run();

  EXPECT_EQ(result.outcome, RunOutcome::kUnexpectedError);
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_TRUE(messages_.messages[0].ends_with(u" 9"));
}

TEST_F(SearchRunTest, ScanProjectTreatsAPageListThatFailsToLoadAsMissing) {
  DbfWriter fieldless({});
  fieldless.Add({});
  fieldless.WriteTo(root_ / "a" / "pages.dbf");
  context_.automation = context_.createAutomation();
  FindingsList findings;
  int32_t done = 0;

  EXPECT_EQ(ScanProject(context_, u"A", Folder() + u"/a", findings, done, 5, true), 0);
  EXPECT_EQ(messages_.messages, (std::vector<std::u16string>{u"Cannot open page list:\r\n" + ListPath("a")}));
  EXPECT_EQ(done, 0);
}

TEST_F(SearchRunTest, ScanProjectCancelledOnItsFirstPageClosesAndCountsThatPageOnly) {
  WriteSite({{"A", "a", false, {{"1", "2", "3"}}}});
  for (const char16_t* page : {u"1", u"2", u"3"}) AddEmptyPage(u"A", page);
  context_.automation = context_.createAutomation();
  progress_.PressCancelAtUpdate(1);
  FindingsList findings;
  int32_t done = 4;

  EXPECT_EQ(ScanProject(context_, u"A", Folder() + u"/a", findings, done, 8, true), -1);

  EXPECT_EQ(done, 5);
  EXPECT_EQ(progress_.Percentages(), (std::vector<int32_t>{62}));
  EXPECT_EQ(site_->OpenedPages(), (std::vector<std::u16string>{u"A|1"}));
  EXPECT_EQ(site_->CallCount(AutomationOp::kClosePage), 1);
}

TEST_F(SearchRunTest, ScanProjectWithZeroTotalKeepsThePercentageAtZero) {
  WriteSite({{"A", "a", false, {{"1", "2"}}}});
  AddEmptyPage(u"A", u"1");
  AddEmptyPage(u"A", u"2");
  context_.automation = context_.createAutomation();
  FindingsList findings;
  int32_t done = 0;

  EXPECT_EQ(ScanProject(context_, u"A", Folder() + u"/a", findings, done, 0, true), 0);

  EXPECT_EQ(done, 2);
  EXPECT_EQ(progress_.Percentages(), (std::vector<int32_t>{0, 0}));
}

TEST_F(SearchRunTest, FailingProgressCallsInsideThePageScanAreIgnored) {
  WriteSite({{"A", "a", false, {{"1", "2"}}}});
  AddHitPage(u"A", u"1");
  AddHitPage(u"A", u"2");
  // Writes: 1 "Finding...", 2 "Searching...", 3 project, 4 first page line, 5 first count.
  progress_.FailTextAt(4);
  site_->FailCall(AutomationOp::kClosePage, 1);
  progress_.OnProcessEvents([](int32_t nthUpdate) {
    if (nthUpdate == 1) throw Error(kErrOutOfRange, "window system gone");
  });

  const SearchResult result = Run();

  EXPECT_EQ(result.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(result.findings.Count(), 2);
  EXPECT_EQ(progress_.Percentages(), (std::vector<int32_t>{50, 100}));
}

TEST_F(SearchRunTest, RelativePathsAreTakenFromTheProjectListFolderAndNamesDecodedFrom1252) {
  WriteSite({{"Kl\xE4ranlage", "sub/kl", false, {{"\xDC" "bersicht"}}}});
  AddHitPage(u"Kläranlage", u"Übersicht");

  const SearchResult result = Run();

  EXPECT_EQ(messages_.messages, (std::vector<std::u16string>{u"Done"}));
  EXPECT_EQ(site_->OpenedPages(), (std::vector<std::u16string>{u"Kläranlage|Übersicht"}));
  EXPECT_EQ(result.report, u"Pg Proj\tPage\tAN\tLib Proj\tLibrary\tObject\tPropertyname\tPropertyValue\r\n"
                           u"Kläranlage\tÜbersicht\t1\tinc\tvalves\tv_Übersicht\tTEXT\t'Übersicht'\r\n");
}

TEST_F(SearchRunTest, TrailingSeparatorDoesNotChangeTheRun) {
  WriteSite({{"A", "a", false, {{"p"}}}});
  AddHitPage(u"A", u"p");
  const SearchResult plain = RunSearchDetailed(context_, Folder(), true, true);
  const SearchResult trailing = RunSearchDetailed(context_, Folder() + u"/", true, true);
  EXPECT_EQ(plain.report, trailing.report);
  EXPECT_EQ(trailing.findings.Count(), 1);
}

TEST_F(SearchRunTest, RealPageFilesGiveTheSameReportThroughThePageFileServer) {
  WriteSite({{"Pumps", "pumps", false, {{"Main", "Missing"}}}});
  std::ofstream(root_ / "pumps" / "Main.json")
      << R"({"objects": [{"type": "Tarvo", "an": -3, "tarvo": {"project": "inc", "library": "lib", "name": "p"},)"
      << R"( "properties": [{"name": "Text", "value": "no"}, {"name": "COL_A", "value": "it's"}]},)"
      << R"( {"type": "Rectangle", "an": 4}]})";
  AppContext realContext(MakePageFileServerFactory(), progress_, messages_);

  const SearchResult result = RunSearchDetailed(realContext, Folder(), true, true);

  EXPECT_EQ(result.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(result.report, u"Pg Proj\tPage\tAN\tLib Proj\tLibrary\tObject\tPropertyname\tPropertyValue\r\n"
                           u"Pumps\tMain\t-3\tinc\tlib\tp\tCOL_A\t'it's'\r\n");
  EXPECT_EQ(progress_.Percentages(), (std::vector<int32_t>{50}));
}

TEST_F(SearchRunTest, GeneratedSiteRunsToOneHundredPercentWithEveryCollisionReported) {
  SiteShape shape;
  shape.projects = 5;
  shape.pages = 20;
  shape.objects = 50;
  shape.seed = 3;
  const SiteSummary summary = GenerateSite(shape, root_);
  AppContext realContext(MakePageFileServerFactory(), progress_, messages_);

  const SearchResult result = RunSearchDetailed(realContext, Folder(), true, true);

  EXPECT_EQ(result.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(progress_.UpdateCount(), 100);
  EXPECT_EQ(progress_.Percentages().back(), 100);
  ASSERT_GT(summary.reservedProperties, 0);
  EXPECT_EQ(result.findings.Count(), summary.reservedProperties);
}

}  // namespace
}  // namespace morvex
