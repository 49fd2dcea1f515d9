// Tests of path joining, the ordinary-file test and relative project paths.
#include "basFileTools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace morvex;

TEST(JoinPath, WindowsRuleWithBackslash) {
  EXPECT_EQ(JoinPathWith("C:\\Site", "master.dbf", '\\'), "C:\\Site\\master.dbf");
  EXPECT_EQ(JoinPathWith("C:\\Site\\", "master.dbf", '\\'), "C:\\Site\\master.dbf");
  EXPECT_EQ(JoinPathWith("", "master.dbf", '\\'), "\\master.dbf");
  EXPECT_EQ(JoinPathWith("C:/Site", "master.dbf", '\\'), "C:/Site\\master.dbf");  // only "\" counts
  EXPECT_EQ(JoinPathWith("C:\\Site", "\\x", '\\'), "C:\\Site\\\\x");             // name not examined
}

TEST(JoinPath, PlatformRule) {
  EXPECT_EQ(JoinPath("/srv/site", "master.dbf"), "/srv/site/master.dbf");
  EXPECT_EQ(JoinPath("/srv/site/", "master.dbf"), "/srv/site/master.dbf");
  EXPECT_EQ(JoinPath("", "pages.dbf"), "/pages.dbf");
  EXPECT_EQ(JoinPath("/srv/site ", "pages.dbf"), "/srv/site /pages.dbf");
}

TEST(ResolveAgainst, RelativeCellsHangOffTheProjectListFolder) {
  EXPECT_EQ(ResolveAgainst("/srv/site", "plant1"), "/srv/site/plant1");
  EXPECT_EQ(ResolveAgainst("/srv/site/", "sub/plant1"), "/srv/site/sub/plant1");
  EXPECT_EQ(ResolveAgainst("/srv/site", "/abs/plant"), "/abs/plant");
  EXPECT_EQ(ResolveAgainst("/srv/site", ""), "");
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
