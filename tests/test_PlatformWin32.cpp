// What the Windows file layer does that Linux has no counterpart for: hidden and system files, device names.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "basFileTools.h"

using namespace morvex;

namespace {

class WindowsFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("morvex_windows_files_" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::filesystem::path dir_;
};

TEST_F(WindowsFilesTest, AHiddenOrSystemFileCountsAsMissingAndDoesNotOpen) {
  struct Case {
    const char* name;
    DWORD attributes;
    bool counts;
  };
  const Case cases[] = {
      {"plain.dbf", FILE_ATTRIBUTE_NORMAL, true},
      {"archive.dbf", FILE_ATTRIBUTE_ARCHIVE, true},
      {"hidden.dbf", FILE_ATTRIBUTE_HIDDEN, false},
      {"system.dbf", FILE_ATTRIBUTE_SYSTEM, false},
      {"both.json", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, false},
  };
  for (const Case& c : cases) {
    const std::filesystem::path file = dir_ / c.name;
    std::ofstream(file, std::ios::binary) << "x";
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), c.attributes)) << c.name;
    // The test before a table is opened, and the open itself, which a page file gets alone.
    EXPECT_EQ(FileExists(FromNativePath(file)), c.counts) << c.name;
    ReadOnlyFile opened;
    const std::error_code refused = make_error_code(FileOpenError::kNotOrdinaryFile);
    EXPECT_EQ(ReadOnlyFile::Open(file, opened), c.counts ? std::error_code() : refused) << c.name;
    EXPECT_EQ(opened.IsOpen(), c.counts) << c.name;
  }
}

TEST(WindowsLongPaths, ADeviceNameAtTheEndOfALongPathIsNeverTakenForAShare) {
  // A site folder long enough for the long-path form; the form is settled before anything is opened, so the
  // folders need not exist.
  std::string site = FromNativePath(std::filesystem::temp_directory_path() / "morvex_long_site");
  while (site.size() < 300) site += "\\" + std::string(40, 'd');
  for (const char* page : {"CON", "con", "NUL", "AUX", "PRN", "COM1", "LPT1", "NUL.txt"}) {
    const std::filesystem::path native = ToNativePath(JoinPath(site, std::string(page) + ".json"));
    EXPECT_FALSE(native.native().starts_with(L"\\\\?\\UNC\\")) << page << ": " << native.native();
  }
  for (const char* page : {"CON", "NUL"}) {
    ReadOnlyFile file;
    EXPECT_TRUE(ReadOnlyFile::Open(ToNativePath(JoinPath(site, std::string(page) + ".json")), file)) << page;
    EXPECT_FALSE(file.IsOpen()) << page;
  }
  // A share keeps its network form.
  const std::string share = "\\\\server\\share" + site.substr(site.find('\\', 3)) + "\\Main.json";
  EXPECT_TRUE(ToNativePath(share).native().starts_with(L"\\\\?\\UNC\\server\\share\\")) << share;
}

}  // namespace
