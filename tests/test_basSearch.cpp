// Whole search runs over sites laid out on disk: report text, messages, progress texts, percentages, lifetimes.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
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
  void ShowMessage(std::string_view sMessage) override {
    messages.emplace_back(sMessage);
    progressShownAtMessage.push_back(progress_.Shown());
  }
  void ShowMessageOfferingCopy(std::string_view sMessage, std::string_view sQuestion,
                               const std::function<std::string()>& makeCopy) override {
    ShowMessage(sMessage);
    questions.emplace_back(sQuestion);
    offeredCopies.push_back(makeCopy());
  }
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::vector<std::string> offeredCopies;
  std::vector<bool> progressShownAtMessage;

 private:
  const ProgressInterface& progress_;
};

struct ProjectLayout {
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

  std::string Folder() const { return FromNativePath(root_); }

  void WriteSite(const std::vector<ProjectLayout>& projects) {
    DbfWriter master = ProjectListWriter();
    for (const ProjectLayout& project : projects) {
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
  void AddHitPage(const std::string& project, const std::string& page, int16_t an = 1) {
    site_->AddPage(project, page, {TarvoObject(an, {"inc", "valves", "v_" + page}, {{"TEXT", page}})});
  }
  void AddEmptyPage(const std::string& project, const std::string& page) { site_->AddPage(project, page, {}); }

  SearchResult Run(bool bShowAll = true, bool bIgnoreBuiltIn = true) {
    return RunSearchDetailed(context_, Folder(), bShowAll, bIgnoreBuiltIn);
  }

  std::vector<std::string> ProgressTrace() const { return ProgressTraceOf(progress_); }

  // Progress calls as short texts: "show", "close", "0:<text>", "%<percent>".
  static std::vector<std::string> ProgressTraceOf(const RecordingProgress& progress) {
    std::vector<std::string> trace;
    for (const doubles::ProgressEvent& event : progress.Events()) {
      switch (event.call) {
        case ProgressCall::kShow: trace.push_back("show"); break;
        case ProgressCall::kClose: trace.push_back("close"); break;
        case ProgressCall::kTitle: trace.push_back("title:" + event.text); break;
        case ProgressCall::kText: trace.push_back(ToDecimal(event.index) + ":" + event.text); break;
        case ProgressCall::kUpdate: trace.push_back("%" + ToDecimal(event.percent)); break;
      }
    }
    return trace;
  }

  std::vector<std::string> InteractiveCalls() const {
    std::vector<std::string> calls;
    for (const doubles::AutomationCall& call : site_->Calls())
      if (call.op == AutomationOp::kSetInteractive) calls.push_back(call.argument);
    return calls;
  }

  std::string ListPath(const std::string& projectFolder) const {
    return JoinPath(JoinPath(Folder(), (projectFolder)), "pages.dbf");
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
  table.At(1, 1) = "a";
  table.At(2, 1) = "b";
  table.At(3, 1) = FromNativePath(root_ / "c");  // absolute cells are taken as they are
  table.At(4, 1) = "d";
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
  AddHitPage("Alpha", "P1", 17);
  AddEmptyPage("Alpha", "P2");

  const SearchResult result = Run();

  EXPECT_EQ(result.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(result.Report(),
            "Pg Proj\tPage\tAN\tLib Proj\tLibrary\tObject\tPropertyname\tPropertyValue\r\n"
            "Alpha\tP1\t17\tinc\tvalves\tv_P1\tTEXT\t'P1'\r\n");
  EXPECT_EQ(ProgressTrace(), (std::vector<std::string>{
                                 "show", "0:Finding Page Count...", "0:Searching for reserved Tarvo keywords...",
                                 "1:Project: Alpha", "2:Page: P1",
                                 "0:Searching for reserved Tarvo keywords...1 found.", "%50", "2:Page: P2",
                                 "%100", "close"}));
  EXPECT_EQ(messages_.messages, (std::vector<std::string>{"Done"}));
  EXPECT_EQ(messages_.progressShownAtMessage, (std::vector<bool>{false}));
  EXPECT_EQ(InteractiveCalls(), (std::vector<std::string>{"0", "1"}));
  EXPECT_EQ(site_->ServedFolder(), Folder());
  EXPECT_EQ(context_.automation, nullptr);
  EXPECT_EQ(site_->LiveInstances(), 0);
}

TEST_F(SearchRunTest, UniqueReportHasFourColumnsAndDropsRepeatsAcrossProjects) {
  WriteSite({{"One", "one", false, {{"A"}}}, {"Two", "two", false, {{"B"}}}});
  site_->AddPage("One", "A", {TarvoObject(1, {"inc", "valves", "Valve"}, {{"TEXT", "x"}})});
  site_->AddPage("Two", "B", {TarvoObject(2, {"inc", "valves", "VALVE"}, {{"TEXT", "y"}, {"FONT", ""}})});

  const SearchResult result = Run(false);

  EXPECT_EQ(result.Report(), "Project\tLibrary\tObject\tPropertyname\r\n"
                           "inc\tvalves\tValve\tTEXT\r\n"
                           "inc\tvalves\tVALVE\tFONT\r\n");
}

TEST_F(SearchRunTest, NoFindingsGivesNoItemsFoundWithoutLineEndThenDone) {
  WriteSite({{"Alpha", "alpha", false, {{"P1"}}}});
  AddEmptyPage("Alpha", "P1");
  const SearchResult result = Run();
  EXPECT_EQ(result.Report(), "No items found");
  EXPECT_EQ(result.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(messages_.messages, (std::vector<std::string>{"Done"}));
}

TEST_F(SearchRunTest, EightPagesSendTheRoundedPercentages) {
  WriteSite({{"A", "a", false, {{"1", "2", "3"}}}, {"B", "b", false, {{"4", "5", "6", "7", "8"}}}});
  for (const char* page : {"1", "2", "3"}) AddEmptyPage("A", page);
  for (const char* page : {"4", "5", "6", "7", "8"}) AddEmptyPage("B", page);
  Run();
  EXPECT_EQ(progress_.Percentages(), (std::vector<int32_t>{12, 25, 38, 50, 62, 75, 88, 100}));
}

TEST_F(SearchRunTest, PageThatFailsToOpenIsNeitherCountedNorUpdated) {
  WriteSite({{"A", "a", false, {{"First", "Broken  ", "Third"}}}});
  AddHitPage("A", "First");
  AddHitPage("A", "Broken");
  AddHitPage("A", "Third");
  site_->FailOpenPage("A", "Broken");

  const SearchResult result = Run();

  // The page list holds three pages, two open: the percentage ends at 67, not 100.
  EXPECT_EQ(progress_.Percentages(), (std::vector<int32_t>{33, 67}));
  EXPECT_EQ(progress_.LineHistory(2),
            (std::vector<std::string>{"Page: First", "Page: Broken", "Page: Third"}));
  EXPECT_EQ(site_->CallCount(AutomationOp::kClosePage), 2);
  EXPECT_EQ(result.findings.Count(), 2);
  // The blanks after "Broken" in the page list do not reach OpenPage.
  EXPECT_EQ(site_->OpenedPages(), (std::vector<std::string>{"A|First", "A|Broken", "A|Third"}));
}

TEST_F(SearchRunTest, ProjectWithoutPageListGivesOneMessageAndTheRunGoesOn) {
  WriteSite({{"Empty", "empty", false, std::nullopt}, {"Full", "full", false, {{"P"}}}});
  fs::create_directories(root_ / "empty");
  AddHitPage("Full", "P");

  const SearchResult result = Run();

  EXPECT_EQ(messages_.messages,
            (std::vector<std::string>{"Cannot open page list:\r\n" + ListPath("empty"), "Done"}));
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
  for (const char* project : {"ExAmPle", "EXAMPLE1", " SYSTEM", "zrm_quickplot"}) AddEmptyPage(project, "p");

  Run(true, true);
  EXPECT_EQ(progress_.LineHistory(1), (std::vector<std::string>{"Project: EXAMPLE1", "Project:  SYSTEM"}));
  EXPECT_EQ(site_->OpenedPages(), (std::vector<std::string>{"EXAMPLE1|p", " SYSTEM|p"}));
  // Skipped projects still count: two of four pages scanned.
  EXPECT_EQ(progress_.Percentages(), (std::vector<int32_t>{25, 50}));

  progress_.ClearEvents();
  site_->ClearCalls();
  Run(true, false);
  EXPECT_EQ(progress_.LineHistory(1),
            (std::vector<std::string>{"Project: ExAmPle", "Project: EXAMPLE1", "Project:  SYSTEM",
                                         "Project: zrm_quickplot"}));
  EXPECT_EQ(site_->OpenedPages().size(), 4u);
}

TEST_F(SearchRunTest, DeletedProjectShowsItsNameButIsNotScannedInEitherFlagState) {
  WriteSite({{"Gone", "gone", true, {{"p"}}}, {"Include", "inc", true, {{"p"}}}, {"Kept", "kept", false, {{"p"}}}});
  AddHitPage("Gone", "p");
  AddHitPage("Include", "p");
  AddHitPage("Kept", "p");

  Run(true, true);
  EXPECT_EQ(progress_.LineHistory(1), (std::vector<std::string>{"Project: Gone", "Project: Kept"}));
  EXPECT_EQ(site_->OpenedPages(), (std::vector<std::string>{"Kept|p"}));

  progress_.ClearEvents();
  site_->ClearCalls();
  const SearchResult result = Run(true, false);
  EXPECT_EQ(progress_.LineHistory(1),
            (std::vector<std::string>{"Project: Gone", "Project: Include", "Project: Kept"}));
  EXPECT_EQ(site_->OpenedPages(), (std::vector<std::string>{"Kept|p"}));
  EXPECT_EQ(result.findings.Count(), 1);
}

TEST_F(SearchRunTest, CancelDuringThirdOfFiveProjectsKeepsWhatWasFoundAndSkipsTheRest) {
  std::vector<ProjectLayout> projects;
  for (int p = 1; p <= 5; ++p) {
    const std::string name = "P" + std::to_string(p);
    projects.push_back({name, name, false, {{"a", "b", "c"}}});
    for (const char* page : {"a", "b", "c"}) AddHitPage((name), page);
  }
  WriteSite(projects);
  // Updates 1-6 belong to projects 1 and 2; the press lands while the second page of project 3 is scanned.
  progress_.PressCancelAtUpdate(8);

  const SearchResult result = Run();

  EXPECT_EQ(result.outcome, RunOutcome::kCancelled);
  EXPECT_EQ(result.findings.Count(), 8);
  EXPECT_EQ(result.findings.Line(7), "P3\tb\t1\tinc\tvalves\tv_b\tTEXT\t'b'");
  EXPECT_TRUE(result.Report().ends_with("'b'\r\n"));
  EXPECT_EQ(site_->OpenedPages().back(), "P3|b");
  EXPECT_EQ(progress_.LineHistory(1).back(), "Project: P3");
  EXPECT_TRUE(messages_.messages.empty());
  EXPECT_EQ(ProgressTrace().back(), "close");
  // A cancel is a normal end: the automation object goes back to interactive and is released.
  EXPECT_EQ(InteractiveCalls(), (std::vector<std::string>{"0", "1"}));
  EXPECT_EQ(context_.automation, nullptr);
  EXPECT_EQ(site_->CallCount(AutomationOp::kOpenPage), site_->CallCount(AutomationOp::kClosePage));
}

TEST_F(SearchRunTest, CancelPressedBetweenRunsHasNoEffectOnTheNextRun) {
  WriteSite({{"A", "a", false, {{"1", "2"}}}});
  AddEmptyPage("A", "1");
  AddEmptyPage("A", "2");
  progress_.PressCancel();
  const SearchResult result = Run();
  EXPECT_EQ(result.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(messages_.messages, (std::vector<std::string>{"Done"}));
  EXPECT_EQ(site_->OpenedPages(), (std::vector<std::string>{"A|1", "A|2"}));
}

TEST_F(SearchRunTest, CancelIsHonouredWhilePagesFailToOpen) {
  // Pages 1 and 2 open, x, y and z fail; the press lands while the nth failing page is handled.
  WriteSite({{"A", "a", false, {{"1", "2", "x", "y", "z"}}}, {"B", "b", false, {{"q"}}}});
  AddHitPage("A", "1");
  AddHitPage("A", "2");
  AddHitPage("B", "q");
  const std::vector<std::string> opened = {"A|1", "A|2", "A|x", "A|y", "A|z"};
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
    EXPECT_EQ(site_->OpenedPages(), std::vector<std::string>(opened.begin(), opened.begin() + 2 + failing))
        << failing;
    EXPECT_EQ(result.findings.Count(), 2) << failing;
    EXPECT_TRUE(messages.messages.empty()) << failing;
    // A failed page moves no bar.
    EXPECT_EQ(progress.Percentages(), (std::vector<int32_t>{17, 33})) << failing;
  }
}

TEST_F(SearchRunTest, MissingProjectListClosesProgressThenReportsTheJoinedPath) {
  for (const std::string& folder : {Folder() + "/nowhere", Folder() + "/nowhere/"}) {
    messages_.messages.clear();
    const SearchResult result = RunSearchDetailed(context_, folder, true, true);
    EXPECT_EQ(result.outcome, RunOutcome::kProjectListMissing);
    EXPECT_EQ(result.Report(), "");
    EXPECT_EQ(messages_.messages,
              (std::vector<std::string>{"Cannot open project list:\r\n" + Folder() + "/nowhere/master.dbf"}));
    EXPECT_EQ(messages_.progressShownAtMessage.back(), false);
  }
  // Even without a loop, the object is set interactive and released.
  EXPECT_EQ(InteractiveCalls(), (std::vector<std::string>{"1", "1"}));
  EXPECT_EQ(context_.automation, nullptr);
  EXPECT_EQ(site_->Creations(), 2);
}

TEST_F(SearchRunTest, EmptyFolderTextAndFileAsFolderAreMissingProjectLists) {
  const SearchResult empty = RunSearchDetailed(context_, "", true, true);
  EXPECT_EQ(empty.outcome, RunOutcome::kProjectListMissing);
  std::ofstream(root_ / "plain.txt") << "not a folder";
  const SearchResult file = RunSearchDetailed(context_, Folder() + "/plain.txt", true, true);
  EXPECT_EQ(file.outcome, RunOutcome::kProjectListMissing);
  EXPECT_EQ(messages_.messages,
            (std::vector<std::string>{"Cannot open project list:\r\n/master.dbf",
                                         "Cannot open project list:\r\n" + Folder() + "/plain.txt/master.dbf"}));
}

TEST_F(SearchRunTest, ProjectListWithoutRecordsIsASiteWithoutProjects) {
  ProjectListWriter().WriteTo(root_ / "master.dbf");

  const SearchResult result = Run();

  EXPECT_EQ(result.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(result.Report(), "No items found");
  EXPECT_EQ(messages_.messages, (std::vector<std::string>{"Done"}));
  EXPECT_FALSE(progress_.Shown());
  EXPECT_EQ(context_.automation, nullptr);
  EXPECT_EQ(InteractiveCalls(), (std::vector<std::string>{"0", "1"}));
}

TEST_F(SearchRunTest, RunAfterAnUnexpectedErrorReusesTheAutomationObject) {
  // A project list without the Path field ends the run at the count, naming the file.
  DbfWriter({{"Name", 10}}).Add({"A"}).WriteTo(root_ / "master.dbf");
  ASSERT_EQ(Run().outcome, RunOutcome::kUnexpectedError);
  EXPECT_EQ(messages_.messages.back(), "Subscript out of range: " + JoinPath(Folder(), "master.dbf") +
                                           " has no field \"Path\" 9");

  WriteSite({{"A", "a", false, {{"p"}}}});
  AddHitPage("A", "p");
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
  EXPECT_EQ(messages_.messages, (std::vector<std::string>{"scripted creation failure 1005"}));
  EXPECT_EQ(ProgressTrace(), (std::vector<std::string>{"show", "0:Finding Page Count..."}));
  EXPECT_EQ(context_.automation, nullptr);

  // The next run tries again and succeeds.
  AddEmptyPage("A", "p");
  EXPECT_EQ(Run().outcome, RunOutcome::kCompleted);
}

TEST_F(SearchRunTest, FailingSetInteractiveEndsTheRunThroughTheErrorReport) {
  WriteSite({{"A", "a", false, {{"p"}}}});
  AddHitPage("A", "p");
  site_->FailCall(AutomationOp::kSetInteractive, 1);

  const SearchResult result = Run();

  EXPECT_EQ(result.outcome, RunOutcome::kUnexpectedError);
  EXPECT_TRUE(site_->OpenedPages().empty());
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_TRUE(messages_.messages[0].ends_with(" 1007"));
  EXPECT_NE(context_.automation, nullptr);
}

// Whichever call first finds the server gone, on the first page or a later one: the run ends with that one
// message (after "Done" only when it is the closing SetInteractive), nothing more is asked of the server, and
// the next run creates a new one.
TEST_F(SearchRunTest, AServerFoundGoneEndsTheRunWithOneMessageAndTheNextRunCreatesAnother) {
  WriteSite({{"A", "a", false, {{"p", "q"}}}});
  AddHitPage("A", "p");
  AddHitPage("A", "q");
  const struct {
    AutomationOp op;
    int32_t nth;
  } losses[] = {{AutomationOp::kSetInteractive, 1}, {AutomationOp::kSetInteractive, 2}, {AutomationOp::kOpenPage, 1},
                {AutomationOp::kOpenPage, 2},       {AutomationOp::kFirstObject, 2},    {AutomationOp::kNextObject, 1},
                {AutomationOp::kGetObjectType, 2},  {AutomationOp::kFirstProperty, 1},  {AutomationOp::kNextProperty, 2},
                {AutomationOp::kGetTarvoInfo, 1},   {AutomationOp::kGetObjectAN, 2},    {AutomationOp::kClosePage, 1}};
  for (const auto& loss : losses) {
    const std::string what = std::string(doubles::OpName(loss.op)) + " #" + std::to_string(loss.nth);
    site_->ClearCalls();
    site_->LoseServerAtCall(loss.op, loss.nth);
    messages_.messages.clear();
    EXPECT_EQ(Run().outcome, RunOutcome::kUnexpectedError) << what;
    std::vector<std::string> expected = {std::string("scripted server gone at ") + doubles::OpName(loss.op) + " 462"};
    if (loss.op == AutomationOp::kSetInteractive && loss.nth == 2) expected.insert(expected.begin(), "Done");
    EXPECT_EQ(messages_.messages, expected) << what;
    EXPECT_EQ(site_->Calls().back().op, loss.op) << what;
    EXPECT_EQ(context_.automation, nullptr) << what;
    EXPECT_EQ(site_->LiveInstances(), 0) << what;
  }
  site_->ClearCalls();
  site_->LoseServerAtCall(AutomationOp::kOpenPage, 0);
  EXPECT_EQ(Run().outcome, RunOutcome::kCompleted);
  EXPECT_EQ(site_->CreationAttempts(), static_cast<int32_t>(std::size(losses)) + 1);
}

TEST_F(SearchRunTest, PageListsThatCannotBeReadOrHaveNoFolderAreToldAndTheRunGoesOn) {
  // A: no folder at all; B and C: one page list cut short (told damaged once, though read by both projects and
  // by the count); D: records but no fields, which the reader cannot hold; E: a page that opens.
  WriteSite({{"A", "", false, std::nullopt},
             {"B", "b", false, {{"p1", "p2", "p3"}}},
             {"C", "b", false, std::nullopt},
             {"D", "d", false, std::nullopt},
             {"E", "e", false, {{"P"}}}});
  AddHitPage("E", "P");
  std::string cut;
  {
    std::ifstream in(root_ / "b" / "pages.dbf", std::ios::binary);
    cut.assign(std::istreambuf_iterator<char>(in), {});
  }
  cut.resize(cut.size() - 20);
  std::ofstream(root_ / "b" / "pages.dbf", std::ios::binary | std::ios::trunc) << cut;
  DbfWriter fieldless({});
  fieldless.Add({});
  fieldless.WriteTo(root_ / "d" / "pages.dbf");

  const SearchResult result = Run();

  EXPECT_EQ(result.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(result.findings.Count(), 1);
  ASSERT_EQ(messages_.messages.size(), 5u) << ::testing::PrintToString(messages_.messages);
  EXPECT_EQ(messages_.messages[0],
            "Cannot open page list:\r\npages.dbf of project A\r\nno project folder: its Path in the project list is empty or blank");
  EXPECT_EQ(messages_.messages[1], ListPath("b") + " is damaged: its header counts 3 records, the file holds 2");
  EXPECT_TRUE(messages_.messages[2].starts_with("Cannot open page list:\r\n" + ListPath("d") + "\r\nunreadable: "))
      << messages_.messages[2];
  // B's and C's pages are refused by the page server: the summary counts the lists with them.
  EXPECT_EQ(messages_.messages[3], "6 of 7 pages could not be opened: 6 refused by the page server; "
                                   "2 of 5 page lists could not be opened: 1 unreadable, 1 no project folder");
  EXPECT_EQ(messages_.messages[4], "Done");
  EXPECT_EQ(result.unopened.ListsTried(), 5);
  ASSERT_EQ(result.unopened.ListCount(), 2);
  EXPECT_EQ(result.unopened.ListAt(0).reason, PageFailureReason::kNoProjectFolder);
  EXPECT_EQ(result.unopened.ListAt(1).reason, PageFailureReason::kUnreadable);
  // D's list is left out of the count instead of ending the run: E's one page of 3 + 3 + 1.
  EXPECT_EQ(progress_.Percentages(), (std::vector<int32_t>{14}));
}

TEST_F(SearchRunTest, PageListsThatAreThereButNoTablesGetTheReasonsPagesGet) {
  // Only D's list is missing; a user told "missing" of the others would look for a file that is there.
  WriteSite({{"A", "a", false, std::nullopt},
             {"B", "b", false, std::nullopt},
             {"C", "c", false, std::nullopt},
             {"D", "d", false, std::nullopt}});
  fs::create_directories(root_ / "a" / "pages.dbf");
  fs::create_directories(root_ / "b");
  ASSERT_EQ(mkfifo((root_ / "b" / "pages.dbf").c_str(), 0600), 0);
  fs::create_directories(root_ / "c");
  fs::create_symlink("/dev/zero", root_ / "c" / "pages.dbf");
  const std::vector<PageFailureReason> expected = {
      PageFailureReason::kNotOrdinaryFile, PageFailureReason::kNotOrdinaryFile,
      PageFailureReason::kNotOrdinaryFile, PageFailureReason::kMissing};

  const SearchResult result = Run();

  ASSERT_EQ(result.unopened.ListCount(), static_cast<int64_t>(expected.size()));
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(result.unopened.ListAt(static_cast<int64_t>(i)).reason, expected[i]) << i;
  }
  EXPECT_EQ(messages_.messages[0], "Cannot open page list:\r\n" + ListPath("a") + "\r\nnot an ordinary file");
}

TEST_F(SearchRunTest, ScanProjectTreatsAPageListThatFailsToLoadAsMissing) {
  DbfWriter fieldless({});
  fieldless.Add({});
  fieldless.WriteTo(root_ / "a" / "pages.dbf");
  context_.automation = context_.createAutomation();
  FindingsList findings;
  int32_t done = 0;

  EXPECT_EQ(ScanProject(context_, "A", Folder() + "/a", findings, done, 5, true), 0);
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_TRUE(messages_.messages[0].starts_with("Cannot open page list:\r\n" + ListPath("a") + "\r\nunreadable: "));
  EXPECT_EQ(done, 0);
}

TEST_F(SearchRunTest, ScanProjectCancelledOnItsFirstPageClosesAndCountsThatPageOnly) {
  WriteSite({{"A", "a", false, {{"1", "2", "3"}}}});
  for (const char* page : {"1", "2", "3"}) AddEmptyPage("A", page);
  context_.automation = context_.createAutomation();
  progress_.PressCancelAtUpdate(1);
  FindingsList findings;
  int32_t done = 4;

  EXPECT_EQ(ScanProject(context_, "A", Folder() + "/a", findings, done, 8, true), -1);

  EXPECT_EQ(done, 5);
  EXPECT_EQ(progress_.Percentages(), (std::vector<int32_t>{62}));
  EXPECT_EQ(site_->OpenedPages(), (std::vector<std::string>{"A|1"}));
  EXPECT_EQ(site_->CallCount(AutomationOp::kClosePage), 1);
}

TEST_F(SearchRunTest, ScanProjectWithZeroTotalKeepsThePercentageAtZero) {
  WriteSite({{"A", "a", false, {{"1", "2"}}}});
  AddEmptyPage("A", "1");
  AddEmptyPage("A", "2");
  context_.automation = context_.createAutomation();
  FindingsList findings;
  int32_t done = 0;

  EXPECT_EQ(ScanProject(context_, "A", Folder() + "/a", findings, done, 0, true), 0);

  EXPECT_EQ(done, 2);
  EXPECT_EQ(progress_.Percentages(), (std::vector<int32_t>{0, 0}));
}

TEST_F(SearchRunTest, FailingProgressCallsInsideThePageScanAreIgnored) {
  WriteSite({{"A", "a", false, {{"1", "2"}}}});
  AddHitPage("A", "1");
  AddHitPage("A", "2");
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
  AddHitPage("Kläranlage", "Übersicht");

  const SearchResult result = Run();

  EXPECT_EQ(messages_.messages, (std::vector<std::string>{"Done"}));
  EXPECT_EQ(site_->OpenedPages(), (std::vector<std::string>{"Kläranlage|Übersicht"}));
  EXPECT_EQ(result.Report(), "Pg Proj\tPage\tAN\tLib Proj\tLibrary\tObject\tPropertyname\tPropertyValue\r\n"
                           "Kläranlage\tÜbersicht\t1\tinc\tvalves\tv_Übersicht\tTEXT\t'Übersicht'\r\n");
}

TEST_F(SearchRunTest, TrailingSeparatorDoesNotChangeTheRun) {
  WriteSite({{"A", "a", false, {{"p"}}}});
  AddHitPage("A", "p");
  const SearchResult plain = RunSearchDetailed(context_, Folder(), true, true);
  const SearchResult trailing = RunSearchDetailed(context_, Folder() + "/", true, true);
  EXPECT_EQ(plain.Report(), trailing.Report());
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
  EXPECT_EQ(result.Report(), "Pg Proj\tPage\tAN\tLib Proj\tLibrary\tObject\tPropertyname\tPropertyValue\r\n"
                           "Pumps\tMain\t-3\tinc\tlib\tp\tCOL_A\t'it's'\r\n");
  EXPECT_EQ(progress_.Percentages(), (std::vector<int32_t>{50}));
}

TEST_F(SearchRunTest, ARunWherePageFilesOpenedNoneNamesTheServerAndOffersTheList) {
  WriteSite({{"Pumps", "pumps", false, {{"Main", "Trend"}}}});
  AppContext realContext(MakePageFileServerFactory(), progress_, messages_);
  realContext.serverChoiceHint = ServerChoiceHint::kChooseInWindow;

  RunSearchDetailed(realContext, Folder(), true, true);

  ASSERT_EQ(messages_.messages.size(), 2u);
  EXPECT_TRUE(messages_.messages[0].starts_with("No page was scanned: 2 of 2 pages could not be opened: 2 missing\r\n"
                                                "\r\nThe page server was Morvex's page-file server."))
      << messages_.messages[0];
  EXPECT_NE(messages_.messages[0].find("\"Page server...\""), std::string::npos);
  EXPECT_EQ(messages_.questions, std::vector<std::string>{std::string(kCopyUnopenedQuestion)});
  EXPECT_EQ(messages_.offeredCopies,
            std::vector<std::string>{"Project\tPage\tReason\r\nPumps\tMain\tmissing\r\nPumps\tTrend\tmissing\r\n"});
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

TEST_F(SearchRunTest, AFolderNameThatIsNotUtf8ReachesTheFileSystemUnchanged) {
  // Latin-1 bytes, as an older Linux system may have written them: not UTF-8, yet a valid name.
  const fs::path site = root_ / "Kl\xE4ranlage";
  SiteShape shape;
  shape.projects = 2;
  shape.pages = 2;
  shape.objects = 20;
  const SiteSummary summary = GenerateSite(shape, site);
  AppContext realContext(MakePageFileServerFactory(), progress_, messages_);

  const SearchResult result = RunSearchDetailed(realContext, site.native(), true, true);

  EXPECT_EQ(result.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(messages_.messages, (std::vector<std::string>{"Done"}));
  ASSERT_GT(summary.reservedProperties, 0);
  EXPECT_EQ(result.findings.Count(), summary.reservedProperties);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define MORVEX_ADDRESS_LIMIT_WORKS 0  // the sanitizers reserve far more address space than any limit leaves
#else
#define MORVEX_ADDRESS_LIMIT_WORKS 1
#endif

TEST_F(SearchRunTest, AReportLargerThanMemoryEndsThroughTheErrorReport) {
  if (!MORVEX_ADDRESS_LIMIT_WORKS) GTEST_SKIP() << "an address-space limit cannot be combined with a sanitizer";
  // Two hundred pages of one finding each, every finding a megabyte: more than the limit below allows.
  std::vector<std::string> pages;
  for (int i = 0; i < 200; ++i) pages.push_back("p" + std::to_string(i));
  WriteSite({{"A", "a", false, pages}});
  for (int i = 0; i < 200; ++i) {
    site_->AddPage("A", pages[static_cast<size_t>(i)],
                   {TarvoObject(static_cast<int16_t>(i), {"inc", "lib", "t"}, {{"TEXT", std::string(1u << 20, 'v')}})});
  }
  EXPECT_EXIT(
      {
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        std::ifstream status("/proc/self/statm");
        size_t pagesMapped = 0;
        status >> pagesMapped;
        limit.rlim_cur = pagesMapped * static_cast<size_t>(sysconf(_SC_PAGESIZE)) + (size_t{96} << 20);
        setrlimit(RLIMIT_AS, &limit);
        const SearchResult result = Run();
        const bool reported = result.outcome == RunOutcome::kUnexpectedError && messages_.messages.size() == 1 &&
                              messages_.messages[0] == "Out of memory 7";
        std::exit(reported ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// Our server with its reading ahead switched off: every call but the hint goes through.
class WithoutReadAhead : public PageAutomation {
 public:
  bool SetInteractive(bool bValue) override { return server_.SetInteractive(bValue); }
  bool OpenPage(std::string_view sProject, std::string_view sPage) override { return server_.OpenPage(sProject, sPage); }
  bool ClosePage() override { return server_.ClosePage(); }
  bool FirstObject() override { return server_.FirstObject(); }
  bool NextObject() override { return server_.NextObject(); }
  bool FirstProperty(std::string_view& sName, std::string_view& sValue) override {
    return server_.FirstProperty(sName, sValue);
  }
  bool NextProperty(std::string_view& sName, std::string_view& sValue) override {
    return server_.NextProperty(sName, sValue);
  }
  bool GetTarvoInfo(std::string_view& sLibProject, std::string_view& sLibrary, std::string_view& sTarvo,
                    int32_t& nNumber) override {
    return server_.GetTarvoInfo(sLibProject, sLibrary, sTarvo, nNumber);
  }
  bool GetObjectAN(int16_t& nAN) override { return server_.GetObjectAN(nAN); }
  bool GetObjectType(std::string_view& sType) override { return server_.GetObjectType(sType); }
  void ServeFolder(std::string_view sUserPath) override { server_.ServeFolder(sUserPath); }

 private:
  PageFileServer server_;
};

TEST_F(SearchRunTest, ReadingAheadChangesNoReportWhereverTheRunIsCancelled) {
  SiteShape shape;
  shape.projects = 3;
  shape.pages = 5;
  shape.objects = 40;
  shape.seed = 11;
  GenerateSite(shape, root_);
  // A page list entry without a page file, and one whose file is a folder: pages read ahead that fail.
  DbfWriter pages = PageListWriter();
  for (const char* page : {"Page_0001", "gone", "Page_0002", "Page_0003", "folder", "Page_0004", "Page_0005"}) pages.Add({page});
  pages.WriteTo(root_ / "p0002" / "pages.dbf");
  fs::create_directories(root_ / "p0002" / "folder.json");

  int64_t pagesReadAhead = 0;
  const auto run = [&](bool readAhead, int32_t cancelAtUpdate) {
    RecordingProgress progress;
    RecordingMessages messages(progress);
    // Counts, as the run lets go of it, how many pages the server had read ahead.
    struct CountingServer : PageFileServer {
      explicit CountingServer(int64_t& total) : total_(total) {}
      ~CountingServer() override { total_ += PagesReadAhead(); }
      int64_t& total_;
    };
    PageAutomationFactory factory = [&]() -> std::unique_ptr<PageAutomation> {
      if (!readAhead) return std::make_unique<WithoutReadAhead>();
      return std::make_unique<CountingServer>(pagesReadAhead);
    };
    AppContext context(factory, progress, messages);
    if (cancelAtUpdate > 0) progress.PressCancelAtUpdate(cancelAtUpdate);
    SearchResult result = RunSearchDetailed(context, Folder(), true, true);
    return std::make_pair(std::move(result), progress.UpdateCount());
  };

  const auto [whole, updates] = run(false, 0);
  ASSERT_EQ(whole.outcome, RunOutcome::kCompleted);
  ASSERT_EQ(updates, 15);  // 17 pages listed, two of them fail
  for (int32_t cancelAt = 0; cancelAt <= updates; ++cancelAt) {
    const auto [plain, plainUpdates] = run(false, cancelAt);
    pagesReadAhead = 0;
    const auto [ahead, aheadUpdates] = run(true, cancelAt);
    // At most every page but the first of each project comes from the reader (4 + 6 + 4, failing ones
    // included); one the reader had not started yet when it was opened is read there and then.
    if (cancelAt == 0) {
      EXPECT_LE(pagesReadAhead, 14);
    }
    EXPECT_EQ(ahead.outcome, plain.outcome) << cancelAt;
    EXPECT_EQ(ahead.Report(), plain.Report()) << cancelAt;
    EXPECT_EQ(aheadUpdates, plainUpdates) << cancelAt;
  }
}

TEST_F(SearchRunTest, PagesReadAheadAreTakenOverOrDroppedUnseen) {
  SiteShape shape;
  shape.projects = 2;
  shape.pages = 3;
  shape.objects = 30;
  shape.seed = 5;
  GenerateSite(shape, root_);
  PageFileServer server(ReadAheadMode::kOn);
  server.ServeFolder(Folder());
  FindingsList expected, found;
  const auto scan = [&](PageFileServer& on, FindingsList& into, const char* project, const char* page) {
    ASSERT_TRUE(on.OpenPage(project, page)) << page;
    ScanPageObjects(on, progress_, project, page, into, true);
    on.ClosePage();
  };
  {
    PageFileServer reference;
    reference.ServeFolder(Folder());
    for (const char* page : {"Page_0001", "Page_0002", "Page_0003", "Page_0001"}) scan(reference, expected, "Station_0001", page);
  }
  // The page prepared is the page opened; a page prepared and passed over leaves no trace.
  server.PreparePage("Station_0001", "Page_0001");
  scan(server, found, "Station_0001", "Page_0001");
  server.PreparePage("Station_0001", "Page_0003");
  scan(server, found, "Station_0001", "Page_0002");
  server.PreparePage("station_0001", "Page_0003");  // the project's name in another case is another name to the reader
  scan(server, found, "Station_0001", "Page_0003");
  server.PreparePage("Station_0001", "missing");
  EXPECT_FALSE(server.OpenPage("Station_0001", "missing"));
  EXPECT_FALSE(server.FirstObject());
  server.PreparePage("Station_0001", "../p0002/Page_0001");
  EXPECT_FALSE(server.OpenPage("Station_0001", "../p0002/Page_0001"));
  server.PreparePage("Station_0001", "Page_0001");
  scan(server, found, "Station_0001", "Page_0001");
  ASSERT_EQ(found.Count(), expected.Count());
  for (int32_t i = 0; i < found.Count(); ++i) EXPECT_EQ(found.Line(i), expected.Line(i)) << i;

  // A page too large to read ahead is read when it is opened, and opens all the same.
  {
    std::ofstream big(root_ / "p0001" / "Big.json", std::ios::binary);
    big << R"({"objects": [{"type": "Tarvo", "an": 4, "tarvo": {"project": "i", "library": "l", "name": "t"},)"
        << std::string(9u << 20, ' ') << R"("properties": [{"name": "TEXT", "value": "big"}]}]})";
  }
  server.PreparePage("Station_0001", "Big");
  FindingsList big;
  const int64_t readAheadBefore = server.PagesReadAhead();
  scan(server, big, "Station_0001", "Big");
  EXPECT_EQ(server.PagesReadAhead(), readAheadBefore);
  ASSERT_EQ(big.Count(), 1);
  EXPECT_EQ(big.Line(0), "Station_0001\tBig\t4\ti\tl\tt\tTEXT\t'big'");

  // A folder change drops the page prepared for the old one; so does going away with a page in hand.
  server.PreparePage("Station_0001", "Page_0002");
  server.ServeFolder(Folder() + "/nowhere");
  EXPECT_FALSE(server.OpenPage("Station_0001", "Page_0002"));
  server.ServeFolder(Folder());
  server.PreparePage("Station_0002", "Page_0002");
}

// Everything a run leaves that a front end shows or writes, as texts to compare.
struct RunTrace {
  RunOutcome outcome;
  std::string report;
  std::vector<std::string> unopened;  // page lists and pages in run order, with their reasons
  std::vector<std::string> messages;
  std::vector<std::string> progress;
  std::vector<int32_t> told;  // the findings count at each telling of the observer
};

class CountingObserver : public FindingsObserver {
 public:
  void FindingsAdded(const FindingsList& findings) override { counts.push_back(findings.Count()); }
  std::vector<int32_t> counts;
};

TEST_F(SearchRunTest, WorkersGiveWhatOneServerGivesWhereverTheRunIsCancelled) {
  SiteShape shape;
  shape.projects = 4;
  shape.pages = 6;
  shape.objects = 60;
  shape.seed = 9;
  shape.collisionsPerMille = 60;
  GenerateSite(shape, root_);
  // Pages that do not open among those that do (no file, not JSON, a folder), and a page list that cannot be read.
  DbfWriter pages = PageListWriter();
  for (const char* page : {"Page_0001", "gone", "Page_0002", "broken", "Page_0003", "folder", "Page_0004"})
    pages.Add({page});
  pages.WriteTo(root_ / "p0002" / "pages.dbf");
  std::ofstream(root_ / "p0002" / "broken.json") << R"({"objects": [)";
  fs::create_directories(root_ / "p0002" / "folder.json");
  fs::remove(root_ / "p0003" / "pages.dbf");
  fs::create_directories(root_ / "p0003" / "pages.dbf");

  const auto run = [&](int32_t workers, bool showAll, int32_t cancelAtUpdate) {
    RecordingProgress progress;
    RecordingMessages messages(progress);
    CountingObserver observer;
    AppContext context(MakePageFileServerFactory(), progress, messages);
    context.pageWorkers = workers;
    context.findingsObserver = &observer;
    if (cancelAtUpdate > 0) progress.PressCancelAtUpdate(cancelAtUpdate);
    const SearchResult result = RunSearchDetailed(context, Folder(), showAll, true);
    RunTrace trace{result.outcome, result.Report(), {}, messages.messages, ProgressTraceOf(progress), observer.counts};
    result.unopened.ForEachInRunOrder(
        [&](const UnopenedPages::PageList& list) { trace.unopened.push_back(list.path + " " + list.detail); },
        [&](const UnopenedPages::Entry& page) {
          trace.unopened.push_back(std::string(page.project) + "/" + std::string(page.page) + " " +
                                   DescribePageFailure(page.reason, page.detail));
        });
    trace.unopened.push_back(UnopenedSummary(result.unopened));
    return trace;
  };

  for (const bool showAll : {true, false}) {
    for (const int32_t cancelAt : {0, 1, 5, 8, 14, 15}) {
      const RunTrace one = run(1, showAll, cancelAt);
      ASSERT_EQ(one.outcome, cancelAt == 0 ? RunOutcome::kCompleted : RunOutcome::kCancelled) << cancelAt;
      for (const int32_t workers : {2, 3, 8}) {
        const RunTrace many = run(workers, showAll, cancelAt);
        const std::string where = "workers " + std::to_string(workers) + ", cancel at " + std::to_string(cancelAt);
        EXPECT_EQ(many.outcome, one.outcome) << where;
        EXPECT_EQ(many.report, one.report) << where;
        EXPECT_EQ(many.unopened, one.unopened) << where;
        EXPECT_EQ(many.messages, one.messages) << where;
        EXPECT_EQ(many.progress, one.progress) << where;
        EXPECT_EQ(many.told, one.told) << where;
      }
    }
  }
}

TEST_F(SearchRunTest, AWorkerServerThatFailsEndsTheRunAsTheHeldServerWould) {
  SiteShape shape;
  shape.projects = 2;
  shape.pages = 3;
  GenerateSite(shape, root_);
  struct RefusingServer : PageFileServer {
    explicit RefusingServer(std::optional<bool> refused) : refused_(refused) {}
    bool SetInteractive(bool bValue) override { return refused_ != bValue && PageFileServer::SetInteractive(bValue); }
    std::optional<bool> refused_;
  };
  // Instance 0 is the held server; the workers make 1 to 3.
  const struct {
    int instance;
    bool creationFails;
    std::optional<bool> refused;
    std::vector<std::string> messages;
  } cases[] = {
      {2, true, std::nullopt, {"cannot make it 429"}},
      {3, false, false, {"Page automation failed: SetInteractive(False) 1007"}},
      {1, false, true, {"Done", "Page automation failed: SetInteractive(True) 1007"}},
  };
  for (const auto& c : cases) {
    std::atomic<int> made{0};
    RecordingMessages messages(progress_);
    AppContext context(
        [&]() -> std::unique_ptr<PageAutomation> {
          if (made++ != c.instance) return std::make_unique<RefusingServer>(std::nullopt);
          if (c.creationFails) throw Error(429, "cannot make it");
          return std::make_unique<RefusingServer>(c.refused);
        },
        progress_, messages);
    context.pageWorkers = 3;
    const SearchResult result = RunSearchDetailed(context, Folder(), true, true);
    EXPECT_EQ(result.outcome, RunOutcome::kUnexpectedError) << c.instance;
    EXPECT_EQ(messages.messages, c.messages) << c.instance;
  }
}

}  // namespace
}  // namespace morvex
