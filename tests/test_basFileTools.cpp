// Tests of path joining, the ordinary-file test and relative project paths.
#include "basFileTools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace morvex;

TEST(JoinPath, WindowsRuleWithBackslash) {
  EXPECT_EQ(JoinPathWith(u"C:\\Site", u"master.dbf", u'\\'), u"C:\\Site\\master.dbf");
  EXPECT_EQ(JoinPathWith(u"C:\\Site\\", u"master.dbf", u'\\'), u"C:\\Site\\master.dbf");
  EXPECT_EQ(JoinPathWith(u"", u"master.dbf", u'\\'), u"\\master.dbf");
  EXPECT_EQ(JoinPathWith(u"C:/Site", u"master.dbf", u'\\'), u"C:/Site\\master.dbf");  // only "\" counts
  EXPECT_EQ(JoinPathWith(u"C:\\Site", u"\\x", u'\\'), u"C:\\Site\\\\x");             // name not examined
}

TEST(JoinPath, PlatformRule) {
  EXPECT_EQ(JoinPath(u"/srv/site", u"master.dbf"), u"/srv/site/master.dbf");
  EXPECT_EQ(JoinPath(u"/srv/site/", u"master.dbf"), u"/srv/site/master.dbf");
  EXPECT_EQ(JoinPath(u"", u"pages.dbf"), u"/pages.dbf");
  EXPECT_EQ(JoinPath(u"/srv/site ", u"pages.dbf"), u"/srv/site /pages.dbf");
}

TEST(ResolveAgainst, RelativeCellsHangOffTheProjectListFolder) {
  EXPECT_EQ(ResolveAgainst(u"/srv/site", u"plant1"), u"/srv/site/plant1");
  EXPECT_EQ(ResolveAgainst(u"/srv/site/", u"sub/plant1"), u"/srv/site/sub/plant1");
  EXPECT_EQ(ResolveAgainst(u"/srv/site", u"/abs/plant"), u"/abs/plant");
  EXPECT_EQ(ResolveAgainst(u"/srv/site", u""), u"");
}

TEST(FileExists, OnlyOrdinaryFilesCount) {
  const auto dir = std::filesystem::temp_directory_path() / "morvex_fileexists_ÄÖ";
  std::filesystem::create_directories(dir / "folder.dbf");
  std::ofstream(dir / "täble.dbf") << "x";
  EXPECT_TRUE(FileExists(FromNativePath(dir / "täble.dbf")));
  EXPECT_FALSE(FileExists(FromNativePath(dir / "folder.dbf")));
  EXPECT_FALSE(FileExists(FromNativePath(dir / "missing.dbf")));
  EXPECT_FALSE(FileExists(u""));
  std::filesystem::remove_all(dir);
}
