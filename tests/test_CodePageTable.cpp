// The reader's decoding of every byte of every single-byte page, against the table Windows' own converter gave.
#include "CodePage.h"
#include "TextUtil.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

using namespace morvex;

namespace {

struct ByteKey {
  int32_t codepage;
  int byte;
  auto operator<=>(const ByteKey&) const = default;
};

std::map<ByteKey, std::u16string> ReadWindowsTable() {
  std::map<ByteKey, std::u16string> table;
  std::ifstream in(std::string(MORVEX_TEST_DATA_DIR) + "/code_pages_windows.tsv");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    int32_t codepage = 0;
    std::string byteHex, unitsHex;
    fields >> codepage >> byteHex;
    std::u16string units;
    while (fields >> unitsHex) {
      if (unitsHex != "-") units.push_back(static_cast<char16_t>(std::stoi(unitsHex, nullptr, 16)));
    }
    table[{codepage, std::stoi(byteHex, nullptr, 16)}] = units;
  }
  return table;
}

std::string Hex(std::u16string_view units) {
  std::string text;
  char buffer[8];
  for (const char16_t unit : units) {
    std::snprintf(buffer, sizeof buffer, " %04X", static_cast<unsigned>(unit));
    text += buffer;
  }
  return text;
}

}  // namespace

// No difference remains: where ICU's tables answer otherwise (IBM's control rotation, bytes ICU leaves undefined
// but the platform gives private-use characters, the 1987 edition of ISO-8859-7, KOI8-U's Belarusian letters),
// the Linux converter carries the platform's answer as a correction.
TEST(CodePageTable, EveryByteDecodesAsWindowsConverterDoes) {
  const std::map<ByteKey, std::u16string> windows = ReadWindowsTable();
  ASSERT_EQ(windows.size(), 29u * 256u) << "tests/data/code_pages_windows.tsv is incomplete";
  for (const auto& [key, units] : windows) {
    const uint8_t byte = static_cast<uint8_t>(key.byte);
    const std::u16string ours = Utf8ToUtf16(DecodeCodePage(&byte, 1, key.codepage));
    EXPECT_EQ(ours, units) << "code page " << key.codepage << " byte " << key.byte << ": ours" << Hex(ours)
                           << ", Windows" << Hex(units);
  }
}
