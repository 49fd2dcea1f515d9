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

const ScriptedTarvoInfo kValve{u"include", u"valves", u"valve_h", 3};
const ScriptedTarvoInfo kPump{u"include", u"pumps", u"pump_v", 0};

class ScanPageObjectsTest : public ::testing::Test {
 protected:
  void AddPage(const std::u16string& project, const std::u16string& page, std::vector<ScriptedObject> objects) {
    site_->AddPage(project, page, std::move(objects));
  }
  // Opens the page as the project page scan would and scans it; the scan itself must never throw.
  void Scan(const std::u16string& project, const std::u16string& page, bool showAll) {
    ASSERT_TRUE(automation_->OpenPage(project, page));
    site_->ClearCalls();
    EXPECT_NO_THROW(ScanPageObjects(*automation_, progress_, project, page, findings_, showAll));
  }
  std::vector<std::u16string> Lines() const {
    std::vector<std::u16string> lines;
    for (int32_t i = 0; i < findings_.Count(); ++i) lines.push_back(findings_.Line(i));
    return lines;
  }
  static std::u16string CountText(int count) {
    const std::string digits = std::to_string(count);
    return u"Searching for reserved Tarvo keywords..." + std::u16string(digits.begin(), digits.end()) + u" found.";
  }

  std::shared_ptr<doubles::ScriptedSite> site_ = std::make_shared<doubles::ScriptedSite>();
  std::unique_ptr<PageAutomation> automation_ = doubles::MakeScriptedFactory(site_)();
  doubles::RecordingProgress progress_;
  FindingsList findings_;
};

// --- Which objects and properties are hits -------------------------------------------------------------

TEST_F(ScanPageObjectsTest, PageWithoutObjectsAddsNothingAndLeavesProgressAlone) {
  AddPage(u"P", u"Empty", {});
  Scan(u"P", u"Empty", true);
  EXPECT_EQ(findings_.Count(), 0);
  EXPECT_THAT(site_->CallOps(), ElementsAre(Op::kFirstObject));
  EXPECT_THAT(progress_.LineHistory(0), IsEmpty());
}

TEST_F(ScanPageObjectsTest, OnlyTheExactTypeTarvoHasItsPropertiesRead) {
  for (const char16_t* type : {u"tarvo", u"TARVO", u" Tarvo", u"Tarvo ", u"Rectangle"}) {
    ScriptedObject object = TarvoObject(1, kValve, {{u"TEXT", u"x"}});
    object.type = type;
    AddPage(u"P", type, {object});
  }
  for (const char16_t* type : {u"tarvo", u"TARVO", u" Tarvo", u"Tarvo ", u"Rectangle"}) Scan(u"P", type, true);
  EXPECT_EQ(findings_.Count(), 0);
  EXPECT_EQ(site_->CallCount(Op::kFirstProperty), 0);
}

TEST_F(ScanPageObjectsTest, OnlyWholeCaseSensitiveKeywordNamesAreHits) {
  AddPage(u"P", u"Main",
          {TarvoObject(7, kValve,
                       {{u"text", u"1"}, {u"TEXT", u"2"}, {u"COL_X", u"3"}, {u"COL_F", u"4"}, {u"COL_", u"5"}})});
  Scan(u"P", u"Main", true);
  EXPECT_THAT(Lines(), ElementsAre(u"P\tMain\t7\tinclude\tvalves\tvalve_h\tTEXT\t'2'",
                                   u"P\tMain\t7\tinclude\tvalves\tvalve_h\tCOL_\t'5'"));
}

TEST_F(ScanPageObjectsTest, CallsFollowTheWalkOrderExactly) {
  AddPage(u"P", u"Main",
          {PlainObject(u"Rectangle", 1), TarvoObject(2, kValve, {{u"Tag", u"a"}, {u"FONT", u"b"}})});
  Scan(u"P", u"Main", false);
  EXPECT_THAT(site_->CallOps(),
              ElementsAre(Op::kFirstObject, Op::kGetObjectType, Op::kNextObject, Op::kGetObjectType,
                          Op::kFirstProperty, Op::kNextProperty, Op::kGetTarvoInfo, Op::kGetObjectAN,
                          Op::kNextProperty, Op::kNextObject));
}

TEST_F(ScanPageObjectsTest, TarvoWithoutPropertiesIsPassedOver) {
  AddPage(u"P", u"Main", {TarvoObject(1, kValve, {}), TarvoObject(2, kPump, {{u"VISIBLE", u"1"}})});
  Scan(u"P", u"Main", false);
  EXPECT_THAT(Lines(), ElementsAre(u"include\tpumps\tpump_v\tVISIBLE"));
}

// --- Report forms --------------------------------------------------------------------------------------

TEST_F(ScanPageObjectsTest, ShowAllWritesEightFieldsWithSignedAnAndQuotedValue) {
  AddPage(u"Proj A", u"Page 1",
          {TarvoObject(-32768, kValve, {{u"TEXT", u""}}),
           TarvoObject(-5, kValve, {{u"FONT", u"it's\there"}}),
           TarvoObject(32767, kValve, {{u"CMD", u"'"}})});
  Scan(u"Proj A", u"Page 1", true);
  EXPECT_THAT(Lines(), ElementsAre(u"Proj A\tPage 1\t-32768\tinclude\tvalves\tvalve_h\tTEXT\t''",
                                   u"Proj A\tPage 1\t-5\tinclude\tvalves\tvalve_h\tFONT\t'it's\there'",
                                   u"Proj A\tPage 1\t32767\tinclude\tvalves\tvalve_h\tCMD\t'''"));
}

TEST_F(ScanPageObjectsTest, ShowAllGivesOneLinePerPlacementAndPerReservedProperty) {
  AddPage(u"P", u"Main",
          {TarvoObject(1, kValve, {{u"TEXT", u"v"}}), TarvoObject(2, kValve, {{u"TEXT", u"v"}, {u"FONT", u"f"}})});
  Scan(u"P", u"Main", true);
  EXPECT_EQ(findings_.Count(), 3);
}

TEST_F(ScanPageObjectsTest, FourFieldFormReportsEachTarvoOncePerNameAcrossPagesAndProjects) {
  const std::vector<ScriptedObject> page = {TarvoObject(1, kValve, {{u"TEXT", u"a"}}),
                                            TarvoObject(2, kValve, {{u"TEXT", u"b"}})};
  AddPage(u"P1", u"One", page);
  AddPage(u"P1", u"Two", page);
  AddPage(u"P2", u"One", page);
  Scan(u"P1", u"One", false);
  Scan(u"P1", u"Two", false);
  Scan(u"P2", u"One", false);
  EXPECT_THAT(Lines(), ElementsAre(u"include\tvalves\tvalve_h\tTEXT"));
  // Every hit rewrites line 0, the rejected ones with the unchanged count.
  EXPECT_THAT(progress_.LineHistory(0), ElementsAre(CountText(1), CountText(1), CountText(1), CountText(1),
                                                    CountText(1), CountText(1)));
}

TEST_F(ScanPageObjectsTest, ShowAllDuplicatesAreDroppedOnlyWhenTheWholeLineRepeats) {
  const std::vector<ScriptedObject> page = {TarvoObject(1, kValve, {{u"TEXT", u"a"}})};
  AddPage(u"P1", u"One", page);
  AddPage(u"P2", u"One", page);
  Scan(u"P1", u"One", true);
  Scan(u"P1", u"One", true);
  Scan(u"P2", u"One", true);
  EXPECT_THAT(Lines(), ElementsAre(u"P1\tOne\t1\tinclude\tvalves\tvalve_h\tTEXT\t'a'",
                                   u"P2\tOne\t1\tinclude\tvalves\tvalve_h\tTEXT\t'a'"));
}

TEST_F(ScanPageObjectsTest, TarvoNamesDifferingOnlyInCaseGiveOneLineTheFirstMet) {
  AddPage(u"P", u"Main",
          {TarvoObject(1, {u"include", u"valves", u"Valve"}, {{u"TEXT", u"a"}}),
           TarvoObject(2, {u"include", u"valves", u"VALVE"}, {{u"TEXT", u"a"}})});
  Scan(u"P", u"Main", false);
  EXPECT_THAT(Lines(), ElementsAre(u"include\tvalves\tValve\tTEXT"));
}

TEST_F(ScanPageObjectsTest, ProgressLineCarriesTheCountAfterEachAddition) {
  AddPage(u"P", u"Main", {TarvoObject(1, kValve, {{u"TEXT", u"a"}, {u"TEXT", u"a"}, {u"FONT", u"b"}})});
  Scan(u"P", u"Main", false);
  EXPECT_THAT(progress_.LineHistory(0), ElementsAre(CountText(1), CountText(1), CountText(2)));
  EXPECT_EQ(progress_.CurrentLine(0), CountText(2));
}

// --- Failed calls and the pending error ----------------------------------------------------------------

TEST_F(ScanPageObjectsTest, FailedTarvoInfoLeavesFieldsFourToSixEmptyAndStillAddsTheLine) {
  ScriptedObject noInfo = TarvoObject(4, kValve, {{u"TEXT", u"v"}});
  noInfo.tarvo.reset();
  AddPage(u"P", u"Main", {TarvoObject(3, kPump, {{u"FONT", u"f"}}), noInfo});
  Scan(u"P", u"Main", true);
  EXPECT_THAT(Lines(), ElementsAre(u"P\tMain\t3\tinclude\tpumps\tpump_v\tFONT\t'f'", u"P\tMain\t4\t\t\t\tTEXT\t'v'"));
}

TEST_F(ScanPageObjectsTest, FailedAnKeepsTheLastAnReadInThisCall) {
  AddPage(u"P", u"Main",
          {TarvoObject(11, kValve, {{u"TEXT", u"a"}}), TarvoObject(12, kValve, {{u"TEXT", u"b"}}),
           TarvoObject(13, kValve, {{u"TEXT", u"c"}})});
  site_->FailCall(Op::kGetObjectAN, 2);
  Scan(u"P", u"Main", true);
  EXPECT_THAT(Lines(), ElementsAre(u"P\tMain\t11\tinclude\tvalves\tvalve_h\tTEXT\t'a'",
                                   u"P\tMain\t11\tinclude\tvalves\tvalve_h\tTEXT\t'b'",
                                   u"P\tMain\t13\tinclude\tvalves\tvalve_h\tTEXT\t'c'"));
}

TEST_F(ScanPageObjectsTest, AnStartsAtZeroInEveryCall) {
  AddPage(u"P", u"One", {TarvoObject(42, kValve, {{u"TEXT", u"a"}})});
  AddPage(u"P", u"Two", {TarvoObject(43, kValve, {{u"TEXT", u"b"}})});
  Scan(u"P", u"One", true);
  site_->FailEveryCall(Op::kGetObjectAN);
  Scan(u"P", u"Two", true);
  EXPECT_EQ(findings_.Line(1), u"P\tTwo\t0\tinclude\tvalves\tvalve_h\tTEXT\t'b'");
}

TEST_F(ScanPageObjectsTest, FailedTypeReadKeepsTheEarlierTypeText) {
  // The second object's type cannot be read: it is treated as the Tarvo read before it.
  AddPage(u"P", u"AfterTarvo",
          {TarvoObject(1, kValve, {{u"TEXT", u"a"}}), TarvoObject(2, kPump, {{u"TEXT", u"b"}})});
  site_->FailCall(Op::kGetObjectType, 2);
  Scan(u"P", u"AfterTarvo", false);
  EXPECT_THAT(Lines(), ElementsAre(u"include\tvalves\tvalve_h\tTEXT", u"include\tpumps\tpump_v\tTEXT"));

  // After a plain object the same failure makes the Tarvo be passed over.
  AddPage(u"P", u"AfterPlain", {PlainObject(u"Line", 1), TarvoObject(2, kValve, {{u"FONT", u"b"}})});
  site_->ClearCalls();
  site_->FailCall(Op::kGetObjectType, 2);
  Scan(u"P", u"AfterPlain", false);
  EXPECT_EQ(findings_.Count(), 2);
}

TEST_F(ScanPageObjectsTest, FailedTypeReadOnTheFirstObjectMeansNotATarvo) {
  AddPage(u"P", u"Main", {TarvoObject(1, kValve, {{u"TEXT", u"a"}}), TarvoObject(2, kPump, {{u"TEXT", u"b"}})});
  site_->FailCall(Op::kGetObjectType, 1);
  Scan(u"P", u"Main", false);
  EXPECT_THAT(Lines(), ElementsAre(u"include\tpumps\tpump_v\tTEXT"));
}

TEST_F(ScanPageObjectsTest, DuplicatesAndFailedIdentityReadsNeverEndThePropertyWalk) {
  AddPage(u"P", u"Main", {TarvoObject(1, kValve, {{u"TEXT", u"a"}, {u"TEXT", u"a"}, {u"FONT", u"b"}, {u"CMD", u"c"}})});
  site_->FailCall(Op::kGetTarvoInfo, 3);
  site_->FailCall(Op::kGetObjectAN, 3);
  Scan(u"P", u"Main", false);
  EXPECT_THAT(Lines(), ElementsAre(u"include\tvalves\tvalve_h\tTEXT", u"\t\t\tFONT", u"include\tvalves\tvalve_h\tCMD"));
}

TEST_F(ScanPageObjectsTest, FailedNextPropertyEndsOnlyThatTarvosWalk) {
  AddPage(u"P", u"Main",
          {TarvoObject(1, kValve, {{u"Tag", u"a"}, {u"TEXT", u"b"}}), TarvoObject(2, kPump, {{u"FONT", u"c"}})});
  site_->FailCall(Op::kNextProperty, 1);
  Scan(u"P", u"Main", false);
  EXPECT_THAT(Lines(), ElementsAre(u"include\tpumps\tpump_v\tFONT"));
}

TEST_F(ScanPageObjectsTest, FailedNextObjectEndsThePage) {
  AddPage(u"P", u"Main", {PlainObject(u"Line", 1), TarvoObject(2, kValve, {{u"TEXT", u"a"}})});
  site_->FailCall(Op::kNextObject, 1);
  Scan(u"P", u"Main", false);
  EXPECT_EQ(findings_.Count(), 0);
  EXPECT_THAT(site_->CallOps(), ElementsAre(Op::kFirstObject, Op::kGetObjectType, Op::kNextObject));
}

TEST_F(ScanPageObjectsTest, OutputsOfFailedCallsAreNotTaken) {
  // The double writes "Tarvo", "TEXT", "#scribble#" and -999 into the outputs of every failing call.
  site_->ScribbleOnFailure();
  AddPage(u"P", u"Main",
          {PlainObject(u"Line", 1), TarvoObject(5, kValve, {{u"Tag", u"a"}, {u"FONT", u"b"}}),
           ScriptedObject{std::nullopt, std::nullopt, std::nullopt, {}}});
  site_->FailCall(Op::kGetObjectType, 1);  // must not make the line a Tarvo
  site_->FailCall(Op::kNextProperty, 2);   // the end of the walk must not become a TEXT hit
  site_->FailCall(Op::kGetTarvoInfo, 1);
  site_->FailCall(Op::kGetObjectAN, 1);
  Scan(u"P", u"Main", true);
  EXPECT_THAT(Lines(), ElementsAre(u"P\tMain\t0\t\t\t\tFONT\t'b'"));
}

TEST_F(ScanPageObjectsTest, FailingProgressUpdateIsAbsorbedAndTheScanGoesOn) {
  AddPage(u"P", u"Main", {TarvoObject(1, kValve, {{u"TEXT", u"a"}, {u"FONT", u"b"}}),
                          TarvoObject(2, kPump, {{u"CMD", u"c"}})});
  progress_.FailTextAt(1);
  progress_.FailTextAt(3, 9);
  Scan(u"P", u"Main", false);
  EXPECT_EQ(findings_.Count(), 3);
  EXPECT_THAT(progress_.LineHistory(0), ElementsAre(CountText(2)));
}

TEST_F(ScanPageObjectsTest, ServerThrowingInsteadOfFailingIsTreatedAsAFailure) {
  AddPage(u"P", u"Main", {TarvoObject(1, kValve, {{u"TEXT", u"a"}}), TarvoObject(2, kPump, {{u"FONT", u"b"}})});
  site_->ThrowOnCall(Op::kGetTarvoInfo, 1);
  site_->ThrowOnCall(Op::kNextObject, 2);
  Scan(u"P", u"Main", false);
  EXPECT_THAT(Lines(), ElementsAre(u"\t\t\tTEXT", u"include\tpumps\tpump_v\tFONT"));
}

TEST_F(ScanPageObjectsTest, NothingOpenMeansNothingFound) {
  // Without an open page every operation fails; the scan must end at FirstObject.
  EXPECT_NO_THROW(ScanPageObjects(*automation_, progress_, u"P", u"Main", findings_, true));
  EXPECT_EQ(findings_.Count(), 0);
  EXPECT_THAT(site_->CallOps(), ElementsAre(Op::kFirstObject));
}

}  // namespace
}  // namespace morvex
