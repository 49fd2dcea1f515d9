// Tests of morvex-dbf as a process: its output, escaping, warnings and exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "DBaseTableBuilder.h"
#include "Version.h"

using morvex::table_tests::DBaseTableBuilder;

namespace {

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class DbfCommandTest : public ::testing::Test {
 protected:
  DbfCommandTest() {
    folder_ = std::filesystem::temp_directory_path() / ("morvex_dbf_cmd_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
  }
  ~DbfCommandTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::string Write(const std::string& bytes) {
    const std::filesystem::path path = folder_ / ("t" + std::to_string(++files_) + ".dbf");
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  static std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // shellPrefix runs first in the program's shell (a ulimit, say).
  RunResult Run(const std::string& arguments, const std::string& shellPrefix = "") {
    const std::filesystem::path out = folder_ / "stdout";
    const std::filesystem::path err = folder_ / "stderr";
    const std::string command = shellPrefix + "'" + MORVEX_BINARY_DIR + "/bin/morvex-dbf' " + arguments + " >'" +
                                out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = Slurp(out);
    result.err = Slurp(err);
    return result;
  }

  std::filesystem::path folder_;
  int files_ = 0;
};

size_t Lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

}  // namespace

TEST_F(DbfCommandTest, PrintsHeaderAndRecordsWithEscapes) {
  DBaseTableBuilder b;
  b.Field("Name", 8).Field("Path", 8);
  b.Record({"a\tb", "x\\y"}).Record({"cr\rlf\n", std::string("n\0l", 3)}, '*').Record({"", "  lead"});
  const RunResult result = Run("'" + Write(b.Bytes()) + "'");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out,
            "Deleted\tName\tPath\n"
            "\ta\\tb\tx\\\\y\n"
            "*\tcr\\rlf\\n\tn\\0l\n"
            "\t\t  lead\n");
}

TEST_F(DbfCommandTest, DecodesInTheGivenCodePageAndWritesUtf8) {
  DBaseTableBuilder b;
  b.Field("Name", 6).Record({"\x8F\xE0\xA8"}).Record({"\xC4pfel"});
  const std::string file = Write(b.Bytes());
  EXPECT_EQ(Run("--codepage 866 '" + file + "'").out, "Deleted\tName\n\tПри\n\t─pfel\n");
  EXPECT_EQ(Run("'" + file + "'").out, "Deleted\tName\n\t\xC2\x8F" "à¨\n\tÄpfel\n");  // 0x8F passes through as U+008F
  EXPECT_EQ(Run("--codepage 866 '" + file + "'").err, "");
}

TEST_F(DbfCommandTest, UnsupportedCodePageIsReportedOnceAndValuesStayEmpty) {
  DBaseTableBuilder b;
  b.Field("Name", 6).Record({"one"}).Record({"two"}).Record({"three"});
  const RunResult result = Run("--codepage 12345 '" + Write(b.Bytes()) + "'");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "Deleted\tName\n\t\n\t\n\t\n");
  EXPECT_EQ(Lines(result.err), 1u);
  EXPECT_NE(result.err.find("code page 12345 is not supported"), std::string::npos) << result.err;
}

TEST_F(DbfCommandTest, ClosedPipeEndsQuietlyWithTwo) {
  DBaseTableBuilder b;
  b.Field("Name", 60);
  // Far more than a pipe holds, so the dump is still writing when head has gone.
  for (int r = 0; r < 20000; ++r) b.Record({"record " + std::to_string(r)});
  const std::string file = Write(b.Bytes());
  const std::filesystem::path status = folder_ / "status";
  const std::filesystem::path err = folder_ / "stderr";
  const std::string command = std::string("{ '") + MORVEX_BINARY_DIR + "/bin/morvex-dbf' '" + file + "' 2>'" +
                              err.string() + "'; echo $? >'" + status.string() + "'; } | head -1 >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(Slurp(status), "2\n");  // not 141, the shell's word for death by SIGPIPE
  EXPECT_EQ(Slurp(err), "");
}

TEST_F(DbfCommandTest, CorruptTableWarnsAndStillPrints) {
  DBaseTableBuilder b;
  b.Field("Name", 4).Record({"one"});
  b.endOfFileMarker = false;
  const RunResult result = Run("'" + Write(b.Bytes()) + "'");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "Deleted\tName\n\tone\n");
  EXPECT_NE(result.err.find("is damaged: it has no end-of-file marker after its 1 record;"), std::string::npos)
      << result.err;
  EXPECT_EQ(Lines(result.err), 1u);
}

TEST_F(DbfCommandTest, FailuresExitWithTwoAndOneLine) {
  const RunResult missing = Run("'" + (folder_ / "absent.dbf").string() + "'");
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(Lines(missing.err), 1u);
  EXPECT_NE(missing.err.find("absent.dbf"), std::string::npos) << missing.err;

  DBaseTableBuilder overflow;
  overflow.Field("Name", 4).Record({"one"});
  overflow.headerLength = 32767;
  const std::string file = Write(overflow.Bytes());
  const RunResult failed = Run("'" + file + "'");
  EXPECT_EQ(failed.exitCode, 2);
  EXPECT_EQ(failed.out, "");
  EXPECT_EQ(Lines(failed.err), 1u);
  EXPECT_NE(failed.err.find("(error 6)"), std::string::npos) << failed.err;
  EXPECT_NE(failed.err.find(file), std::string::npos) << failed.err;

}

TEST_F(DbfCommandTest, ATableBeyondTheMemoryItMayUseExitsWithTwoAndOneLine) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's shadow memory does not fit under an address-space limit";
#endif
  // 40 MB of one-byte values, held in well over the 100 MB of address space the program is given.
  DBaseTableBuilder big;
  big.Field("A", 1);
  constexpr int32_t kRecords = 20'000'000;
  big.recordCount = kRecords;
  big.endOfFileMarker = false;
  std::string bytes = big.Bytes();
  bytes.reserve(bytes.size() + 2 * static_cast<size_t>(kRecords) + 1);
  for (int32_t r = 0; r < kRecords; ++r) bytes += " x";
  bytes += '\x1a';
  const std::string file = Write(bytes);
  const RunResult result = Run("'" + file + "'", "ulimit -v 100000; ");
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(Lines(result.err), 1u);
  EXPECT_NE(result.err.find("does not fit in memory (error 7)"), std::string::npos) << result.err;
}

TEST_F(DbfCommandTest, WrongOptionsPrintOneLineWithAHintAndExitTwo) {
  DBaseTableBuilder b;
  b.Field("Name", 4).Record({"one"});
  const std::string file = Write(b.Bytes());
  for (const std::string& arguments :
       {std::string(""), "--codepage x '" + file + "'", "--bogus '" + file + "'"}) {
    const RunResult result = Run(arguments);
    EXPECT_EQ(result.exitCode, 2) << arguments;
    EXPECT_EQ(result.out, "") << arguments;
    EXPECT_EQ(Lines(result.err), 1u) << result.err;
    EXPECT_NE(result.err.find("--help"), std::string::npos) << result.err;
  }
  EXPECT_NE(Run("--bogus '" + file + "'").err.find("--bogus"), std::string::npos);
}

TEST_F(DbfCommandTest, HelpAndVersion) {
  const RunResult help = Run("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--codepage"), std::string::npos);
  const RunResult version = Run("--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string(morvex::kVersionText) + "\n");
}
