// What the Windows file layer does that Linux has no counterpart for: hidden and system files, device names,
// attributes and reparse points of a file that is replaced.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "NamedOutputFile.h"
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

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(WindowsFilesTest, ANamedOutputFileKeepsTheAttributesOfTheFileItReplacesAndRefusesDeviceNames) {
  struct Case {
    const char* name;
    DWORD attributes;  // 0: no file there before
    const char* refusal;
  };
  const Case cases[] = {
      {"new.json", 0, nullptr},
      {"read-only.json", FILE_ATTRIBUTE_READONLY, nullptr},
      {"hidden.json", FILE_ATTRIBUTE_HIDDEN, nullptr},
      {"system.json", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE, nullptr},
      {"NUL", 0, "a device name, not an ordinary file"},
      {"con.json", 0, "a device name, not an ordinary file"},
      {"Com1.txt", 0, "a device name, not an ordinary file"},
      {"missing\\base.json", 0, "its folder does not exist"},
  };
  for (const Case& c : cases) {
    const std::filesystem::path file = dir_ / c.name;
    if (c.attributes != 0) {
      std::ofstream(file, std::ios::binary) << "old";
      ASSERT_TRUE(SetFileAttributesW(file.c_str(), c.attributes)) << c.name;
    }
    NamedOutputFile output;
    std::string error;
    const bool prepared = output.Prepare(FromNativePath(file), error);
    if (c.refusal != nullptr) {
      EXPECT_FALSE(prepared) << c.name;
      EXPECT_EQ(error, c.refusal) << c.name;
      continue;
    }
    ASSERT_TRUE(prepared) << c.name << ": " << error;
    ASSERT_TRUE(output.Replace("new", error)) << c.name << ": " << error;
    EXPECT_EQ(ReadAll(file), "new") << c.name;
    if (c.attributes != 0) {
      // The archive mark comes with any new content.
      EXPECT_EQ(GetFileAttributesW(file.c_str()) | FILE_ATTRIBUTE_ARCHIVE,
                c.attributes | FILE_ATTRIBUTE_ARCHIVE)
          << c.name;
    }
  }
  // The scratch files are all gone: only the written files are left.
  size_t left = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) left += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(left, 4u);
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
