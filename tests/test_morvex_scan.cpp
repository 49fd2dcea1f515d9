// morvex-scan as a process: exit statuses, TSV and JSON on stdout, message lines on stderr, Ctrl-C.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <optional>
#include <simdjson.h>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DbfWriter.h"
#include "SiteGenerator.h"
#include "Version.h"

extern char** environ;

namespace morvex {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

struct ProcessResult {
  int status = -1;  // exit status, or 128 + signal number when a signal ended the process
  std::string out;
  std::string err;
};

std::string ReadFile(const fs::path& file) {
  std::ifstream stream(file, std::ios::binary);
  std::ostringstream text;
  text << stream.rdbuf();
  return text.str();
}

// Whether the process has a handler for SIGINT, from the caught-signal mask in /proc.
bool CatchesInterrupt(pid_t process) {
  std::ifstream status("/proc/" + std::to_string(process) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) & (1ULL << (SIGINT - 1))) != 0;
  }
  return false;
}

class MorvexScanTest : public ::testing::Test {
 protected:
  MorvexScanTest()
      : work_(fs::temp_directory_path() /
              ("morvex_cli_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    fs::remove_all(work_);
    fs::create_directories(work_);
  }
  ~MorvexScanTest() override { fs::remove_all(work_); }

  // Starts morvex-scan with stdout and stderr sent to files; onStarted may signal the child before it is
  // reaped. outFd, when given, is the child's stdout instead of outFile.
  ProcessResult Run(const std::vector<std::string>& arguments,
                    const std::function<void(pid_t)>& onStarted = {}, fs::path outFile = {}, int outFd = -1) {
    if (outFile.empty()) outFile = work_ / "stdout";
    const fs::path errFile = work_ / "stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (outFd >= 0) {
      posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    } else {
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                       0644);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!cwd_.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd_.c_str());
    std::vector<std::string> argv = launcher_;
    argv.push_back(MORVEX_SCAN_EXE);
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& argument : argv) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0].c_str(), &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ProcessResult result;
    if (spawned != 0) return result;
    if (onStarted) onStarted(child);
    int wait = 0;
    waitpid(child, &wait, 0);
    result.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait);
    if (outFd < 0 && outFile.parent_path() == work_) result.out = ReadFile(outFile);
    result.err = ReadFile(errFile);
    return result;
  }

  static std::string ExampleSite() { return std::string(MORVEX_SOURCE_DIR) + "/examples/site"; }
  static std::string Expected(const std::string& name) {
    return ReadFile(fs::path(MORVEX_SOURCE_DIR) / "tests" / "data" / "scan" / name);
  }

  // Runs the program as a user without privileges from here on, so that a file without read permission is
  // unreadable to it (root reads anything). False where that cannot be arranged.
  bool RunUnprivileged() {
    if (geteuid() != 0) return true;
    if (!fs::exists("/usr/sbin/runuser")) return false;
    launcher_ = {"/usr/sbin/runuser", "-u", "nobody", "--"};
    return true;
  }

  // A generated site of 40 projects, big enough for a scan that lasts while a test acts on it.
  fs::path BigSite(int pagesPerProject) {
    SiteShape shape;
    shape.projects = 40;
    shape.pages = pagesPerProject;
    shape.objects = 100;
    GenerateSite(shape, work_ / "big");
    return work_ / "big";
  }

  fs::path work_;
  std::vector<std::string> launcher_;
  fs::path cwd_;  // the program's current folder, when not the test's
};

// Every entry under the folder with its size and modification time.
std::vector<std::string> Snapshot(const fs::path& folder) {
  std::vector<std::string> entries;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    std::string line = entry.path().string();
    if (entry.is_regular_file()) line += " " + std::to_string(entry.file_size());
    line += " " + std::to_string(entry.last_write_time().time_since_epoch().count());
    entries.push_back(line);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

// The example site lists one page that has no page file.
const std::string kExampleUnopened =
    "morvex-scan: 1 of 6 pages could not be opened: 1 missing; 1 of 3 page lists could not be opened: 1 missing; "
    "--list-unopened names them\n";

TEST_F(MorvexScanTest, ExampleSiteGivesTheCommittedReportAndMessagesAndStaysUntouched) {
  const std::vector<std::string> before = Snapshot(ExampleSite());
  const ProcessResult result = Run({ExampleSite()});
  EXPECT_EQ(Snapshot(ExampleSite()), before);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, Expected("example_site.tsv"));
  EXPECT_EQ(result.err,
            "morvex-scan: Cannot open page list: " + ExampleSite() + "/leitstand/pages.dbf\n" + kExampleUnopened +
                "morvex-scan: 12 collisions on 5 of 5 pages scanned\n");
}

TEST_F(MorvexScanTest, ExampleSiteUniqueWithBuiltInsAsTsvAndJson) {
  const ProcessResult tsv = Run({"--unique", "--include-built-in", ExampleSite()});
  EXPECT_EQ(tsv.status, 1);
  EXPECT_EQ(tsv.out, Expected("example_site_unique.tsv"));
  const ProcessResult json = Run({"--format", "json", "--unique", "--include-built-in", ExampleSite()});
  EXPECT_EQ(json.status, 1);
  EXPECT_EQ(json.out, Expected("example_site_unique.json"));
}

TEST_F(MorvexScanTest, ShowAllJsonParsesWithTypedAnAndUnquotedValues) {
  const ProcessResult result = Run({"--format", "json", ExampleSite()});
  ASSERT_EQ(result.status, 1);
  simdjson::dom::parser parser;
  simdjson::dom::element document;
  ASSERT_EQ(parser.parse(result.out).get(document), simdjson::SUCCESS) << result.out;
  simdjson::dom::array findings;
  ASSERT_EQ(document.get_array().get(findings), simdjson::SUCCESS);
  EXPECT_EQ(findings.size(), 12u);
  bool sawNegativeAn = false;
  bool sawQuotedValue = false;
  for (simdjson::dom::element finding : findings) {
    int64_t an = 0;
    ASSERT_EQ(finding["AN"].get_int64().get(an), simdjson::SUCCESS);
    std::string_view value;
    ASSERT_EQ(finding["PropertyValue"].get_string().get(value), simdjson::SUCCESS);
    if (an == -5) sawNegativeAn = true;
    if (value == "Bel\xC3\xBC" "ftung \"Nord\"") sawQuotedValue = true;
  }
  EXPECT_TRUE(sawNegativeAn);
  EXPECT_TRUE(sawQuotedValue);
}

TEST_F(MorvexScanTest, SiteWithoutCollisionsExitsZeroWithNoItemsFoundOrAnEmptyArray) {
  doubles::ProjectListWriter().Add({"Clean", "clean"}).WriteTo(work_ / "site" / "master.dbf");
  doubles::PageListWriter().Add({"Only"}).WriteTo(work_ / "site" / "clean" / "pages.dbf");
  std::ofstream(work_ / "site" / "clean" / "Only.json")
      << R"({"objects": [{"type": "Tarvo", "an": 1, "tarvo": {"project": "i", "library": "l", "name": "n"},)"
      << R"( "properties": [{"name": "Text", "value": "near miss"}, {"name": "COL_F", "value": "1"}]}]})";
  const ProcessResult tsv = Run({(work_ / "site").string()});
  EXPECT_EQ(tsv.status, 0);
  EXPECT_EQ(tsv.out, "No items found\n");
  EXPECT_EQ(tsv.err, "morvex-scan: no collisions in 1 page scanned\n");
  const ProcessResult json = Run({"--format=json", (work_ / "site").string()});
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(json.out, "[]\n");
}

TEST_F(MorvexScanTest, MissingFolderFileAsFolderAndBrokenProjectListExitTwo) {
  const ProcessResult missing = Run({(work_ / "absent").string()});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, "morvex-scan: Cannot open project list: " + (work_ / "absent" / "master.dbf").string() + "\n");

  std::ofstream(work_ / "file") << "x";
  EXPECT_EQ(Run({(work_ / "file").string()}).status, 2);

  // A list without the Name and Path columns cannot be walked.
  doubles::DbfWriter({{"Other", 10}}).Add({"x"}).WriteTo(work_ / "odd" / "master.dbf");
  const ProcessResult odd = Run({(work_ / "odd").string()});
  EXPECT_EQ(odd.status, 2);
  EXPECT_EQ(odd.out, "");
  // The unexpected-error form: description, one blank, the number.
  EXPECT_TRUE(odd.err.ends_with(" 9\n")) << odd.err;
  EXPECT_EQ(odd.err.find('\n'), odd.err.size() - 1);
}

TEST_F(MorvexScanTest, EmptyProjectListIsASiteWithoutProjects) {
  doubles::ProjectListWriter().WriteTo(work_ / "empty" / "master.dbf");
  const ProcessResult empty = Run({(work_ / "empty").string()});
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "No items found\n");
  EXPECT_EQ(empty.err, "morvex-scan: no collisions in 0 pages scanned\n");
}

TEST_F(MorvexScanTest, ReportThatCannotBeWrittenIsNotASuccess) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  const ProcessResult result = Run({ExampleSite()}, {}, "/dev/full");
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("cannot write the report"), std::string::npos) << result.err;
}

TEST_F(MorvexScanTest, ClosedOutputPipeEndsQuietlyWithTwo) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);  // the reader is gone before the report is written, as after `| head -1`
  const ProcessResult result = Run({ExampleSite()}, {}, {}, fds[1]);
  close(fds[1]);
  EXPECT_EQ(result.status, 2);
  // The first findings found nobody to read them, which ended the scan: nothing about the write, no summary.
  EXPECT_EQ(result.err.find("cannot write"), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("could not be opened"), std::string::npos) << result.err;
}

// A site of one project, one page, one Tarvo object with the given properties (JSON text of the array).
void WriteOnePageSite(const fs::path& site, const std::string& properties) {
  doubles::ProjectListWriter().Add({"P", "p"}).WriteTo(site / "master.dbf");
  doubles::PageListWriter().Add({"pg"}).WriteTo(site / "p" / "pages.dbf");
  std::ofstream(site / "p" / "pg.json")
      << R"({"objects": [{"type": "Tarvo", "an": 4, "tarvo": {"project": "i", "library": "l", "name": "n"},)"
      << R"( "properties": )" << properties << "}]}";
}

TEST_F(MorvexScanTest, ValueWithTabsLineEndsAndBackslashesIsEscapedInTsvAndExactInJson) {
  // The value tries to append a finding row of its own.
  WriteOnePageSite(work_ / "site",
                   R"([{"name": "TEXT", "value": "a\tb\nP\tpg\t9\ti\tl\tn\tFONT\t'x'\r\\z"}])");
  const ProcessResult tsv = Run({(work_ / "site").string()});
  EXPECT_EQ(tsv.status, 1);
  EXPECT_EQ(tsv.out,
            "Pg Proj\tPage\tAN\tLib Proj\tLibrary\tObject\tPropertyname\tPropertyValue\n"
            "P\tpg\t4\ti\tl\tn\tTEXT\t'a\\tb\\nP\\tpg\\t9\\ti\\tl\\tn\\tFONT\\t'x'\\r\\\\z'\n");

  const ProcessResult json = Run({"--format", "json", (work_ / "site").string()});
  EXPECT_EQ(json.status, 1);
  simdjson::dom::parser parser;
  simdjson::dom::element document;
  ASSERT_EQ(parser.parse(json.out).get(document), simdjson::SUCCESS) << json.out;
  simdjson::dom::array findings;
  ASSERT_EQ(document.get_array().get(findings), simdjson::SUCCESS);
  ASSERT_EQ(findings.size(), 1u);
  std::string_view value;
  ASSERT_EQ(findings.at(0)["PropertyValue"].get_string().get(value), simdjson::SUCCESS);
  EXPECT_EQ(value, "a\tb\nP\tpg\t9\ti\tl\tn\tFONT\t'x'\r\\z");
}

std::string ParserMessageFor(const std::string& text) {
  simdjson::dom::parser parser;
  return simdjson::error_message(parser.parse(text).error());
}

// A project "P" whose pages are the given files (name to content; no content: no file).
void WritePagesSite(const fs::path& site, const std::vector<std::pair<std::string, std::optional<std::string>>>& pages) {
  doubles::ProjectListWriter().Add({"P", "p"}).WriteTo(site / "master.dbf");
  fs::create_directories(site / "p");
  doubles::DbfWriter list = doubles::PageListWriter();
  for (const auto& [name, content] : pages) {
    list.Add({name});
    if (content) std::ofstream(site / "p" / (name + ".json"), std::ios::binary) << *content;
  }
  list.WriteTo(site / "p" / "pages.dbf");
}

std::string TarvoPage(int an, const std::string& property) {
  return R"({"objects": [{"type": "Tarvo", "an": )" + std::to_string(an) +
         R"(, "tarvo": {"project": "i", "library": "l", "name": "n"}, "properties": [{"name": ")" + property +
         R"(", "value": "v"}]}]})";
}

TEST_F(MorvexScanTest, PagesThatDidNotOpenAreCountedNamedWithTheirReasonAndNoneOpenedIsNoScan) {
  const fs::path site = work_ / "site";
  WritePagesSite(site, {{"good", TarvoPage(1, "TEXT")}, {"gone", std::nullopt}, {"broken", "{\"objects\": [}"},
                        {"shape", "[]"}, {"dir", std::nullopt}, {"../x", std::nullopt}});
  fs::create_directories(site / "p" / "dir.json");
  const ProcessResult some = Run({"--list-unopened", site.string()});
  EXPECT_EQ(some.status, 1);
  EXPECT_EQ(some.err,
            "morvex-scan: not opened: P\tgone\tmissing\n"
            "morvex-scan: not opened: P\tbroken\tnot valid JSON: at byte 13: " + ParserMessageFor("{\"objects\": [}") + "\n"
            "morvex-scan: not opened: P\tshape\tnot a page: the top level is not an object\n"
            "morvex-scan: not opened: P\tdir\tnot an ordinary file\n"
            "morvex-scan: not opened: P\t../x\ta name outside its project folder\n"
            "morvex-scan: 5 of 6 pages could not be opened: 1 missing, 1 not an ordinary file, 1 not valid JSON, "
            "1 not a page, 1 a name outside its project folder\n"
            "morvex-scan: 1 collision on 1 of 1 page scanned\n");

  fs::remove(site / "p" / "good.json");
  const ProcessResult none = Run({site.string()});
  EXPECT_EQ(none.status, 2);  // listed pages, not one opened: the scan did not happen
  EXPECT_EQ(none.out, "No items found\n");
  EXPECT_NE(none.err.find("6 of 6 pages could not be opened: 2 missing"), std::string::npos) << none.err;
  EXPECT_NE(none.err.find("; --list-unopened names them\n"), std::string::npos) << none.err;

  const ProcessResult json = Run({"--format", "json-v2", site.string()});
  simdjson::dom::parser parser;
  simdjson::dom::element document;
  ASSERT_EQ(parser.parse(json.out).get(document), simdjson::SUCCESS) << json.out;
  EXPECT_EQ(document["findings"].get_array().size(), 0u);
  ASSERT_EQ(document["unopened"].get_array().size(), 6u);
  EXPECT_EQ(std::string_view(document["unopened"].at(1)["reason"]), "missing");
}

TEST_F(MorvexScanTest, PageListsThatDidNotOpenAreToldTheRunGoesOnAndNoneOpenedIsNoScan) {
  const fs::path site = work_ / "site";
  doubles::ProjectListWriter().Add({"Q", "q"}).Add({"R", "r"}).Add({"S", ""}).Add({"L", "l"}).Add({"M", "m"}).WriteTo(
      site / "master.dbf");
  doubles::PageListWriter().Add({"a"}).WriteTo(site / "q" / "pages.dbf");
  std::ofstream(site / "q" / "a.json") << TarvoPage(1, "TEXT");
  fs::create_directories(site / "r");
  doubles::PageListWriter().Add({"b"}).WriteTo(site / "l" / "pages.dbf");
  fs::permissions(site / "l" / "pages.dbf", fs::perms::none);  // as a list held open by its editor would be
  doubles::PageListWriter().Add({"c"}).WriteTo(site / "m" / "pages.dbf");
  fs::permissions(site / "m", fs::perms::none);  // the list is there, behind a folder that refuses us
  if (!RunUnprivileged()) GTEST_SKIP() << "cannot run without privileges here";

  const ProcessResult some = Run({"--list-unopened", "--format", "json-v2", site.string()});
  EXPECT_EQ(some.status, 1);  // the one locked list costs its own project, not the run
  const std::string locked = (site / "l" / "pages.dbf").string();
  EXPECT_NE(some.err.find("morvex-scan: Cannot open page list: " + locked + " unreadable: Permission denied\n"),
            std::string::npos) << some.err;
  EXPECT_NE(some.err.find("morvex-scan: page list not opened: S\t\tno project folder"), std::string::npos) << some.err;
  EXPECT_TRUE(some.err.ends_with("morvex-scan: 4 of 5 page lists could not be opened: 1 missing, 2 unreadable, "
                                 "1 no project folder\n"
                                 "morvex-scan: 1 collision on 1 of 1 page scanned\n")) << some.err;
  // Without a folder nothing is joined to it: no file at the root is read in its place.
  EXPECT_NE(some.err.find("morvex-scan: Cannot open page list: pages.dbf of project S no project folder"), std::string::npos);
  simdjson::dom::parser parser;
  simdjson::dom::element document;
  ASSERT_EQ(parser.parse(some.out).get(document), simdjson::SUCCESS) << some.out;
  EXPECT_EQ(document["findings"].get_array().size(), 1u);
  EXPECT_TRUE(bool(document["complete"]));
  const std::vector<std::pair<std::string, std::string>> lists = {
      {(site / "r" / "pages.dbf").string(), "missing"}, {"", "no-project-folder"}, {locked, "unreadable"},
      {(site / "m" / "pages.dbf").string(), "unreadable"}};
  ASSERT_EQ(document["unopened"].get_array().size(), lists.size());
  for (size_t i = 0; i < lists.size(); ++i) {
    EXPECT_EQ(std::string_view(document["unopened"].at(i)["pageList"]), lists[i].first);
    EXPECT_EQ(std::string_view(document["unopened"].at(i)["reason"]), lists[i].second);
  }

  fs::remove(site / "q" / "pages.dbf");
  for (const std::string& format : {"tsv"s, "sarif"s}) {
    const ProcessResult none = Run({"--format", format, site.string()});
    EXPECT_EQ(none.status, 2) << format;
    EXPECT_NE(none.err.find("morvex-scan: No page was scanned: 5 of 5 page lists could not be opened"),
              std::string::npos) << none.err;
    if (format == "tsv") {
      EXPECT_EQ(none.out, "No items found\n");
    }
    if (format != "sarif") continue;
    ASSERT_EQ(parser.parse(none.out).get(document), simdjson::SUCCESS) << none.out;
    simdjson::dom::element invocation = document["runs"].at(0)["invocations"].at(0);
    EXPECT_FALSE(bool(invocation["executionSuccessful"]));
    EXPECT_EQ(invocation["toolExecutionNotifications"].get_array().size(), 5u);
  }
}

TEST_F(MorvexScanTest, DamagedProjectListIsNamedWithWhatIsWrong) {
  const std::string master = ReadFile(fs::path(ExampleSite()) / "master.dbf");
  const struct {
    size_t keep;
    std::string damage;
    std::string error;  // the line that ends the run, if one does
  } cases[] = {
      {200, "is damaged: its header counts ", ""},
      {50, "is damaged: it ends inside its header, after 50 bytes", "is damaged and has no field \"Path\" 9\n"},
      {0, "is damaged: it is empty (0 bytes)", "is damaged and has no fields to look \"Name\" up in 9\n"},
  };
  for (const auto& c : cases) {
    const fs::path site = work_ / std::to_string(c.keep);
    fs::create_directories(site);
    std::ofstream(site / "master.dbf", std::ios::binary) << master.substr(0, c.keep);
    const ProcessResult result = Run({site.string()});
    EXPECT_EQ(result.status, 2) << c.keep;
    const std::string named = "morvex-scan: " + (site / "master.dbf").string() + " " + c.damage;
    EXPECT_TRUE(result.err.starts_with(named)) << result.err;
    EXPECT_EQ(result.err.find(named, 1), std::string::npos) << "told twice: " << result.err;
    EXPECT_TRUE(c.error.empty() || result.err.ends_with(c.error)) << result.err;
    // Cells past the end read as NULs: shown escaped, and a project without a folder is named.
    EXPECT_EQ(result.err.find('\0'), std::string::npos) << result.err;
    if (c.keep == 200) {
      EXPECT_NE(result.err.find("Cannot open page list: pages.dbf of project W\xC3\xA4rme\\0"), std::string::npos)
          << result.err;
    }
  }
}

TEST_F(MorvexScanTest, FindingsGoOutAsTheyAreFoundAndAReaderThatStopsStopsTheScan) {
  const fs::path site = BigSite(100);
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);  // the reader's end must not stay open in the child
  bool runningAfterFirstLine = false;
  const ProcessResult result = Run({site.string()}, [&](pid_t child) {
    close(fds[1]);
    std::string first;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') first += c;
    EXPECT_EQ(first, "Pg Proj\tPage\tAN\tLib Proj\tLibrary\tObject\tPropertyname\tPropertyValue");
    int status = 0;
    runningAfterFirstLine = waitpid(child, &status, WNOHANG) == 0;
    close(fds[0]);  // as `| head -1` does
  }, {}, fds[1]);
  EXPECT_TRUE(runningAfterFirstLine) << "the first line came only with the end of the scan";
  if (runningAfterFirstLine) {
    EXPECT_EQ(result.status, 2);
  }
}

TEST_F(MorvexScanTest, ABaselineReportsOnlyWhatIsNewAndListsWhatWasFixed) {
  const fs::path site = work_ / "site";
  const std::string baseline = (work_ / "baseline.json").string();
  WritePagesSite(site, {{"a", TarvoPage(1, "TEXT")}, {"b", TarvoPage(2, "FONT")}});
  // The findings are the baseline now.
  EXPECT_EQ(Run({"--write-baseline", baseline, site.string()}).status, 0);
  const ProcessResult same = Run({"--baseline", baseline, site.string()});
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out, "No items found\n");

  // One finding more, on a page whose other finding moved to another AN (not new), and one finding gone.
  WritePagesSite(site, {{"a", TarvoPage(7, "TEXT")}, {"c", TarvoPage(3, "TEXT")}});
  const ProcessResult changed = Run({"--baseline", baseline, site.string()});
  EXPECT_EQ(changed.status, 1);
  EXPECT_EQ(changed.out, "Pg Proj\tPage\tAN\tLib Proj\tLibrary\tObject\tPropertyname\tPropertyValue\n"
                         "P\tc\t3\ti\tl\tn\tTEXT\t'v'\n");
  EXPECT_EQ(changed.err, "morvex-scan: fixed since the baseline: \"P\" \"b\" \"i\" \"l\" \"n\" \"FONT\" (1 then, 0 now)\n"
                         "morvex-scan: 1 collision beyond the baseline on 1 of 2 pages scanned\n");

  EXPECT_EQ(Run({"--unique", "--baseline", baseline, site.string()}).status, 2);  // a show-all baseline
  for (const std::string& damaged : {std::string("{\"morvexBaseline\": 1, \"report\": \"show-all\", \"findings\": ["),
                                     std::string("{\"version\": \"2.1.0\"}"),
                                     std::string("{\"morvexBaseline\": 1, \"report\": \"show-all\", \"findings\": "
                                                 "[{\"fingerprint\": \"0000000000000000\", \"count\": 1, "
                                                 "\"fields\": [\"P\", \"a\", \"i\", \"l\", \"n\", \"TEXT\"]}]}")}) {
    std::ofstream(baseline, std::ios::trunc) << damaged;
    const ProcessResult result = Run({"--baseline", baseline, site.string()});
    EXPECT_EQ(result.status, 2) << damaged;
    EXPECT_EQ(result.out, "") << damaged;
    EXPECT_TRUE(result.err.starts_with("morvex-scan: baseline ")) << result.err;
  }
}

TEST_F(MorvexScanTest, WrittenBaselineGoesThroughLinksAndKeepsTheModeOfTheFileItReplaces) {
  const fs::path site = work_ / "site";
  WritePagesSite(site, {{"a", TarvoPage(1, "TEXT")}});
  const fs::path fresh = work_ / "fresh.json";
  ASSERT_EQ(Run({"--write-baseline", fresh.string(), site.string()}).status, 0);
  const std::string expected = ReadFile(fresh);
  ASSERT_NE(expected.find("\"TEXT\""), std::string::npos) << expected;

  struct Case {
    std::string name;
    fs::perms mode;
    bool throughLink;
  };
  const Case cases[] = {
      {"read-only", fs::perms(0444), false},
      {"private", fs::perms(0600), false},
      {"executable", fs::perms(0755), false},
      {"linked", fs::perms(0640), true},
  };
  fs::create_directories(work_ / "files");
  fs::create_directories(work_ / "links");
  for (const Case& c : cases) {
    const fs::path file = work_ / "files" / (c.name + ".json");
    std::ofstream(file) << "old";
    fs::permissions(file, c.mode, fs::perm_options::replace);
    const fs::path named = c.throughLink ? work_ / "links" / c.name : file;
    if (c.throughLink) fs::create_symlink(file, named);
    const ProcessResult result = Run({"--write-baseline", named.string(), site.string()});
    EXPECT_EQ(result.status, 0) << c.name << ": " << result.err;
    EXPECT_EQ(ReadFile(file), expected) << c.name;
    EXPECT_EQ(fs::status(file).permissions(), c.mode) << c.name;
    if (c.throughLink) {
      EXPECT_TRUE(fs::is_symlink(named)) << c.name;
      EXPECT_EQ(fs::read_symlink(named), file) << c.name;
    }
  }
  // Nothing left beside them, and a scratch name someone else holds is passed over, not taken.
  EXPECT_EQ(std::distance(fs::directory_iterator(work_ / "files"), fs::directory_iterator()), 4);
  std::ofstream(work_ / "taken.json.partial") << "someone's";
  EXPECT_EQ(Run({"--write-baseline", (work_ / "taken.json").string(), site.string()}).status, 0);
  EXPECT_EQ(ReadFile(work_ / "taken.json"), expected);
  EXPECT_EQ(ReadFile(work_ / "taken.json.partial"), "someone's");
}

TEST_F(MorvexScanTest, ReportAndBaselineTargetsThatCannotTakeAFileAreRefusedBeforeTheScan) {
  const fs::path site = work_ / "site";
  WritePagesSite(site, {{"a", TarvoPage(1, "TEXT")}});
  fs::create_directories(work_ / "folder");
  fs::create_symlink(work_ / "gone", work_ / "dangling");
  const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (work_ / "socket").string();
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
  ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::vector<std::pair<fs::path, std::string>> cases = {
      {work_ / "folder", "a folder, not a file"},
      {work_ / "absent" / "x.json", "its folder does not exist"},
      {work_ / "dangling", "a link to a file that does not exist"},
      {work_ / "socket", "a socket, not an ordinary file"},
  };
  for (const auto& [option, what] : {std::pair{"-o"s, "the report to "s}, {"--write-baseline"s, "the baseline "s}}) {
    for (const auto& [target, reason] : cases) {
      const ProcessResult result = Run({option, target.string(), site.string()});
      EXPECT_EQ(result.status, 2) << target;
      EXPECT_EQ(result.out, "") << target;  // no report: the scan never started
      EXPECT_EQ(result.err, "morvex-scan: cannot write " + what + target.string() + ": " + reason + "\n");
    }
  }
  close(listening);
  EXPECT_TRUE(fs::is_empty(work_ / "folder"));
  EXPECT_TRUE(fs::is_symlink(work_ / "dangling"));
  EXPECT_FALSE(fs::exists(work_ / "gone"));
  EXPECT_FALSE(fs::exists(work_ / "absent"));

  // A scan that opened no page writes no baseline and keeps the status it has without the option.
  WritePagesSite(site, {{"gone", std::nullopt}});
  const ProcessResult none = Run({"--write-baseline", (work_ / "none.json").string(), site.string()});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("not written: the scan did not finish"), std::string::npos) << none.err;
  EXPECT_FALSE(fs::exists(work_ / "none.json"));
}

TEST_F(MorvexScanTest, TargetsInAFolderThatTakesNoNewFileAreRefusedBeforeTheScanAndLeftAsTheyWere) {
  if (!RunUnprivileged()) GTEST_SKIP() << "cannot run without privileges here";  // root writes anywhere
  const fs::path site = work_ / "site";
  WritePagesSite(site, {{"a", TarvoPage(1, "TEXT")}});
  const fs::path locked = work_ / "locked";
  fs::create_directories(locked);
  for (const auto& [option, what] : {std::pair{"-o"s, "the report to "s}, {"--write-baseline"s, "the baseline "s}}) {
    for (const std::string name : {"new.json", "old.json"}) {
      std::ofstream(locked / "old.json") << "old";
      fs::permissions(locked / "old.json", fs::perms(0666), fs::perm_options::replace);
      fs::permissions(locked, fs::perms(0555), fs::perm_options::replace);
      const ProcessResult result = Run({option, (locked / name).string(), site.string()});
      fs::permissions(locked, fs::perms(0755), fs::perm_options::replace);
      EXPECT_EQ(result.status, 2);
      EXPECT_EQ(result.out, "");  // refused before the scan: no report, no counts
      EXPECT_EQ(result.err, "morvex-scan: cannot write " + what + (locked / name).string() + ": Permission denied\n");
      EXPECT_EQ(ReadFile(locked / "old.json"), "old");
      EXPECT_FALSE(fs::exists(locked / "new.json"));
    }
  }
}

// Writing into a stream is what the user asked: it is never created, renamed over or removed, and a write
// that fails there is not a success.
TEST_F(MorvexScanTest, ReportAndBaselineGoIntoPipesAndDevicesAsTheyAre) {
  const fs::path site = work_ / "site";
  WritePagesSite(site, {{"a", TarvoPage(1, "TEXT")}});
  const std::string report = Run({site.string()}).out;
  ASSERT_NE(report.find("TEXT"), std::string::npos);
  const std::string counts = "morvex-scan: 1 collision on 1 of 1 page scanned\n";
  const struct {
    std::vector<std::string> options;
    int status;
    std::string err;
  } devices[] = {
      {{"-o", "/dev/null"}, 1, counts},
      {{"-o", "/dev/full"}, 2, "morvex-scan: cannot write the report to /dev/full: No space left on device\n"},
      {{"--write-baseline", "/dev/full"}, 2,
       "morvex-scan: cannot write the baseline /dev/full: No space left on device\n" + counts},
  };
  for (const auto& c : devices) {
    std::vector<std::string> arguments = c.options;
    arguments.push_back(site.string());
    const ProcessResult result = Run(arguments);
    EXPECT_EQ(result.status, c.status) << c.options[1];
    EXPECT_EQ(result.err, c.err);
  }

  // A FIFO, a pipe named through /dev/fd as a shell's >(...) names it, and /dev/stdout on a pipe.
  ASSERT_EQ(mkfifo((work_ / "fifo").c_str(), 0600), 0);
  const auto readAll = [](int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(got));
    close(fd);
    return text;
  };
  std::string fromFifo;
  std::thread reader([&] { fromFifo = readAll(open((work_ / "fifo").c_str(), O_RDONLY)); });
  EXPECT_EQ(Run({"-q", "-o", (work_ / "fifo").string(), site.string()}).status, 1);
  reader.join();
  EXPECT_EQ(fromFifo, report);
  EXPECT_TRUE(fs::is_fifo(work_ / "fifo"));

  for (const bool bDevStdout : {false, true}) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);  // the write end is inherited, as a shell's process substitution is
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    const std::string named = bDevStdout ? "/dev/stdout"s : "/dev/fd/" + std::to_string(fds[1]);
    std::string piped;
    const ProcessResult result = Run({"-q", "-o", named, site.string()}, [&](pid_t) {
      close(fds[1]);
      piped = readAll(fds[0]);
    }, {}, bDevStdout ? fds[1] : -1);
    EXPECT_EQ(result.status, 1) << named << result.err;
    EXPECT_EQ(piped, report) << named;
  }
}

// A project "P" whose page "a%b:c,d" holds two alike findings whose Tarvo's name holds GitHub's separators and
// line ends, and whose page "gone" has no file; and a project "R" without a page list.
void WritePipelineSite(const fs::path& site) {
  const auto tarvo = [](const std::string& an) {
    return R"({"type": "Tarvo", "an": )" + an +
           R"(, "tarvo": {"project": "i", "library": "l", "name": "n%:,\r\nx"}, "properties": [{"name": "TEXT", "value": "v"}]})";
  };
  WritePagesSite(site, {{"a%b:c,d", R"({"objects": [)" + tarvo("4") + ", " + tarvo("5") + "]}"}, {"gone", std::nullopt}});
  doubles::ProjectListWriter().Add({"P", "p"}).Add({"R", "r"}).WriteTo(site / "master.dbf");
}

TEST_F(MorvexScanTest, GithubAnnotationsPointAtThePageFileAndEscapeWhatGithubReads) {
  const fs::path site = work_ / "site";
  WritePipelineSite(site);
  const std::string message =
      "Tarvo \"n%25:,%0D%0Ax\" of library \"l\" in project \"i\" has a property named \"TEXT\", a reserved property name.\n";
  const std::string unopened =
      "::warning file=p/gone.json,line=1,title=Page not opened::Page \"gone\" of project \"P\" could not be opened: "
      "missing.\n"
      "::error file=r/pages.dbf,line=1,title=Page list not opened::The page list of project \"R\" could not be "
      "opened, so none of its pages were scanned: missing.\n";
  const struct {
    std::vector<std::string> options;
    std::string expected;
  } cases[] = {
      {{},
       "::warning file=p/a%25b%3Ac%2Cd.json,line=1,title=Reserved property name TEXT::Object 4: " + message +
           "::warning file=p/a%25b%3Ac%2Cd.json,line=1,title=Reserved property name TEXT::Object 5: " + message +
           unopened},
      // A --unique finding has no page: the annotation has no file.
      {{"--unique"}, "::warning title=Reserved property name TEXT::" + message + unopened},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = {"--format", "github", site.string()};
    arguments.insert(arguments.begin(), c.options.begin(), c.options.end());
    const ProcessResult result = Run(arguments);
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_EQ(result.out, c.expected);
  }
}

// A repository holding a site whose page list spells a page otherwise than its file, a project kept outside
// the repository, and a second way into the repository through a link.
TEST_F(MorvexScanTest, PageFilesAreNamedAsOnDiskFromOneRootJudgedWithLinksResolved) {
  const fs::path repo = work_ / "repo", site = repo / "sites" / "my site", elsewhere = work_ / "elsewhere";
  doubles::ProjectListWriter()
      .Add({"A", "Plant_A"})
      .Add({"Q", elsewhere.string()})
      .Add({"L", "Plant_L"})  // no page list
      .WriteTo(site / "master.dbf");
  for (const fs::path& folder : {site / "Plant_A", elsewhere}) {
    fs::create_directories(folder);
    doubles::PageListWriter().Add({"Valves"}).WriteTo(folder / "pages.dbf");
  }
  std::ofstream(site / "Plant_A" / "VALVES.JSON") << TarvoPage(1, "TEXT");
  std::ofstream(elsewhere / "Valves.json") << TarvoPage(2, "TEXT");
  fs::create_directory_symlink(repo, work_ / "repolink");
  fs::create_directories(work_ / "away");
  const std::string outside = "file=" + elsewhere.string() + "/Valves.json";
  const struct {
    fs::path cwd;
    std::vector<std::string> arguments;
    std::string file;  // the first annotation's
  } cases[] = {
      {repo,
       {"sites/my site"},
       "file=sites/my site/Plant_A/VALVES.JSON"},                     // the current folder holds the site
      {work_ / "away", {site.string()}, "file=Plant_A/VALVES.JSON"},  // it does not: the site folder
      {site, {"."}, "file=Plant_A/VALVES.JSON"},                      // it is the site folder
      {work_, {"--root", "repolink", site.string()}, "file=sites/my site/Plant_A/VALVES.JSON"},
      {work_, {"--root", repo.string(), "repolink/sites/my site"}, "file=sites/my site/Plant_A/VALVES.JSON"},
  };
  for (const auto& c : cases) {
    cwd_ = c.cwd;
    std::vector<std::string> arguments = {"--format", "github"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const ProcessResult result = Run(arguments);
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_TRUE(result.out.starts_with("::warning " + c.file + ",line=1,")) << result.out;
    EXPECT_NE(result.out.find(outside + ",line=1,"), std::string::npos) << result.out;
    EXPECT_NE(result.err.find("1 finding lies in page files outside the root"), std::string::npos)
        << result.err;
  }
  cwd_ = work_;
  // SARIF: relative to the root as given, through its link; gitlab leaves out what it cannot point at.
  const ProcessResult sarif = Run({"--format", "sarif", "--sarif-root", "repolink", site.string()});
  EXPECT_NE(sarif.out.find(R"({"uri": "sites/my%20site/Plant_A/VALVES.JSON", "uriBaseId": "ROOT"})"),
            std::string::npos);
  EXPECT_NE(sarif.out.find("\"uri\": \"file://" + (work_ / "repolink").string() + "/\""), std::string::npos);
  EXPECT_NE(sarif.out.find(R"({"uri": "sites/my%20site/Plant_L/pages.dbf", "uriBaseId": "ROOT"})"),
            std::string::npos);
  cwd_ = repo;
  const ProcessResult gitlab = Run({"--format", "gitlab", "sites/my site"});
  EXPECT_NE(gitlab.out.find(R"("path": "sites/my site/Plant_A/VALVES.JSON")"), std::string::npos);
  EXPECT_EQ(gitlab.out.find("elsewhere"), std::string::npos) << gitlab.out;
  EXPECT_NE(gitlab.err.find("1 finding lies in page files outside the root " + repo.string() +
                            ", and GitLab takes no path outside the repository: left out"),
            std::string::npos)
      << gitlab.err;
  EXPECT_EQ(Run({"--format", "json", "--root", repo.string(), site.string()}).status, 2);
}

TEST_F(MorvexScanTest, GitlabCodeQualityHasTheDocumentedShapeAndAFingerprintPerFinding) {
  const fs::path site = work_ / "site";
  WritePipelineSite(site);
  const struct {
    std::vector<std::string> options;
    std::string path;
  } cases[] = {{{}, "p/a%b:c,d.json"}, {{"--unique"}, "master.dbf"}};
  for (const auto& c : cases) {
    std::vector<std::string> arguments = {"--format", "gitlab", site.string()};
    arguments.insert(arguments.begin(), c.options.begin(), c.options.end());
    const ProcessResult result = Run(arguments);
    EXPECT_EQ(result.status, 1) << result.err;
    simdjson::dom::parser parser;
    simdjson::dom::element document;
    ASSERT_EQ(parser.parse(result.out).get(document), simdjson::SUCCESS) << result.out;
    simdjson::dom::array issues;
    ASSERT_EQ(document.get_array().get(issues), simdjson::SUCCESS);
    std::vector<std::string> fingerprints;
    for (simdjson::dom::element issue : issues) {
      std::string_view description, fingerprint;
      ASSERT_EQ(issue["description"].get_string().get(description), simdjson::SUCCESS);
      EXPECT_NE(description.find("n%:,\r\nx"), std::string_view::npos) << description;
      EXPECT_EQ(std::string_view(issue["check_name"]), "reserved-property-name/TEXT");
      EXPECT_EQ(std::string_view(issue["severity"]), "major");
      EXPECT_EQ(std::string_view(issue["location"]["path"]), c.path);
      EXPECT_EQ(int64_t(issue["location"]["lines"]["begin"]), 1);
      ASSERT_EQ(issue["fingerprint"].get_string().get(fingerprint), simdjson::SUCCESS);
      fingerprints.emplace_back(fingerprint);
    }
    // The two alike findings of show-all differ only by their AN: the same fingerprint, told apart by order.
    if (c.options.empty()) {
      ASSERT_EQ(fingerprints.size(), 2u);
      EXPECT_EQ(fingerprints[0].substr(0, 17), fingerprints[1].substr(0, 17));
      EXPECT_TRUE(fingerprints[0].ends_with("-1") && fingerprints[1].ends_with("-2")) << fingerprints[0];
    } else {
      EXPECT_EQ(fingerprints.size(), 1u);
    }
  }
  const ProcessResult clean = Run({"--format", "gitlab", ExampleSite() + "/none"});
  EXPECT_EQ(clean.out, "");  // no project list, no report
}

TEST_F(MorvexScanTest, OutputFileIsReplacedWholeAndARunWithoutAReportLeavesItAsItWas) {
  const fs::path site = work_ / "site";
  WritePagesSite(site, {{"a", TarvoPage(1, "TEXT")}});
  const std::string expected = Run({"--format", "json", site.string()}).out;
  ASSERT_NE(expected.find("TEXT"), std::string::npos);

  const fs::path file = work_ / "report.json";
  std::ofstream(file) << "old";
  fs::permissions(file, fs::perms(0640), fs::perm_options::replace);
  const ProcessResult written = Run({"--format", "json", "-o", file.string(), site.string()});
  EXPECT_EQ(written.status, 1) << written.err;
  EXPECT_EQ(written.out, "");
  EXPECT_EQ(ReadFile(file), expected);
  EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));

  // A run that has no report leaves the file as it was.
  const ProcessResult missing = Run({"-o", file.string(), (work_ / "absent").string()});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(ReadFile(file), expected);
  EXPECT_NE(missing.err.find("report " + file.string() + " not written: the scan did not finish"),
            std::string::npos) << missing.err;
}

TEST_F(MorvexScanTest, CountsLineEndsStderrAndQuietKeepsOnlyTheErrors) {
  const fs::path site = work_ / "site";
  WritePagesSite(site, {{"a", TarvoPage(1, "TEXT")}, {"b", TarvoPage(2, "FONT")}, {"c", TarvoPage(3, "Near")},
                        {"gone", std::nullopt}});
  const std::string baseline = (work_ / "baseline.json").string();
  std::ofstream(baseline) << "{\"morvexBaseline\": 1, \"report\": \"show-all\", \"findings\": []}";
  const std::string unopened =
      "morvex-scan: 1 of 4 pages could not be opened: 1 missing; --list-unopened names them\n";
  const struct {
    std::vector<std::string> options;
    std::string err;
  } cases[] = {
      {{}, unopened + "morvex-scan: 2 collisions on 2 of 3 pages scanned\n"},
      {{"--unique"}, unopened + "morvex-scan: 2 collisions in 3 pages scanned\n"},
      {{"--baseline", baseline}, unopened + "morvex-scan: 2 collisions beyond the baseline on 2 of 3 pages scanned\n"},
      {{"-q"}, ""},
      {{"--quiet", "--list-unopened"}, "morvex-scan: not opened: P\tgone\tmissing\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = c.options;
    arguments.push_back(site.string());
    const ProcessResult result = Run(arguments);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, c.err);
  }
  // Errors stay told when quiet, and a run without a report has no counts.
  const ProcessResult missing = Run({"-q", (work_ / "absent").string()});
  EXPECT_EQ(missing.err, "morvex-scan: Cannot open project list: " + (work_ / "absent" / "master.dbf").string() + "\n");
}

TEST_F(MorvexScanTest, MessageHoldingControlCharactersShowsThemEscapedOnItsOwnLine) {
  const fs::path site = work_ / "site";
  doubles::ProjectListWriter().Add({"A", "a"s + '\0' + "b"}).Add({"C\x1B", "c"}).WriteTo(site / "master.dbf");
  const ProcessResult result = Run({"--list-unopened", site.string()});
  EXPECT_EQ(result.status, 2);  // no page list opened: nothing was scanned
  EXPECT_TRUE(result.err.starts_with(
      "morvex-scan: Cannot open page list: " + site.string() + "/a\\0b/pages.dbf unreadable: its Path in the "
      "project list holds a NUL byte\n" + "morvex-scan: Cannot open page list: " + site.string() + "/c/pages.dbf\n" +
      "morvex-scan: page list not opened: A\t" + site.string() + "/a\\0b/pages.dbf\tunreadable: its Path in the "
      "project list holds a NUL byte\n" + "morvex-scan: page list not opened: C\\x1B\t"))
      << result.err;
}

TEST_F(MorvexScanTest, WrongOptionsPrintOneLineWithAHintAndExitTwo) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--bogus", ExampleSite()}, {"--format", "xml", ExampleSite()},
        {"--show-all", "--unique", ExampleSite()}, {"--ignore-built-in", "--include-built-in", ExampleSite()},
        {"--jobs", "0", ExampleSite()}, {"-j", "65", ExampleSite()}, {"--jobs", "two", ExampleSite()}, {},
        {""}, {"-o", "", ExampleSite()}, {"--write-baseline", "", ExampleSite()}, {"--baseline", "", ExampleSite()},
        {"--export", "", ExampleSite()}}) {
    const ProcessResult result = Run(arguments);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(result.err.starts_with("morvex-scan: ")) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    EXPECT_NE(result.err.find("--help"), std::string::npos) << result.err;
  }
  EXPECT_NE(Run({"--bogus", ExampleSite()}).err.find("--bogus"), std::string::npos);
  EXPECT_NE(Run({"--format", "xml", ExampleSite()}).err.find("xml"), std::string::npos);
}

TEST_F(MorvexScanTest, EveryJobCountGivesTheSameOutputsStatusAndBaseline) {
  const fs::path site = BigSite(3);
  // A page listed without its file and one that is no JSON, among the pages that open.
  doubles::PageListWriter().Add({"Page_0001"}).Add({"gone"}).Add({"Page_0002"}).Add({"broken"}).WriteTo(
      site / "p0007" / "pages.dbf");
  std::ofstream(site / "p0007" / "broken.json") << "{";
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"--list-unopened"}, {"--unique", "--format", "json-v2"}, {"--format", "sarif"},
        {"--write-baseline"}}) {
    const auto run = [&](const std::string& jobs) {
      std::vector<std::string> arguments = options;
      if (options[0] == "--write-baseline") arguments.push_back((work_ / ("baseline" + jobs)).string());
      arguments.insert(arguments.end(), {"--jobs", jobs, site.string()});
      ProcessResult result = Run(arguments);
      if (options[0] == "--write-baseline") result.out = ReadFile(work_ / ("baseline" + jobs));
      return result;
    };
    const ProcessResult one = run("1");
    ASSERT_FALSE(one.out.empty()) << options[0];
    for (const std::string jobs : {"2", "3", "8"}) {
      const ProcessResult many = run(jobs);
      EXPECT_EQ(many.status, one.status) << options[0] << " " << jobs;
      EXPECT_EQ(many.out, one.out) << options[0] << " " << jobs;
      EXPECT_EQ(many.err, one.err) << options[0] << " " << jobs;
    }
  }
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> cells;
  std::istringstream fields(line);
  for (std::string cell; std::getline(fields, cell, '\t');) cells.push_back(cell);
  return cells;
}

// The counts of --statistics and --counts, against counts this test takes from the TSV report itself.
TEST_F(MorvexScanTest, StatisticsAndCountsAgreeWithTheReportOnRandomSites) {
  for (const uint64_t seed : {3u, 11u}) {
    SiteShape shape;
    shape.projects = 6;
    shape.pages = 8;
    shape.objects = 30;
    shape.seed = seed;
    shape.collisionsPerMille = 60;
    const fs::path site = work_ / ("site" + std::to_string(seed));
    GenerateSite(shape, site);
    struct Expected {
      int placements = 0;
      std::set<std::string> pages, projects;
    };
    std::map<std::string, Expected> byTemplate;
    std::map<std::string, std::pair<int, std::set<std::string>>> byName;  // placements, templates
    std::istringstream report(Run({site.string()}).out);
    std::string line;
    std::getline(report, line);  // the header
    int placements = 0;
    while (std::getline(report, line)) {
      const std::vector<std::string> cells = SplitTabs(line);
      ASSERT_EQ(cells.size(), 8u) << line;
      std::string key = cells[3] + '\t' + cells[4] + '\t' + cells[5] + '\t' + cells[6];
      std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::toupper(c); });
      Expected& entry = byTemplate[key];
      ++entry.placements;
      entry.pages.insert(cells[0] + '\t' + cells[1]);
      entry.projects.insert(cells[0]);
      std::string name = cells[6];
      std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
      ++byName[name].first;
      byName[name].second.insert(key);
      ++placements;
    }
    ASSERT_GT(placements, 20) << "a site with too few collisions to count";

    std::istringstream counted(Run({"--unique", "--counts", site.string()}).out);
    std::getline(counted, line);
    EXPECT_EQ(line, "Project\tLibrary\tObject\tPropertyname\tPlacements\tPages\tProjects");
    size_t lines = 0;
    while (std::getline(counted, line)) {
      const std::vector<std::string> cells = SplitTabs(line);
      ASSERT_EQ(cells.size(), 7u) << line;
      std::string key = cells[0] + '\t' + cells[1] + '\t' + cells[2] + '\t' + cells[3];
      std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::toupper(c); });
      const Expected& expected = byTemplate[key];
      EXPECT_EQ(cells[4] + " " + cells[5] + " " + cells[6],
                std::to_string(expected.placements) + " " + std::to_string(expected.pages.size()) + " " +
                    std::to_string(expected.projects.size())) << line;
      ++lines;
    }
    EXPECT_EQ(lines, byTemplate.size());

    std::istringstream statistics(Run({"--statistics", site.string()}).out);
    size_t names = 0;
    while (std::getline(statistics, line)) {
      std::istringstream fields(line);
      int shownPlacements = 0, shownTemplates = 0;
      std::string name;
      fields >> shownPlacements >> shownTemplates >> name;
      if (name == "total:") {
        EXPECT_EQ(shownPlacements, placements);
        EXPECT_EQ(shownTemplates, static_cast<int>(byTemplate.size()));
        continue;
      }
      ++names;
      EXPECT_EQ(shownPlacements, byName[name].first) << line;
      EXPECT_EQ(shownTemplates, static_cast<int>(byName[name].second.size())) << line;
    }
    EXPECT_EQ(names, byName.size());
  }
}

TEST_F(MorvexScanTest, PageServerByClassIdentifierSaysInOneLineThatItIsForWindowsAndExitsTwo) {
  for (const std::string& identifier : {std::string("Morvex.PageFiles"), std::string("{00000000-0000-0000-0000-000000000000}")}) {
    const ProcessResult result = Run({"--page-server", identifier, ExampleSite()});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "morvex-scan: page servers by class identifier (--page-server) are a Windows feature\n");
  }
  // Naming no server is our own, as without the option.
  EXPECT_EQ(Run({"--page-server", "", ExampleSite()}).out, Expected("example_site.tsv"));
}

TEST_F(MorvexScanTest, HelpDocumentsExitStatusAndVersionPrintsTheVersion) {
  const ProcessResult help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("130"), std::string::npos);
  EXPECT_NE(help.out.find("--include-built-in"), std::string::npos);
  const ProcessResult version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string(kVersionText) + "\n");
}

TEST_F(MorvexScanTest, InterruptCancelsAfterTheCurrentPageAndPrintsThePartialReport) {
  const fs::path site = BigSite(50);
  const ProcessResult full = Run({"--format", "json-v2", site.string()});
  ASSERT_EQ(full.status, 1);

  const auto interrupt = [](pid_t child) {
    // An interrupt that arrives before the handler is installed would just kill the process.
    for (int attempt = 0; attempt < 500 && !CatchesInterrupt(child); ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill(child, SIGINT);
  };
  const ProcessResult cancelled = Run({"--format", "json-v2", site.string()}, interrupt);
  if (cancelled.status == 1) GTEST_SKIP() << "the scan finished before the interrupt arrived";
  ASSERT_EQ(cancelled.status, 130) << cancelled.err;
  simdjson::dom::parser parser;
  simdjson::dom::element document;
  ASSERT_EQ(parser.parse(cancelled.out).get(document), simdjson::SUCCESS) << cancelled.out;
  EXPECT_LT(cancelled.out.size(), full.out.size());
  EXPECT_FALSE(bool(document["complete"]));
  EXPECT_NE(cancelled.err.find("morvex-scan: cancelled: the report is partial"), std::string::npos) << cancelled.err;
  // The partial findings are the start of the full ones.
  const std::string head = cancelled.out.substr(0, cancelled.out.find("\n],\n\"unopened\""));
  EXPECT_EQ(full.out.compare(0, head.size(), head), 0);

  // Part of a report in the place of the user's file would pass for all of it: the file stays as it was.
  const fs::path file = work_ / "report.json", baseline = work_ / "baseline.json";
  std::ofstream(file) << "old";
  std::ofstream(baseline) << "old";
  const ProcessResult toFile = Run({"-o", file.string(), "--write-baseline", baseline.string(), site.string()}, interrupt);
  if (toFile.status != 130) GTEST_SKIP() << "the scan finished before the interrupt arrived";
  EXPECT_EQ(ReadFile(file), "old");
  EXPECT_EQ(ReadFile(baseline), "old");
  EXPECT_NE(toFile.err.find("morvex-scan: report " + file.string() + " not written: the scan did not finish\n"),
            std::string::npos) << toFile.err;
  EXPECT_NE(toFile.err.find("morvex-scan: baseline " + baseline.string() + " not written"), std::string::npos);
  for (const fs::directory_entry& entry : fs::directory_iterator(work_)) {
    EXPECT_EQ(entry.path().string().find(".partial"), std::string::npos) << entry.path();
  }
}

// Every file below the folder with its bytes, by path relative to it.
std::vector<std::pair<std::string, std::string>> Contents(const fs::path& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    files.emplace_back(fs::relative(entry.path(), folder).string(), entry.is_regular_file() ? ReadFile(entry.path()) : "");
  }
  std::sort(files.begin(), files.end());
  return files;
}

// A site of awkward names and values: code-page bytes, quotes and blanks in names, two projects of one name in
// different case, objects without an AN or an identity, and a page that is missing.
fs::path WriteOddSite(const fs::path& site) {
  doubles::ProjectListWriter(30)
      .Add({"Kl\xE4ranlage", "kl"})
      .Add({"Old", "old"}, true)
      .Add({"Q\"uo te", "q"})
      .Add({"q\"UO TE", "q2"})
      .WriteTo(site / "master.dbf");
  const std::string tarvo =
      R"({"type": "Tarvo", "an": -7, "tarvo": {"project": "i\"nc", "library": "l\\b", "name": "\u00e9t\u00e9", "number": 4},
          "properties": [{"name": "TEXT", "value": "\"q\" \t \u0001 \u20ac"}, {"name": "FONT", "value": ""}]})";
  const std::string page = R"({"objects": [)" + tarvo + R"(, {"type": "Tarvo", "tarvo": {"project": "a", "library": "b", "name": "c"},
      "properties": [{"name": "Tag", "value": "x"}]}, {"an": 3}, {"type": "Tarvo", "an": 1, "properties": [{"name": "TEXT", "value": "x"}]}]})";
  doubles::PageListWriter().Add({"\xFC" "ber \"sicht\""}).Add({"gone"}).WriteTo(site / "kl" / "pages.dbf");
  std::ofstream(site / "kl" / "\xC3\xBC" "ber \"sicht\".json", std::ios::binary) << page;
  doubles::PageListWriter().Add({"p"}).WriteTo(site / "q" / "pages.dbf");
  doubles::PageListWriter().Add({"p"}).Add({"\x8E\xA0"}).WriteTo(site / "q2" / "pages.dbf");
  std::ofstream(site / "q" / "p.json", std::ios::binary) << page;
  std::ofstream(site / "q" / "\xC5\xBD\xC2\xA0.json", std::ios::binary) << page;
  fs::create_directories(site / "old");
  return site;
}

// The export's folder runs out of space part-way: every finding is still reported, but the run is not complete.
TEST_F(MorvexScanTest, AnExportThatRunsOutOfSpaceLosesItsCopyNotTheReportAndEndsWithTwo) {
  const fs::path site = BigSite(10);
  const fs::path small = work_ / "small";
  fs::create_directories(small);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
  struct Unmount {
    fs::path folder;
    ~Unmount() { umount(folder.c_str()); }  // before the test's folder is removed, whatever failed
  } unmount{small};
  const auto findingsOf = [](const std::string& out) { return out.substr(0, out.find("\n],\n\"unopened\"")); };
  const ProcessResult direct = Run({"--format", "json-v2", site.string()});
  ASSERT_EQ(direct.status, 1);
  for (const std::string format : {"json-v2", "sarif"}) {
    const fs::path out = small / "below" / "out";  // "below" is made too, as mkdir -p makes it
    const ProcessResult exported = Run({"--format", format, "--export", out.string(), site.string()});
    EXPECT_EQ(exported.status, 2) << format;
    EXPECT_NE(exported.err.find("morvex-scan: the export to " + out.string() +
                                " is incomplete: No space left on device; it holds the pages written before\n"),
              std::string::npos) << exported.err;
    simdjson::dom::parser parser;
    simdjson::dom::element document;
    ASSERT_EQ(parser.parse(exported.out).get(document), simdjson::SUCCESS) << format;
    if (format == "sarif") {
      EXPECT_FALSE(bool(document["runs"].at(0)["invocations"].at(0)["executionSuccessful"]));
    } else {
      EXPECT_EQ(findingsOf(exported.out), findingsOf(direct.out));
      EXPECT_FALSE(bool(document["complete"]));
      EXPECT_TRUE(document["unopened"].get_array().size() == 0);
    }
    fs::remove_all(small / "below");
  }
}

TEST_F(MorvexScanTest, AnExportScansAsTheSiteItCameFromIsTheSameBytesEachTimeAndIsNotWrittenOver) {
  const fs::path site = WriteOddSite(work_ / "odd");
  const auto lastLine = [](const std::string& text) { return text.substr(text.find_last_of('\n', text.size() - 2) + 1); };
  for (const std::string& option : {"--show-all"s, "--unique"s}) {
    SCOPED_TRACE(option);
    const std::vector<std::string> before = Snapshot(site);
    const ProcessResult direct = Run({option, site.string()});
    ASSERT_EQ(direct.status, 1) << direct.err;
    const fs::path first = work_ / (option.substr(2) + "1"), second = work_ / (option.substr(2) + "2");
    for (const auto& [folder, result] : {std::pair{first, Run({"--export", first.string(), option, site.string()})},
                                        std::pair{first, Run({option, first.string()})},
                                        std::pair{second, Run({"--export", second.string(), option, site.string()})}}) {
      EXPECT_EQ(result.status, direct.status) << folder;
      EXPECT_EQ(result.out, direct.out);
      EXPECT_EQ(lastLine(result.err), lastLine(direct.err));
    }
    EXPECT_EQ(Snapshot(site), before);
    EXPECT_EQ(Contents(second), Contents(first));
    const ProcessResult again = Run({"--export", first.string(), site.string()});
    EXPECT_EQ(again.status, 2);
    EXPECT_EQ(again.err, "morvex-scan: cannot export to " + first.string() + ": it is not empty; give a new or empty folder\n");
  }
}

}  // namespace
}  // namespace morvex
