// Tests of the page object scan against scripted pages: report forms, duplicates and the pending-error rules.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <memory>
#include <string>
#include <vector>

#include "FindingsList.h"
#include "RecordingProgress.h"
#include "ScriptedAutomation.h"
#include "basSearch.h"

namespace morvex {
namespace {

using doubles::AutomationOp;
using doubles::PlainObject;
using doubles::ScriptedObject;
using doubles::ScriptedTarvoInfo;
using doubles::TarvoObject;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Op = AutomationOp;

const ScriptedTarvoInfo kValve{"include", "valves", "valve_h", 3};
const ScriptedTarvoInfo kPump{"include", "pumps", "pump_v", 0};

class ScanPageObjectsTest : public ::testing::Test {
 protected:
  void AddPage(const std::string& project, const std::string& page, std::vector<ScriptedObject> objects) {
    site_->AddPage(project, page, std::move(objects));
  }
  // Opens the page as the project page scan would and scans it; the scan itself must never throw.
  void Scan(const std::string& project, const std::string& page, bool showAll) {
    ASSERT_TRUE(automation_->OpenPage(project, page));
    site_->ClearCalls();
    EXPECT_NO_THROW(ScanPageObjects(*automation_, progress_, project, page, findings_, showAll));
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (int32_t i = 0; i < findings_.Count(); ++i) lines.emplace_back(findings_.Line(i));
    return lines;
  }
  static std::string CountText(int count) {
    const std::string digits = std::to_string(count);
    return "Searching for reserved Tarvo keywords..." + std::string(digits.begin(), digits.end()) + " found.";
  }

  std::shared_ptr<doubles::ScriptedSite> site_ = std::make_shared<doubles::ScriptedSite>();
  std::unique_ptr<PageAutomation> automation_ = doubles::MakeScriptedFactory(site_)();
  doubles::RecordingProgress progress_;
  FindingsList findings_;
};

// --- Which objects and properties are hits -------------------------------------------------------------

TEST_F(ScanPageObjectsTest, PageWithoutObjectsAddsNothingAndLeavesProgressAlone) {
  AddPage("P", "Empty", {});
  Scan("P", "Empty", true);
  EXPECT_EQ(findings_.Count(), 0);
  EXPECT_THAT(site_->CallOps(), ElementsAre(Op::kFirstObject));
  EXPECT_THAT(progress_.LineHistory(0), IsEmpty());
}

TEST_F(ScanPageObjectsTest, OnlyTheExactTypeTarvoHasItsPropertiesRead) {
  for (const char* type : {"tarvo", "TARVO", " Tarvo", "Tarvo ", "Rectangle"}) {
    ScriptedObject object = TarvoObject(1, kValve, {{"TEXT", "x"}});
    object.type = type;
    AddPage("P", type, {object});
  }
  for (const char* type : {"tarvo", "TARVO", " Tarvo", "Tarvo ", "Rectangle"}) Scan("P", type, true);
  EXPECT_EQ(findings_.Count(), 0);
  EXPECT_EQ(site_->CallCount(Op::kFirstProperty), 0);
}

TEST_F(ScanPageObjectsTest, OnlyWholeCaseSensitiveKeywordNamesAreHits) {
  AddPage("P", "Main",
          {TarvoObject(7, kValve,
                       {{"text", "1"}, {"TEXT", "2"}, {"COL_X", "3"}, {"COL_F", "4"}, {"COL_", "5"}})});
  Scan("P", "Main", true);
  EXPECT_THAT(Lines(), ElementsAre("P\tMain\t7\tinclude\tvalves\tvalve_h\tTEXT\t'2'",
                                   "P\tMain\t7\tinclude\tvalves\tvalve_h\tCOL_\t'5'"));
}

TEST_F(ScanPageObjectsTest, CallsFollowTheWalkOrderExactly) {
  AddPage("P", "Main",
          {PlainObject("Rectangle", 1), TarvoObject(2, kValve, {{"Tag", "a"}, {"FONT", "b"}})});
  Scan("P", "Main", false);
  EXPECT_THAT(site_->CallOps(),
              ElementsAre(Op::kFirstObject, Op::kGetObjectType, Op::kNextObject, Op::kGetObjectType,
                          Op::kFirstProperty, Op::kNextProperty, Op::kGetTarvoInfo, Op::kGetObjectAN,
                          Op::kNextProperty, Op::kNextObject));
}

TEST_F(ScanPageObjectsTest, TarvoWithoutPropertiesIsPassedOver) {
  AddPage("P", "Main", {TarvoObject(1, kValve, {}), TarvoObject(2, kPump, {{"VISIBLE", "1"}})});
  Scan("P", "Main", false);
  EXPECT_THAT(Lines(), ElementsAre("include\tpumps\tpump_v\tVISIBLE"));
}

// --- Report forms --------------------------------------------------------------------------------------

TEST_F(ScanPageObjectsTest, ShowAllWritesEightFieldsWithSignedAnAndQuotedValue) {
  AddPage("Proj A", "Page 1",
          {TarvoObject(-32768, kValve, {{"TEXT", ""}}),
           TarvoObject(-5, kValve, {{"FONT", "it's\there"}}),
           TarvoObject(32767, kValve, {{"CMD", "'"}})});
  Scan("Proj A", "Page 1", true);
  EXPECT_THAT(Lines(), ElementsAre("Proj A\tPage 1\t-32768\tinclude\tvalves\tvalve_h\tTEXT\t''",
                                   "Proj A\tPage 1\t-5\tinclude\tvalves\tvalve_h\tFONT\t'it's\there'",
                                   "Proj A\tPage 1\t32767\tinclude\tvalves\tvalve_h\tCMD\t'''"));
}

TEST_F(ScanPageObjectsTest, ShowAllGivesOneLinePerPlacementAndPerReservedProperty) {
  AddPage("P", "Main",
          {TarvoObject(1, kValve, {{"TEXT", "v"}}), TarvoObject(2, kValve, {{"TEXT", "v"}, {"FONT", "f"}})});
  Scan("P", "Main", true);
  EXPECT_EQ(findings_.Count(), 3);
}

TEST_F(ScanPageObjectsTest, FourFieldFormReportsEachTarvoOncePerNameAcrossPagesAndProjects) {
  const std::vector<ScriptedObject> page = {TarvoObject(1, kValve, {{"TEXT", "a"}}),
                                            TarvoObject(2, kValve, {{"TEXT", "b"}})};
  AddPage("P1", "One", page);
  AddPage("P1", "Two", page);
  AddPage("P2", "One", page);
  Scan("P1", "One", false);
  Scan("P1", "Two", false);
  Scan("P2", "One", false);
  EXPECT_THAT(Lines(), ElementsAre("include\tvalves\tvalve_h\tTEXT"));
  // Every hit rewrites line 0, the rejected ones with the unchanged count.
  EXPECT_THAT(progress_.LineHistory(0), ElementsAre(CountText(1), CountText(1), CountText(1), CountText(1),
                                                    CountText(1), CountText(1)));
}

TEST_F(ScanPageObjectsTest, ShowAllDuplicatesAreDroppedOnlyWhenTheWholeLineRepeats) {
  const std::vector<ScriptedObject> page = {TarvoObject(1, kValve, {{"TEXT", "a"}})};
  AddPage("P1", "One", page);
  AddPage("P2", "One", page);
  Scan("P1", "One", true);
  Scan("P1", "One", true);
  Scan("P2", "One", true);
  EXPECT_THAT(Lines(), ElementsAre("P1\tOne\t1\tinclude\tvalves\tvalve_h\tTEXT\t'a'",
                                   "P2\tOne\t1\tinclude\tvalves\tvalve_h\tTEXT\t'a'"));
}

TEST_F(ScanPageObjectsTest, TarvoNamesDifferingOnlyInCaseGiveOneLineTheFirstMet) {
  AddPage("P", "Main",
          {TarvoObject(1, {"include", "valves", "Valve"}, {{"TEXT", "a"}}),
           TarvoObject(2, {"include", "valves", "VALVE"}, {{"TEXT", "a"}})});
  Scan("P", "Main", false);
  EXPECT_THAT(Lines(), ElementsAre("include\tvalves\tValve\tTEXT"));
}

TEST_F(ScanPageObjectsTest, ProgressLineCarriesTheCountAfterEachAddition) {
  AddPage("P", "Main", {TarvoObject(1, kValve, {{"TEXT", "a"}, {"TEXT", "a"}, {"FONT", "b"}})});
  Scan("P", "Main", false);
  EXPECT_THAT(progress_.LineHistory(0), ElementsAre(CountText(1), CountText(1), CountText(2)));
  EXPECT_EQ(progress_.CurrentLine(0), CountText(2));
}

// --- Failed calls and the pending error ----------------------------------------------------------------

TEST_F(ScanPageObjectsTest, FailedTarvoInfoLeavesFieldsFourToSixEmptyAndStillAddsTheLine) {
  ScriptedObject noInfo = TarvoObject(4, kValve, {{"TEXT", "v"}});
  noInfo.tarvo.reset();
  AddPage("P", "Main", {TarvoObject(3, kPump, {{"FONT", "f"}}), noInfo});
  Scan("P", "Main", true);
  EXPECT_THAT(Lines(), ElementsAre("P\tMain\t3\tinclude\tpumps\tpump_v\tFONT\t'f'", "P\tMain\t4\t\t\t\tTEXT\t'v'"));
}

TEST_F(ScanPageObjectsTest, FailedAnKeepsTheLastAnReadInThisCall) {
  AddPage("P", "Main",
          {TarvoObject(11, kValve, {{"TEXT", "a"}}), TarvoObject(12, kValve, {{"TEXT", "b"}}),
           TarvoObject(13, kValve, {{"TEXT", "c"}})});
  site_->FailCall(Op::kGetObjectAN, 2);
  Scan("P", "Main", true);
  EXPECT_THAT(Lines(), ElementsAre("P\tMain\t11\tinclude\tvalves\tvalve_h\tTEXT\t'a'",
                                   "P\tMain\t11\tinclude\tvalves\tvalve_h\tTEXT\t'b'",
                                   "P\tMain\t13\tinclude\tvalves\tvalve_h\tTEXT\t'c'"));
}

TEST_F(ScanPageObjectsTest, AnStartsAtZeroInEveryCall) {
  AddPage("P", "One", {TarvoObject(42, kValve, {{"TEXT", "a"}})});
  AddPage("P", "Two", {TarvoObject(43, kValve, {{"TEXT", "b"}})});
  Scan("P", "One", true);
  site_->FailEveryCall(Op::kGetObjectAN);
  Scan("P", "Two", true);
  EXPECT_EQ(findings_.Line(1), "P\tTwo\t0\tinclude\tvalves\tvalve_h\tTEXT\t'b'");
}

TEST_F(ScanPageObjectsTest, FailedTypeReadKeepsTheEarlierTypeText) {
  // The second object's type cannot be read: it is treated as the Tarvo read before it.
  AddPage("P", "AfterTarvo",
          {TarvoObject(1, kValve, {{"TEXT", "a"}}), TarvoObject(2, kPump, {{"TEXT", "b"}})});
  site_->FailCall(Op::kGetObjectType, 2);
  Scan("P", "AfterTarvo", false);
  EXPECT_THAT(Lines(), ElementsAre("include\tvalves\tvalve_h\tTEXT", "include\tpumps\tpump_v\tTEXT"));

  // After a plain object the same failure makes the Tarvo be passed over.
  AddPage("P", "AfterPlain", {PlainObject("Line", 1), TarvoObject(2, kValve, {{"FONT", "b"}})});
  site_->ClearCalls();
  site_->FailCall(Op::kGetObjectType, 2);
  Scan("P", "AfterPlain", false);
  EXPECT_EQ(findings_.Count(), 2);
}

TEST_F(ScanPageObjectsTest, FailedTypeReadOnTheFirstObjectMeansNotATarvo) {
  AddPage("P", "Main", {TarvoObject(1, kValve, {{"TEXT", "a"}}), TarvoObject(2, kPump, {{"TEXT", "b"}})});
  site_->FailCall(Op::kGetObjectType, 1);
  Scan("P", "Main", false);
  EXPECT_THAT(Lines(), ElementsAre("include\tpumps\tpump_v\tTEXT"));
}

TEST_F(ScanPageObjectsTest, DuplicatesAndFailedIdentityReadsNeverEndThePropertyWalk) {
  AddPage("P", "Main", {TarvoObject(1, kValve, {{"TEXT", "a"}, {"TEXT", "a"}, {"FONT", "b"}, {"CMD", "c"}})});
  site_->FailCall(Op::kGetTarvoInfo, 3);
  site_->FailCall(Op::kGetObjectAN, 3);
  Scan("P", "Main", false);
  EXPECT_THAT(Lines(), ElementsAre("include\tvalves\tvalve_h\tTEXT", "\t\t\tFONT", "include\tvalves\tvalve_h\tCMD"));
}

TEST_F(ScanPageObjectsTest, FailedNextPropertyEndsOnlyThatTarvosWalk) {
  AddPage("P", "Main",
          {TarvoObject(1, kValve, {{"Tag", "a"}, {"TEXT", "b"}}), TarvoObject(2, kPump, {{"FONT", "c"}})});
  site_->FailCall(Op::kNextProperty, 1);
  Scan("P", "Main", false);
  EXPECT_THAT(Lines(), ElementsAre("include\tpumps\tpump_v\tFONT"));
}

TEST_F(ScanPageObjectsTest, FailedNextObjectEndsThePage) {
  AddPage("P", "Main", {PlainObject("Line", 1), TarvoObject(2, kValve, {{"TEXT", "a"}})});
  site_->FailCall(Op::kNextObject, 1);
  Scan("P", "Main", false);
  EXPECT_EQ(findings_.Count(), 0);
  EXPECT_THAT(site_->CallOps(), ElementsAre(Op::kFirstObject, Op::kGetObjectType, Op::kNextObject));
}

TEST_F(ScanPageObjectsTest, OutputsOfFailedCallsAreNotTaken) {
  // The double writes "Tarvo", "TEXT", "#scribble#" and -999 into the outputs of every failing call.
  site_->ScribbleOnFailure();
  AddPage("P", "Main",
          {PlainObject("Line", 1), TarvoObject(5, kValve, {{"Tag", "a"}, {"FONT", "b"}}),
           ScriptedObject{std::nullopt, std::nullopt, std::nullopt, {}}});
  site_->FailCall(Op::kGetObjectType, 1);  // must not make the line a Tarvo
  site_->FailCall(Op::kNextProperty, 2);   // the end of the walk must not become a TEXT hit
  site_->FailCall(Op::kGetTarvoInfo, 1);
  site_->FailCall(Op::kGetObjectAN, 1);
  Scan("P", "Main", true);
  EXPECT_THAT(Lines(), ElementsAre("P\tMain\t0\t\t\t\tFONT\t'b'"));
}

TEST_F(ScanPageObjectsTest, FailingProgressUpdateIsAbsorbedAndTheScanGoesOn) {
  AddPage("P", "Main", {TarvoObject(1, kValve, {{"TEXT", "a"}, {"FONT", "b"}}),
                          TarvoObject(2, kPump, {{"CMD", "c"}})});
  progress_.FailTextAt(1);
  progress_.FailTextAt(3, 9);
  Scan("P", "Main", false);
  EXPECT_EQ(findings_.Count(), 3);
  EXPECT_THAT(progress_.LineHistory(0), ElementsAre(CountText(2)));
}

TEST_F(ScanPageObjectsTest, ServerThrowingInsteadOfFailingIsTreatedAsAFailure) {
  AddPage("P", "Main", {TarvoObject(1, kValve, {{"TEXT", "a"}}), TarvoObject(2, kPump, {{"FONT", "b"}}),
                        TarvoObject(3, kValve, {{"VISIBLE", "c"}})});
  site_->ThrowOnCall(Op::kGetTarvoInfo, 1);
  site_->ThrowOnCall(Op::kGetTarvoInfo, 3);
  site_->ThrowOnCall(Op::kNextObject, 3);
  Scan("P", "Main", false);
  // The third line must not carry the pump's identity read for the second.
  EXPECT_THAT(Lines(), ElementsAre("\t\t\tTEXT", "include\tpumps\tpump_v\tFONT", "\t\t\tVISIBLE"));
}

TEST_F(ScanPageObjectsTest, NothingOpenMeansNothingFound) {
  // Without an open page every operation fails; the scan must end at FirstObject.
  EXPECT_NO_THROW(ScanPageObjects(*automation_, progress_, "P", "Main", findings_, true));
  EXPECT_EQ(findings_.Count(), 0);
  EXPECT_THAT(site_->CallOps(), ElementsAre(Op::kFirstObject));
}

}  // namespace
}  // namespace morvex
