// The site export: folder names, the project list rewritten cell for cell, refusals, and round trips through
// a server that is not ours.
#include "SiteExport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "DbfWriter.h"
#include "PageFileServer.h"
#include "ScriptedAutomation.h"
#include "SilentProgress.h"
#include "basSearch.h"

namespace morvex {
namespace {

namespace fs = std::filesystem;
using doubles::AutomationOp;
using doubles::ScriptedSite;

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class QuietMessages : public MessageSink {
 public:
  void ShowMessage(std::string_view) override {}
};

// The report and which pages did not open: what a scan of the export must give again.
struct RunFacts {
  std::string report;
  int64_t unopened = 0;
  bool operator==(const RunFacts&) const = default;
};

void PrintTo(const RunFacts& facts, std::ostream* out) {
  *out << testing::PrintToString(facts.report) << ", " << facts.unopened << " unopened";
}

RunFacts Scan(PageAutomationFactory server, const fs::path& folder, bool bShowAll = true) {
  SilentProgress progress;
  QuietMessages messages;
  AppContext context(std::move(server), progress, messages);
  const SearchResult result = RunSearchDetailed(context, FromNativePath(folder), bShowAll, true);
  return {result.Report(), result.unopened.Count()};
}

class SiteExportTest : public ::testing::Test {
 protected:
  SiteExportTest() : root_(fs::temp_directory_path() / ("morvex_export_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()))) {
    fs::remove_all(root_);
    fs::create_directories(root_ / "site");
  }
  ~SiteExportTest() override { fs::remove_all(root_); }
  fs::path Site() const { return root_ / "site"; }
  fs::path Out() const { return root_ / "out"; }

  bool Begin(SiteExport& siteExport, std::string& error, const fs::path& out) const {
    return siteExport.Begin(FromNativePath(out), FromNativePath(Site()), error);
  }

  fs::path root_;
};

TEST(ExportFolderName, RecordNumberFirstThenWhatFitsOfASafeName) {
  struct Case {
    int32_t record;
    std::string name;
    int32_t width;
    std::string folder;
  } cases[] = {
      {1, "Kl\xC3\xA4ranlage", 254, "1-Kl_ranlage"},
      {7, "CON", 10, "7-CON"},                // a device name on Windows only alone
      {3, "..", 10, "3"},                     // nothing left of the name
      {5, "a/b\\c:\"d\" ", 40, "5-a_b_c_d"},  // separators, quotes, trailing blanks
      {12, "Pumps", 4, "12-P"},
      {12, "Pumps", 3, "12"},                 // no room for a dash and a letter
      {123, "x", 2, ""},                      // the number alone does not fit
      {2, std::string(80, 'n'), 254, "2-" + std::string(40, 'n')},
  };
  for (const Case& c : cases) EXPECT_EQ(ExportFolderName(c.record, c.name, c.width), c.folder) << c.name;
}

TEST_F(SiteExportTest, ProjectListKeepsEveryByteButThePathCellsAndPageListsAreCopiedAsTheyAre) {
  doubles::DbfWriter master({{"Note", 6}, {"Name", 12}, {"Path", 24}, {"Extra", 5}});
  master.Add({"n1", "Alpha", "alpha", "e1"})
      .Add({"n2", "Gone", "/nowhere/gone", "e2"}, true)
      .Add({"n3", "NoFolder", "", "e3"})
      .Add({"n4", "ALPHA", "./second", "e4"})
      .Add({"\xE4\"", "Beta\xE4", "beta\\..", "e5"});
  master.WriteTo(Site() / "master.dbf");
  const std::string original = ReadBytes(Site() / "master.dbf") + "tail";  // bytes past the table stay too
  std::ofstream(Site() / "master.dbf", std::ios::binary | std::ios::trunc) << original;
  doubles::PageListWriter().Add({"one"}).WriteTo(Site() / "alpha" / "pages.dbf");
  doubles::PageListWriter().Add({"two"}).Add({"three"}, true).WriteTo(Site() / "second" / "pages.dbf");

  SiteExport siteExport;
  std::string error;
  ASSERT_TRUE(Begin(siteExport, error, Out())) << error;
  const std::string exported = ReadBytes(Out() / "master.dbf");
  ASSERT_EQ(exported.size(), original.size());
  const size_t headerLength = 32 + 4 * 32 + 1, recordLength = 1 + 6 + 12 + 24 + 5, pathAt = 1 + 6 + 12;
  const std::vector<std::string> folders = {"1-Alpha", "2-Gone", "", "4-ALPHA", "5-Beta"};
  std::string expected = original;
  for (size_t record = 0; record < folders.size(); ++record) {
    if (folders[record].empty()) continue;  // a blank Path stays blank
    std::string cell = folders[record];
    cell.resize(24, ' ');
    expected.replace(headerLength + record * recordLength + pathAt, 24, cell);
  }
  EXPECT_EQ(exported, expected);
  EXPECT_EQ(ReadBytes(Out() / "1-Alpha" / "pages.dbf"), ReadBytes(Site() / "alpha" / "pages.dbf"));
  EXPECT_EQ(ReadBytes(Out() / "4-ALPHA" / "pages.dbf"), ReadBytes(Site() / "second" / "pages.dbf"));
  EXPECT_TRUE(fs::is_directory(Out() / "2-Gone"));  // its list is missing: the folder stays empty
  EXPECT_TRUE(fs::is_empty(Out() / "2-Gone"));
}

TEST_F(SiteExportTest, RefusesWhatItMustNotWriteIntoAndAPathFieldTooNarrowAndWritesNothing) {
  doubles::DbfWriter narrow = doubles::ProjectListWriter(1);  // room for "1" to "9" but not for "10"
  for (int record = 1; record <= 10; ++record) narrow.Add({"P", "p"});
  narrow.WriteTo(Site() / "master.dbf");
  std::ofstream(root_ / "file") << "x";
  constexpr const char* kInSite = "it lies in the site's folder, and an export never writes into the site";
  std::vector<std::pair<fs::path, std::string>> cases = {
      {root_ / "file", "it is there and is not a folder"},
      {Site(), kInSite},
      {Site() / ".." / "site" / "out", kInSite},
      {Out(), "holds 1 bytes, too few for the folder name of record 10"},
  };
  // A link into the site, and a folder beside the site reached through a link inside it: the folders count, not
  // their spelling. (Windows may refuse links to a user without the right to make them.)
  std::error_code linked;
  fs::create_directories(Site() / "sub");
  fs::create_directory_symlink(Site(), root_ / "link", linked);
  fs::create_directory_symlink(root_, Site() / "sub" / "up", linked);
  if (!linked) {
    cases.push_back({root_ / "link" / "new" / "out", kInSite});
    cases.push_back({Site() / "sub" / "up" / "beside", ""});  // refused only for the narrow field
  }
  for (const auto& [out, reason] : cases) {
    SiteExport siteExport;
    std::string error;
    EXPECT_FALSE(Begin(siteExport, error, out)) << out;
    if (reason.empty()) {
      EXPECT_EQ(error.find(kInSite), std::string::npos) << out << " lies beside the site: " << error;
    } else {
      EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
  }
  EXPECT_FALSE(fs::exists(Out()));
  EXPECT_FALSE(fs::exists(Site() / "out"));
  EXPECT_FALSE(fs::exists(Site() / "new"));
}

// A scripted server stands for the package's: members it fails to answer, pages it cannot open, and texts
// with quotes, control characters and non-ASCII letters must all come back the same from the page files.
TEST_F(SiteExportTest, ScanOfTheExportGivesTheReportOfTheServerItWasExportedThrough) {
  struct Case {
    const char* what;
    std::optional<AutomationOp> failing;  // every call of it fails
  } cases[] = {
      {"nothing fails", std::nullopt},
      {"no AN", AutomationOp::kGetObjectAN},
      {"no Tarvo identity", AutomationOp::kGetTarvoInfo},
      {"only the first property", AutomationOp::kNextProperty},
  };
  doubles::ProjectListWriter(12).Add({"Alpha", "alpha"}).Add({"Beta\xE4", "beta"}).WriteTo(Site() / "master.dbf");
  doubles::PageListWriter().Add({"one"}).Add({"\xC4q'uo te"}).Add({"gone"}).WriteTo(Site() / "alpha" / "pages.dbf");
  doubles::PageListWriter().Add({"one"}).Add({"gone"}).WriteTo(Site() / "beta" / "pages.dbf");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto site = std::make_shared<ScriptedSite>();
    for (const std::string project : {"Alpha", "Beta\xC3\xA4"}) {
      for (const std::string page : {"one", "\xC3\x84q'uo te"}) {
        site->AddPage(project, page,
                      {doubles::TarvoObject(7, {"lib \"x\"", "valves", "v\\1", -3},
                                            {{"TEXT", "tab\there \"q\" \xE2\x82\xAC"}, {"Tag", "x"}, {"FONT", "\n"}}),
                       doubles::PlainObject("Rectangle", 8), doubles::ScriptedObject{},
                       doubles::TarvoObject(-9, {"lib", "pumps", "p"}, {{"VISIBLE", ""}, {"TEXT", "\x01"}})});
      }
    }
    if (c.failing) site->FailEveryCall(*c.failing);
    for (const bool bShowAll : {true, false}) {
      const RunFacts direct = Scan(doubles::MakeScriptedFactory(site), Site(), bShowAll);
      fs::remove_all(Out());
      SiteExport siteExport;
      std::string error;
      ASSERT_TRUE(Begin(siteExport, error, Out())) << error;
      EXPECT_EQ(Scan(siteExport.Recording(doubles::MakeScriptedFactory(site)), Site(), bShowAll), direct);
      EXPECT_EQ(Scan([] { return std::make_unique<PageFileServer>(ReadAheadMode::kOff); }, Out(), bShowAll), direct);
      EXPECT_NE(direct.report, "No items found");
    }
  }
}

// Folders above the export that are missing are made, as `mkdir -p` makes them; a write that the export folder
// refuses later (here: the folder is gone) loses the copy, not the page: every finding is still reported.
TEST_F(SiteExportTest, MissingFoldersAboveAreMadeAndAFolderThatRefusesWritesFailsTheExportNotThePages) {
  doubles::ProjectListWriter().Add({"A", "a"}).WriteTo(Site() / "master.dbf");
  doubles::PageListWriter().Add({"one"}).Add({"two"}).WriteTo(Site() / "a" / "pages.dbf");
  auto site = std::make_shared<ScriptedSite>();
  for (const char* page : {"one", "two"}) {
    site->AddPage("A", page, {doubles::TarvoObject(1, {"l", "l", "t"}, {{"TEXT", page}})});
  }
  std::ofstream(root_ / "file") << "x";
  SiteExport refused;
  std::string error;
  EXPECT_FALSE(Begin(refused, error, root_ / "file" / "out"));
  EXPECT_TRUE(error.starts_with("cannot create it: ")) << error;

  const fs::path out = root_ / "x" / "y" / "out";
  SiteExport siteExport;
  ASSERT_TRUE(Begin(siteExport, error, out)) << error;
  EXPECT_TRUE(fs::exists(out / "1-A" / "pages.dbf"));
  fs::remove_all(out / "1-A");

  const RunFacts exported = Scan(siteExport.Recording(doubles::MakeScriptedFactory(site)), Site());
  EXPECT_EQ(exported, Scan(doubles::MakeScriptedFactory(site), Site()));
  EXPECT_EQ(exported.unopened, 0);
  ASSERT_TRUE(siteExport.Failure().has_value());
  EXPECT_EQ(*siteExport.Failure(), std::make_error_code(std::errc::no_such_file_or_directory).message());
}

// Another server may open what a page file cannot hold: such a page is told as not opened and not written.
TEST_F(SiteExportTest, APageThatNoPageFileCanHoldDoesNotOpenAndIsNotWritten) {
  doubles::ProjectListWriter().Add({"A", "a"}).WriteTo(Site() / "master.dbf");
  doubles::PageListWriter().Add({"bad"}).Add({"../up"}).Add({"good"}).WriteTo(Site() / "a" / "pages.dbf");
  auto site = std::make_shared<ScriptedSite>();
  site->AddPage("A", "bad", {doubles::TarvoObject(1, {"l", "l", "t"}, {{"TEXT", "\xFF"}})});
  site->AddPage("A", "../up", {doubles::TarvoObject(1, {"l", "l", "t"}, {{"TEXT", "up"}})});
  site->AddPage("A", "good", {doubles::TarvoObject(2, {"l", "l", "t"}, {{"TEXT", "ok"}})});
  SiteExport siteExport;
  std::string error;
  ASSERT_TRUE(Begin(siteExport, error, Out())) << error;
  const RunFacts exported = Scan(siteExport.Recording(doubles::MakeScriptedFactory(site)), Site());
  EXPECT_EQ(exported.unopened, 2);
  EXPECT_EQ(exported, Scan([] { return std::make_unique<PageFileServer>(ReadAheadMode::kOff); }, Out()));
  EXPECT_FALSE(fs::exists(Out() / "1-A" / "bad.json"));
  EXPECT_FALSE(fs::exists(Out() / "up.json"));
}

// On Windows a page name can be one the system cannot hold as a file or would take for another page's file;
// elsewhere every one of them is an ordinary file name.
TEST_F(SiteExportTest, APageNameWindowsCannotHoldIsToldWhyWindowsRefusesIt) {
  constexpr const char* kCharacter = "its name holds a character that Windows refuses in file names";
  struct Case {
    std::string page;           // as the server names it, UTF-8
    const char* windowsReason;  // nullptr: written
    std::string listed = {};    // as the page list holds it (Windows-1252), when it is not ASCII
  };
  const Case cases[] = {
      {"abc", nullptr},
      {"ABC", "its name differs only in case from a page written before"},
      {"abc", nullptr},  // the same page listed again is the one written
      {"a*b", kCharacter}, {"a?b", kCharacter}, {"a\"b", kCharacter}, {"a<b", kCharacter}, {"a>b", kCharacter},
      {"a|b", kCharacter}, {"a\x01" "b", kCharacter}, {"a\x1F" "b", kCharacter}, {"ab:c", kCharacter},
      {"COM1", "its name is a device's on Windows"},
      {"COM\xC2\xB9", "its name is a device's on Windows", "COM\xB9"},
      {"lpt\xC2\xB3", "its name is a device's on Windows", "lpt\xB3"},
  };
  doubles::ProjectListWriter().Add({"A", "a"}).WriteTo(Site() / "master.dbf");
  doubles::DbfWriter pages = doubles::PageListWriter();
  auto site = std::make_shared<ScriptedSite>();
  for (const Case& c : cases) {
    pages.Add({c.listed.empty() ? c.page : c.listed});
    site->AddPage("A", c.page, {doubles::TarvoObject(1, {"l", "l", "t"}, {{"TEXT", c.page}})});
  }
  pages.WriteTo(Site() / "a" / "pages.dbf");
  SiteExport siteExport;
  std::string error;
  ASSERT_TRUE(Begin(siteExport, error, Out())) << error;
  SilentProgress progress;
  QuietMessages messages;
  AppContext context(siteExport.Recording(doubles::MakeScriptedFactory(site)), progress, messages);
  const SearchResult result = RunSearchDetailed(context, FromNativePath(Site()), true, true);
  std::vector<std::string> told, expected;
  for (int64_t i = 0; i < result.unopened.Count(); ++i) {
    const UnopenedPages::Entry entry = result.unopened.At(i);
    told.push_back(std::string(entry.page) + ": " + std::string(entry.detail));
  }
  for (const Case& c : cases) {
    if (platform::HasDrivePaths() && c.windowsReason != nullptr) expected.push_back(c.page + ": " + c.windowsReason);
  }
  EXPECT_EQ(told, expected);
}

}  // namespace
}  // namespace morvex
