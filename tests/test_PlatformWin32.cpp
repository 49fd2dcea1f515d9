// What the Windows file layer does that Linux has no counterpart for: hidden and system files.
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

}  // namespace
