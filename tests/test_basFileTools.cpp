// Tests of path joining, the ordinary-file test, relative project paths, names and opening files.
#include "basFileTools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "PipeGuard.h"
#include "TestPlatform.h"
#include "TextUtil.h"

using namespace morvex;

TEST(JoinPath, WindowsRuleWithBackslash) {
  EXPECT_EQ(JoinPathWith("C:\\Site", "master.dbf", '\\'), "C:\\Site\\master.dbf");
  EXPECT_EQ(JoinPathWith("C:\\Site\\", "master.dbf", '\\'), "C:\\Site\\master.dbf");
  EXPECT_EQ(JoinPathWith("", "master.dbf", '\\'), "\\master.dbf");
  EXPECT_EQ(JoinPathWith("C:/Site", "master.dbf", '\\'), "C:/Site\\master.dbf");  // only "\" counts
  EXPECT_EQ(JoinPathWith("C:\\Site", "\\x", '\\'), "C:\\Site\\\\x");             // name not examined
}

TEST(JoinPath, PlatformRule) {
  if (test_support::kWindows) {
    // Only the backslash separates: a folder ending in a slash still gets one.
    EXPECT_EQ(JoinPath("C:\\Site", "master.dbf"), "C:\\Site\\master.dbf");
    EXPECT_EQ(JoinPath("C:\\Site\\", "master.dbf"), "C:\\Site\\master.dbf");
    EXPECT_EQ(JoinPath("C:/Site/", "master.dbf"), "C:/Site/\\master.dbf");
    EXPECT_EQ(JoinPath("", "pages.dbf"), "\\pages.dbf");
    return;
  }
  EXPECT_EQ(JoinPath("/srv/site", "master.dbf"), "/srv/site/master.dbf");
  EXPECT_EQ(JoinPath("/srv/site/", "master.dbf"), "/srv/site/master.dbf");
  EXPECT_EQ(JoinPath("", "pages.dbf"), "/pages.dbf");
  EXPECT_EQ(JoinPath("/srv/site ", "pages.dbf"), "/srv/site /pages.dbf");
}

TEST(ResolveAgainst, RelativeCellsHangOffTheProjectListFolder) {
  if (test_support::kWindows) {
    EXPECT_EQ(ResolveAgainst("C:\\Site", "plant1"), "C:\\Site\\plant1");
    EXPECT_EQ(ResolveAgainst("C:\\Site", "D:\\abs\\plant"), "D:\\abs\\plant");
    EXPECT_EQ(ResolveAgainst("C:\\Site", "\\\\server\\share\\plant"), "\\\\server\\share\\plant");
    // Without a drive a path is not absolute on Windows: it hangs off the folder like any other.
    EXPECT_EQ(ResolveAgainst("C:\\Site", "/abs/plant"), "C:\\Site\\/abs/plant");
    EXPECT_EQ(ResolveAgainst("C:\\Site", ""), "");
    return;
  }
  EXPECT_EQ(ResolveAgainst("/srv/site", "plant1"), "/srv/site/plant1");
  EXPECT_EQ(ResolveAgainst("/srv/site/", "sub/plant1"), "/srv/site/sub/plant1");
  EXPECT_EQ(ResolveAgainst("/srv/site", "/abs/plant"), "/abs/plant");
  EXPECT_EQ(ResolveAgainst("/srv/site", ""), "");
  // Blanks and NULs, as a damaged project list gives them, name no folder either.
  EXPECT_EQ(ResolveAgainst("/srv/site", std::string(" \t\0 ", 4)), "");
}

TEST(FileExists, OnlyOrdinaryFilesCount) {
  const auto dir = std::filesystem::temp_directory_path() / "morvex_fileexists_ÄÖ";
  std::filesystem::create_directories(dir / "folder.dbf");
  std::ofstream(dir / "täble.dbf") << "x";
  EXPECT_TRUE(FileExists(FromNativePath(dir / "täble.dbf")));
  EXPECT_FALSE(FileExists(FromNativePath(dir / "folder.dbf")));
  EXPECT_FALSE(FileExists(FromNativePath(dir / "missing.dbf")));
  EXPECT_FALSE(FileExists(""));
  std::filesystem::remove_all(dir);
}

TEST(IsNameWithinFolder, NamesThatCouldLeaveTheFolderAreRefused) {
  struct Case {
    std::string name;
    bool posix;
    bool windows;
  };
  const Case cases[] = {
      {"Main", true, true},         {"a..b", true, true},        {"...", true, true},
      {".hidden", true, true},      {"", true, true},            {"Pump 1 (old)", true, true},
      {".", false, false},          {"..", false, false},        {"../x", false, false},
      {"../../x", false, false},    {"sub/x", false, false},     {"/etc/passwd", false, false},
      {"x/", false, false},         {"..\\x", true, false},      {"\\\\server\\x", true, false},
      {"C:x", true, false},         {"c:\\x", true, false},      {"z:", true, false},
      {"1:x", true, true},          {"ab:x", true, true},        {"\u00C4:x", true, true},
  };
  for (const Case& c : cases) {
    const std::string shown = (c.name);
    EXPECT_EQ(IsNameWithinFolderOn(c.name, false), c.posix) << shown;
    EXPECT_EQ(IsNameWithinFolderOn(c.name, true), c.windows) << shown;
  }
}

TEST(IsDeviceName, WindowsTakesTheseNamesForDevicesWhateverFollowsTheFirstDot) {
  struct Case {
    std::string name;
    bool device;
  };
  const Case cases[] = {
      {"CON", true},       {"con", true},        {"con.json", true},   {"Con.tar.gz", true},
      {"CON .json", true}, {"PRN", true},        {"aux.json", true},   {"NUL", true},
      {"nul.txt", true},   {"COM1", true},       {"com9.json", true},  {"COM0", true},
      {"LPT1", true},      {"lpt3.json", true},  {"CONIN$", true},     {"conout$.json", true},
      {"CONSOLE", false},  {"CON1", false},      {"NULL.json", false}, {"COM", false},
      {"COM10", false},    {"LPTX.json", false}, {"xCON", false},      {".CON", false},
      {"", false},         {"Main.json", false},
      // The superscript digits one to three (UTF-8) are port numbers too; other superscripts are not.
      {"COM\xC2\xB9", true}, {"com\xC2\xB2.json", true}, {"LPT\xC2\xB3", true}, {"LPT\xE2\x81\xB4", false},
      {"COM\xC2\xB9\xC2\xB9", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsDeviceNameOn(c.name, true), c.device) << c.name;
    EXPECT_FALSE(IsDeviceNameOn(c.name, false)) << c.name;
  }
}

class ReadOnlyFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("morvex_readonly_" + std::to_string(test_support::ProcessId()));
    std::filesystem::create_directories(dir_ / "folder");
    std::ofstream(dir_ / "file.json", std::ios::binary) << "0123456789";
    std::ofstream(dir_ / "empty.json", std::ios::binary);
    hasPipe_ = test_support::MakeNamedPipe(dir_ / "pipe.json");
    ASSERT_TRUE(hasPipe_ || test_support::kWindows);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::filesystem::path dir_;
  bool hasPipe_ = false;
};

TEST_F(ReadOnlyFileTest, OrdinaryFilesAreReadWhole) {
  ReadOnlyFile file;
  ASSERT_FALSE(ReadOnlyFile::Open(dir_ / "file.json", file));
  EXPECT_TRUE(file.IsOpen());
  EXPECT_EQ(file.Size(), 10u);
  char buffer[16] = {};
  size_t read = 99;
  ASSERT_FALSE(file.Read(buffer, 4, read));
  EXPECT_EQ(std::string(buffer, read), "0123");
  ASSERT_FALSE(file.Read(buffer, sizeof buffer, read));  // asks for more than is left
  EXPECT_EQ(std::string(buffer, read), "456789");
  ASSERT_FALSE(file.Read(buffer, sizeof buffer, read));
  EXPECT_EQ(read, 0u);
  ASSERT_FALSE(ReadOnlyFile::Open(dir_ / "empty.json", file));
  EXPECT_EQ(file.Size(), 0u);
}

TEST_F(ReadOnlyFileTest, WhatIsNotAnOrdinaryFileIsRefusedWithoutWaiting) {
  ReadOnlyFile file;
  ASSERT_FALSE(ReadOnlyFile::Open(dir_ / "file.json", file));
  if (hasPipe_) {
    const std::filesystem::path pipePath = dir_ / "pipe.json";
    const std::error_code pipe =
        test_support::WithoutWaitingOn(pipePath, [&] { return ReadOnlyFile::Open(pipePath, file); });
    EXPECT_EQ(pipe, FileOpenError::kNotOrdinaryFile);
    EXPECT_FALSE(file.IsOpen());  // what was held before is gone
  }
  EXPECT_EQ(ReadOnlyFile::Open(dir_ / "folder", file), FileOpenError::kNotOrdinaryFile);
  EXPECT_FALSE(file.IsOpen());  // what was held before is gone
  EXPECT_EQ(ReadOnlyFile::Open(test_support::NullDevice(), file), FileOpenError::kNotOrdinaryFile);
  EXPECT_EQ(ReadOnlyFile::Open(dir_ / "missing.json", file), std::errc::no_such_file_or_directory);
  // Windows calls a file used as a folder a missing path.
  EXPECT_EQ(ReadOnlyFile::Open(dir_ / "file.json" / "x", file),
            test_support::kWindows ? std::errc::no_such_file_or_directory : std::errc::not_a_directory);
  EXPECT_EQ(ReadOnlyFile::Open(std::string("file.json\0x", 11), file), std::errc::invalid_argument);
  EXPECT_FALSE(file.IsOpen());
  size_t read = 1;
  char byte = 0;
  EXPECT_TRUE(file.Read(&byte, 1, read));
  EXPECT_EQ(read, 0u);
}
