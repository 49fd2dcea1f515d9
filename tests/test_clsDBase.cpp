// Tests of the dBase table reader: well-formed, damaged and hostile tables built byte by byte, and tables
// written by an independent writer.
#include "clsDBase.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "Error.h"
#include "TextUtil.h"
#include "DBaseTableBuilder.h"
#include "PipeGuard.h"
#include "TestPlatform.h"
#include "basFileTools.h"

using namespace morvex;
using morvex::table_tests::DBaseTableBuilder;

namespace {

class TempFolder {
 public:
  TempFolder() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("morvex_tables_" + std::to_string(test_support::ProcessId()) + "_" + std::to_string(++counter));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
    return FromNativePath(path_ / name);
  }
  std::string PathOf(const std::string& name) const { return FromNativePath(path_ / name); }

 private:
  std::filesystem::path path_;
};

class DBaseTest : public ::testing::Test {
 protected:
  // Loads the bytes from a file, as the search does.
  bool LoadBytes(const std::string& bytes, int32_t codepage = 0) {
    path_ = folder_.Write("table" + std::to_string(++files_) + ".dbf", bytes);
    return table_.Load(path_, codepage);
  }
  int32_t LoadError(const std::string& bytes, std::string* description = nullptr) {
    try {
      LoadBytes(bytes);
    } catch (const Error& e) {
      if (description) *description = e.Description();
      return e.Number();
    }
    return 0;
  }

  TempFolder folder_;
  clsDBase table_;
  std::string path_;
  int files_ = 0;
};

DBaseTableBuilder ProjectList() {
  DBaseTableBuilder b;
  b.Field("Name", 10).Field("Path", 20);
  b.Record({"Alpha", "C:\\Projects\\Alpha"}).Record({"Beta", "D:\\Beta"}, '*').Record({"Gamma", ""});
  return b;
}

}  // namespace

TEST_F(DBaseTest, ReadsAWellFormedTable) {
  ASSERT_TRUE(LoadBytes(ProjectList().Bytes()));
  EXPECT_TRUE(table_.Loaded());
  EXPECT_FALSE(table_.Corrupt());
  EXPECT_EQ(table_.File(), path_);
  EXPECT_EQ(table_.RecordCount(), 3);
  EXPECT_EQ(table_.FieldCount(), 2);
  EXPECT_EQ(table_.FieldName(1), "Name");
  EXPECT_EQ(table_.FieldLength(2), 20);
  EXPECT_EQ(table_.Element(1, 2), "C:\\Projects\\Alpha");
  EXPECT_EQ(table_.Element(3, 2), "");
  EXPECT_FALSE(table_.RecordDeleted(1));
  EXPECT_TRUE(table_.RecordDeleted(2));

  const TextTable copy = table_.Table();
  ASSERT_EQ(copy.Rows(), 3);
  ASSERT_EQ(copy.Columns(), 2);
  EXPECT_EQ(copy.At(2, 1), "Beta");
  const FlagArray flags = table_.DeletedTable();
  ASSERT_EQ(flags.Count(), 3);
  EXPECT_EQ(flags.At(2), 1);
  EXPECT_EQ(table_.Values(), copy);
}

TEST_F(DBaseTest, MissingFileIsNotAnError) {
  table_.Codepage(1251);
  EXPECT_FALSE(table_.Load(folder_.PathOf("absent.dbf"), 866));
  EXPECT_EQ(table_.Codepage(), 866);
  EXPECT_FALSE(table_.Loaded());
  EXPECT_TRUE(table_.File().empty());
  // A folder counts as missing.
  EXPECT_FALSE(table_.Load(FromNativePath(std::filesystem::temp_directory_path()), 0));
  EXPECT_FALSE(table_.Load("", 0));
}

TEST_F(DBaseTest, APipeCountsAsMissingAndIsNeverWaitedOn) {
  ASSERT_TRUE(LoadBytes(DBaseTableBuilder().Field("NAME", 4).Record({"abcd"}).Bytes()));
  const std::string pipe = folder_.PathOf("pipe.dbf");
  if (!test_support::MakeNamedPipe(ToNativePath(pipe))) GTEST_SKIP() << "no named pipes in folders here";
  EXPECT_FALSE(test_support::WithoutWaitingOn(ToNativePath(pipe), [&] { return table_.Load(pipe, 0); }));
  EXPECT_FALSE(table_.Loaded());
  EXPECT_TRUE(table_.File().empty());
}

TEST_F(DBaseTest, FieldCountFollowsHeaderLengthTruncatedTowardZero) {
  struct Case {
    int16_t headerLength;
    int32_t fieldCount;
  };
  // No records, so every one of these loads; the end-of-file marker is looked for at the header length.
  for (const Case c : {Case{1, 0}, Case{63, 0}, Case{0, -1}, Case{-32768, -1025}, Case{-1, -1}, Case{97, 2}}) {
    DBaseTableBuilder b;
    b.headerLength = c.headerLength;
    std::string bytes = b.Bytes();
    bytes.resize(200, '\0');
    SCOPED_TRACE(c.headerLength);
    if (c.headerLength < 0) {
      EXPECT_EQ(LoadError(bytes), kErrNegativePosition);
      EXPECT_TRUE(table_.Loaded());  // a failed load does not clean up
    } else {
      EXPECT_TRUE(LoadBytes(bytes));
    }
    EXPECT_EQ(table_.FieldCount(), c.fieldCount);
    table_.CloseFile();
  }
}

TEST_F(DBaseTest, TerminatorAndEndOfFileMarkerDecideCorrupt) {
  DBaseTableBuilder wrongTerminator = ProjectList();
  wrongTerminator.terminator = 0x00;
  ASSERT_TRUE(LoadBytes(wrongTerminator.Bytes()));
  EXPECT_TRUE(table_.Corrupt());
  EXPECT_EQ(table_.Element(3, 1), "Gamma");  // still read whole

  EXPECT_EQ(table_.CorruptReason(), "its header has no terminator after its 2 field descriptors");

  DBaseTableBuilder noMarker = ProjectList();
  noMarker.endOfFileMarker = false;
  ASSERT_TRUE(LoadBytes(noMarker.Bytes()));
  EXPECT_TRUE(table_.Corrupt());
  EXPECT_EQ(table_.CorruptReason(), "it has no end-of-file marker after its 3 records");

  // What users are told of a table cut short: how much of it is there.
  std::string cut = ProjectList().Bytes();
  cut.resize(cut.size() - 2);
  ASSERT_TRUE(LoadBytes(cut));
  EXPECT_EQ(table_.CorruptReason(), "its header counts 3 records, the file holds 2");
  cut.resize(40);
  ASSERT_TRUE(LoadBytes(cut));
  EXPECT_EQ(table_.CorruptReason(), "it ends inside its header, after 40 bytes");
  cut.clear();
  ASSERT_TRUE(LoadBytes(cut));
  EXPECT_EQ(table_.CorruptReason(), "it is empty (0 bytes)");

  DBaseTableBuilder empty;
  empty.Field("Name", 8);
  ASSERT_TRUE(LoadBytes(empty.Bytes()));
  EXPECT_FALSE(table_.Corrupt());
  EXPECT_EQ(table_.RecordCount(), 0);
  EXPECT_FALSE(table_.Table().HasElements());
  EXPECT_FALSE(table_.DeletedTable().HasElements());

  empty.endOfFileMarker = false;
  ASSERT_TRUE(LoadBytes(empty.Bytes()));
  EXPECT_TRUE(table_.Corrupt());
  table_.CloseFile();
  EXPECT_FALSE(table_.Corrupt());
  EXPECT_EQ(table_.CorruptReason(), "");
}

TEST_F(DBaseTest, HeaderLengthBeyondTheDescriptorsReadsSurplusDescriptors) {
  // Padding after the terminator shorter than a descriptor: no extra field, records start after the padding.
  DBaseTableBuilder padded = ProjectList();
  padded.afterTerminator = std::string(30, '\0');
  ASSERT_TRUE(LoadBytes(padded.Bytes()));
  EXPECT_EQ(table_.FieldCount(), 2);
  EXPECT_FALSE(table_.Corrupt());
  EXPECT_EQ(table_.Element(1, 1), "Alpha");

  // 31 more bytes make a third descriptor out of the terminator and the padding.
  padded.afterTerminator = std::string(31, '\0');
  ASSERT_TRUE(LoadBytes(padded.Bytes()));
  EXPECT_EQ(table_.FieldCount(), 3);
  EXPECT_EQ(table_.FieldName(3), "\r");
  EXPECT_EQ(table_.FieldLength(3), 0);
  EXPECT_TRUE(table_.Corrupt());
  EXPECT_EQ(table_.Element(1, 1), "Alpha");
}

TEST_F(DBaseTest, OnlyTrailingSpacesAreRemovedAndNulsStay) {
  DBaseTableBuilder b;
  b.Field("Value", 6);
  b.Record({" 42  "}).Record({"      "}).Record({std::string("a\0b\0", 4)}).Record({"\t x"});
  ASSERT_TRUE(LoadBytes(b.Bytes()));
  EXPECT_EQ(table_.Element(1, 1), " 42");
  EXPECT_EQ(table_.Element(2, 1), "");
  EXPECT_EQ(table_.Element(3, 1), std::string("a\0b\0", 4));
  EXPECT_EQ(table_.Element(4, 1), "\t x");
}

TEST_F(DBaseTest, OnlyAnAsteriskMarksADeletedRecord) {
  DBaseTableBuilder b;
  b.Field("N", 1);
  for (const char mark : {'*', ' ', '\0', '+', '\x2B', 'D'}) b.Record({"x"}, mark);
  ASSERT_TRUE(LoadBytes(b.Bytes()));
  EXPECT_TRUE(table_.RecordDeleted(1));
  for (int32_t r = 2; r <= 6; ++r) EXPECT_FALSE(table_.RecordDeleted(r)) << r;
  EXPECT_FALSE(table_.RecordDeleted(0));
  EXPECT_FALSE(table_.RecordDeleted(7));
  EXPECT_FALSE(table_.RecordDeleted(-1));
  // Writes outside the records are ignored, inside they change the copy in memory.
  table_.RecordDeleted(0, true);
  table_.RecordDeleted(7, true);
  table_.RecordDeleted(2, true);
  EXPECT_TRUE(table_.RecordDeleted(2));
  EXPECT_EQ(table_.DeletedTable().Count(), 6);
}

TEST_F(DBaseTest, FieldNumberMatchesNamesCutAtNulWithoutRegardToCase) {
  DBaseTableBuilder b;
  b.Field(std::string("Name\0\0\0\0\0\0\0", 11), 4).Field("PATH", 4).Field("name", 4);
  b.Record({"a", "b", "c"}).Record({"d", "e", "f"});
  ASSERT_TRUE(LoadBytes(b.Bytes()));
  EXPECT_EQ(table_.FieldNumber("NAME"), 1);
  EXPECT_EQ(table_.FieldNumber("name"), 1);  // the first match wins
  EXPECT_EQ(table_.FieldNumber("Path"), 2);
  EXPECT_EQ(table_.FieldNumber("Name "), -1);
  EXPECT_EQ(table_.FieldNumber(" Name"), -1);
  EXPECT_EQ(table_.FieldNumber("Nam"), -1);
  EXPECT_EQ(table_.FieldNumber(""), -1);
  EXPECT_EQ(table_.FieldName(1), "Name");
  EXPECT_EQ(table_.FieldName(0), "");
  EXPECT_EQ(table_.FieldName(4), "");
  EXPECT_EQ(table_.FieldLength(0), -1);
  EXPECT_EQ(table_.FieldLength(4), -1);

  const int32_t missing = table_.FieldNumber("Title");
  for (int32_t r = 1; r <= table_.RecordCount(); ++r) EXPECT_EQ(table_.Element(r, missing), "");
}

TEST_F(DBaseTest, FieldNumberOfATableWithoutFields) {
  DBaseTableBuilder noFields;
  noFields.headerLength = 33;
  // Never read a descriptor: the empty descriptor array is out of range.
  ASSERT_TRUE(LoadBytes(noFields.Bytes()));
  try {
    table_.FieldNumber("Name");
    FAIL() << "expected error 9";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrOutOfRange);
  }
  // After a table with fields, the descriptors stay and are searched.
  ASSERT_TRUE(LoadBytes(ProjectList().Bytes()));
  ASSERT_TRUE(LoadBytes(noFields.Bytes()));
  EXPECT_EQ(table_.FieldCount(), 0);
  EXPECT_EQ(table_.FieldNumber("path"), 2);
  EXPECT_EQ(table_.FieldName(1), "");  // beyond FieldCount
}

TEST_F(DBaseTest, RecordLengthIsOnlyTheDistanceBetweenRecords) {
  DBaseTableBuilder longer;
  longer.Field("A", 2).Field("B", 2);
  longer.records = {std::string(" abcdXYZ"), std::string(" efghXYZ")};
  longer.recordLength = 8;
  ASSERT_TRUE(LoadBytes(longer.Bytes()));
  EXPECT_EQ(table_.Element(2, 1), "ef");
  EXPECT_EQ(table_.Element(2, 2), "gh");

  DBaseTableBuilder shorter;
  shorter.Field("A", 2).Field("B", 4);
  shorter.records = {std::string(" abc"), std::string(" def"), std::string(" ghi")};
  shorter.recordLength = 4;
  ASSERT_TRUE(LoadBytes(shorter.Bytes()));
  EXPECT_EQ(table_.Element(1, 2), "c de");  // reads into the next record
  EXPECT_EQ(table_.Element(3, 2), std::string("i\x1A\0\0", 4));  // and past the end as zeros
  EXPECT_FALSE(table_.RecordDeleted(2));
}

TEST_F(DBaseTest, ZeroLengthFieldReadsAsEmptyText) {
  DBaseTableBuilder b;
  b.Field("Empty", 0).Field("Name", 3);
  b.Record({"", "abc"});
  ASSERT_TRUE(LoadBytes(b.Bytes()));
  EXPECT_EQ(table_.Element(1, 1), "");
  EXPECT_EQ(table_.Element(1, 2), "abc");
}

TEST_F(DBaseTest, ValuesDecodeInTheGivenCodePage) {
  DBaseTableBuilder b;
  b.Field("Name", 6);
  b.Record({"\x81\x8D\x8F\x90\x9D\x80"}).Record({"\x8F\xE0\xA8"});
  ASSERT_TRUE(LoadBytes(b.Bytes(), 0));
  // The bytes Windows-1252 leaves undefined pass through as the C1 controls of the same number.
  EXPECT_EQ(table_.Element(1, 1), "\u0081\u008D\u008F\u0090\u009D€");
  ASSERT_TRUE(LoadBytes(b.Bytes(), 1252));
  EXPECT_EQ(table_.Element(1, 1), "\u0081\u008D\u008F\u0090\u009D€");
  ASSERT_TRUE(LoadBytes(b.Bytes(), 866));
  EXPECT_EQ(table_.Element(2, 1), "При");
  ASSERT_TRUE(LoadBytes(b.Bytes(), 65001));
  EXPECT_EQ(table_.Element(1, 1), "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");  // invalid UTF-8, replaced, never an error

  // An unsupported page empties every value but reads everything else.
  ASSERT_TRUE(LoadBytes(b.Bytes(), 12345));
  EXPECT_EQ(table_.Element(1, 1), "");
  EXPECT_EQ(table_.RecordCount(), 2);
  EXPECT_EQ(table_.FieldName(1), "Name");
}

TEST_F(DBaseTest, ValuesOfEveryLengthAndByteDecodeAsCUnicodeDoes) {
  // Long and short values, high bytes at every position: the bulk paths must agree with the plain conversion.
  DBaseTableBuilder b;
  b.Field("Long", 255).Field("Mid", 17).Field("Short", 3);
  uint32_t state = 12345;
  const auto next = [&state] { return state = state * 1103515245u + 12345u; };
  std::vector<std::vector<std::string>> rows;
  for (int r = 0; r < 300; ++r) {
    std::vector<std::string> values;
    for (const size_t width : {size_t{255}, size_t{17}, size_t{3}}) {
      std::string value(next() % (width + 1), ' ');
      for (char& c : value) {
        const uint32_t roll = (next() >> 8) % 100;
        c = static_cast<char>(roll < 80 ? 0x21 + (next() >> 8) % 0x5E : roll < 95 ? 0x80 + (next() >> 8) % 0x80 : (next() >> 8) % 0x21);
      }
      values.push_back(value);
    }
    b.Record(values);
    rows.push_back(values);
  }
  for (const int32_t codepage : {0, 1251, 866, 437, 932, 65001}) {
    ASSERT_TRUE(LoadBytes(b.Bytes(), codepage));
    for (int32_t r = 1; r <= 300; ++r) {
      for (int32_t f = 1; f <= 3; ++f) {
        std::string raw = rows[static_cast<size_t>(r - 1)][static_cast<size_t>(f - 1)];
        while (!raw.empty() && raw.back() == ' ') raw.pop_back();
        const std::string expected = clsDBase::CUnicode(std::vector<uint8_t>(raw.begin(), raw.end()), codepage);
        ASSERT_EQ(table_.Element(r, f), expected) << "code page " << codepage << " record " << r << " field " << f;
      }
    }
  }
}

TEST_F(DBaseTest, FieldNamesAlwaysDecodeInTheDefaultPage) {
  DBaseTableBuilder b;
  b.Field("Stra\xDF" "e", 2);
  b.Record({"x"});
  ASSERT_TRUE(LoadBytes(b.Bytes(), 866));
  EXPECT_EQ(table_.FieldName(1), "Straße");
  EXPECT_EQ(table_.FieldNumber("STRAßE"), 1);
  // Linux folds ß to ss; Windows' simple casing keeps it a letter of its own.
  EXPECT_EQ(table_.FieldNumber("STRASSE"), test_support::kWindows ? -1 : 1);
}

TEST_F(DBaseTest, ShortFileReadsZerosNeverBytesOfAnEarlierTable) {
  DBaseTableBuilder longTable;
  longTable.Field("Name", 8).Field("Path", 8);
  for (int i = 0; i < 50; ++i) longTable.Record({"LEFTOVER", "LEFTOVER"}, '*');
  ASSERT_TRUE(LoadBytes(longTable.Bytes()));

  DBaseTableBuilder shortTable;
  shortTable.Field("Name", 8).Field("Path", 8);
  shortTable.Record({"first", "one"}).Record({"second", "two"}).Record({"third", "three"});
  shortTable.endOfFileMarker = false;
  std::string bytes = shortTable.Bytes();
  bytes.resize(bytes.size() - 17 - 12);  // cut inside record 2's first value
  ASSERT_TRUE(LoadBytes(bytes));
  EXPECT_TRUE(table_.Corrupt());
  EXPECT_EQ(table_.RecordCount(), 3);
  EXPECT_EQ(table_.Element(1, 2), "one");
  EXPECT_EQ(table_.Element(2, 1), std::string("seco\0\0\0\0", 8));
  EXPECT_EQ(table_.Element(2, 2), std::string(8, '\0'));
  EXPECT_EQ(table_.Element(3, 1), std::string(8, '\0'));
  EXPECT_FALSE(table_.RecordDeleted(3));
  EXPECT_EQ(table_.Table().Rows(), 3);

  // Header and descriptors cut off: zero counts, still loaded.
  ASSERT_TRUE(LoadBytes(std::string("\x03\x01\x02", 3)));
  EXPECT_EQ(table_.RecordCount(), 0);
  EXPECT_EQ(table_.FieldCount(), -1);
  EXPECT_TRUE(table_.Corrupt());
  ASSERT_TRUE(LoadBytes(""));
  EXPECT_TRUE(table_.Loaded());
}

TEST_F(DBaseTest, CloseFileKeepsTheLastTableInMemory) {
  ASSERT_TRUE(LoadBytes(ProjectList().Bytes()));
  const TextTable before = table_.Table();
  table_.CloseFile();
  EXPECT_FALSE(table_.Loaded());
  EXPECT_TRUE(table_.File().empty());
  EXPECT_EQ(table_.RecordCount(), 0);
  EXPECT_EQ(table_.FieldCount(), 0);
  EXPECT_EQ(table_.FieldNumber("Name"), -1);
  EXPECT_EQ(table_.FieldName(1), "");
  EXPECT_EQ(table_.FieldLength(1), -1);
  EXPECT_FALSE(table_.RecordDeleted(2));
  EXPECT_EQ(table_.Element(1, 1), "Alpha");
  EXPECT_EQ(table_.Table(), before);
  EXPECT_EQ(table_.DeletedTable().Count(), 3);

  EXPECT_FALSE(table_.Load(folder_.PathOf("absent.dbf"), 0));
  EXPECT_EQ(table_.Element(1, 1), "Alpha");
  table_.CloseFile();  // nothing loaded: nothing happens
  EXPECT_EQ(table_.Element(2, 2), "D:\\Beta");
}

TEST_F(DBaseTest, SecondLoadReplacesTheFirst) {
  ASSERT_TRUE(LoadBytes(ProjectList().Bytes()));
  const std::string first = path_;
  DBaseTableBuilder pages;
  pages.Field("Name", 12).Record({"Overview"});
  ASSERT_TRUE(LoadBytes(pages.Bytes()));
  EXPECT_NE(path_, first);
  EXPECT_EQ(table_.File(), path_);
  EXPECT_EQ(table_.RecordCount(), 1);
  EXPECT_EQ(table_.Element(1, 1), "Overview");
  EXPECT_EQ(table_.Element(3, 1), "");
  EXPECT_EQ(table_.DeletedTable().Count(), 1);
  // The first file is closed: it can be removed and replaced freely.
  std::filesystem::remove(ToNativePath(first));
}

TEST_F(DBaseTest, WritesChangeOnlyTheCopyInMemory) {
  ASSERT_TRUE(LoadBytes(ProjectList().Bytes()));
  table_.Element(2, 1, "Renamed");
  EXPECT_EQ(table_.Element(2, 1), "Renamed");
  EXPECT_EQ(table_.Element(1, 1), "Alpha");
  for (const auto& [row, col] : {std::pair{0, 1}, std::pair{4, 1}, std::pair{1, 0}, std::pair{1, 3}}) {
    try {
      table_.Element(row, col, "x");
      FAIL() << row << "," << col;
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), kErrOutOfRange);
    }
  }

  TextTable replacement(1, 5);
  replacement.At(1, 5) = "wide";
  table_.Table(replacement);
  EXPECT_EQ(table_.Element(1, 5), "wide");
  EXPECT_EQ(table_.Element(2, 1), "");
  EXPECT_EQ(table_.RecordCount(), 3);
  EXPECT_EQ(table_.FieldCount(), 2);
  table_.Table(TextTable());
  EXPECT_FALSE(table_.Table().HasElements());
  EXPECT_THROW(table_.Element(1, 1, "x"), Error);

  // The next load brings the file's values back.
  ASSERT_TRUE(table_.Load(path_, 0));
  EXPECT_EQ(table_.Element(2, 1), "Beta");
}

TEST_F(DBaseTest, PositionErrorsCarryTheirNumbersAndNameTheFile) {
  std::string description;
  DBaseTableBuilder header32767 = ProjectList();
  header32767.headerLength = 32767;
  EXPECT_EQ(LoadError(header32767.Bytes(), &description), kErrOverflow);
  EXPECT_NE(description.find((path_)), std::string::npos) << description;
  EXPECT_TRUE(table_.Loaded());  // no clean-up after a failed load
  EXPECT_EQ(table_.File(), path_);

  DBaseTableBuilder negativeRecords = ProjectList();
  negativeRecords.recordLength = -40;
  EXPECT_EQ(LoadError(negativeRecords.Bytes(), &description), kErrNegativePosition);
  EXPECT_NE(description.find((path_)), std::string::npos) << description;
  // Records before the failure were read.
  EXPECT_EQ(table_.Element(1, 1), "Alpha");
  // Records after a failure part-way are empty texts in a table of full size.
  negativeRecords.recordLength = -60;
  EXPECT_EQ(LoadError(negativeRecords.Bytes()), kErrNegativePosition);
  const TextTable partial = table_.Table();
  ASSERT_EQ(partial.Rows(), 3);
  EXPECT_EQ(partial.At(1, 1), "Alpha");
  EXPECT_EQ(partial.At(3, 2), "");
  EXPECT_EQ(table_.Element(3, 1), "");

  DBaseTableBuilder negativeHeader;
  negativeHeader.headerLength = -200;
  EXPECT_EQ(LoadError(negativeHeader.Bytes()), kErrNegativePosition);

  // Positions past 2^31 overflow, whether the table is small enough to start reading or not.
  DBaseTableBuilder farRecords = ProjectList();
  farRecords.recordLength = 32767;
  farRecords.recordCount = 70000;
  EXPECT_EQ(LoadError(farRecords.Bytes()), kErrOverflow);
  farRecords.recordCount = 0x7FFFFFFF;
  EXPECT_EQ(LoadError(farRecords.Bytes()), kErrOverflow);
  DBaseTableBuilder negativeCount = ProjectList();
  negativeCount.recordCount = -0x7FFFFFFF;
  EXPECT_EQ(LoadError(negativeCount.Bytes()), kErrOverflow);
}

TEST_F(DBaseTest, RecordsWithoutFieldsAreOutOfRange) {
  DBaseTableBuilder noFields;
  noFields.headerLength = 40;
  noFields.recordCount = 2;
  std::string bytes = noFields.Bytes() + std::string(20, ' ');
  std::string description;
  EXPECT_EQ(LoadError(bytes, &description), kErrOutOfRange);
  EXPECT_NE(description.find("no fields"), std::string::npos) << description;
  EXPECT_TRUE(table_.Loaded());
  EXPECT_FALSE(table_.RecordDeleted(1));

  // Even a huge record count costs nothing before the error.
  noFields.recordCount = 0x7FFFFFFF;
  EXPECT_EQ(LoadError(noFields.Bytes()), kErrOutOfRange);
}

TEST_F(DBaseTest, HeaderClaimingFarMoreRecordsThanTheFileHoldsIsRefused) {
  DBaseTableBuilder hostile = ProjectList();
  hostile.recordCount = 50'000'000;
  std::string description;
  EXPECT_EQ(LoadError(hostile.Bytes(), &description), kErrTableTooLarge);
  EXPECT_NE(description.find((path_)), std::string::npos) << description;
  EXPECT_NE(description.find("50000000"), std::string::npos) << description;

  // Many zero-length fields with a tiny record length cost a value each: counted too.
  DBaseTableBuilder manyFields;
  for (int i = 0; i < 1000; ++i) manyFields.Field("F" + std::to_string(i), 0);
  manyFields.recordLength = 1;
  manyFields.recordCount = 100'000;
  EXPECT_EQ(LoadError(manyFields.Bytes()), kErrTableTooLarge);

  // Records that all start at the same place still cost memory each.
  DBaseTableBuilder overlapping = ProjectList();
  overlapping.recordLength = 0;
  overlapping.recordCount = 0x7FFFFFFF;
  EXPECT_EQ(LoadError(overlapping.Bytes()), kErrTableTooLarge);
}

TEST_F(DBaseTest, OrdinaryTruncatedTableStillLoads) {
  // Claims 8,000 records of 31 bytes (248 kB) with three present: inside the margin, the rest read as zeros.
  DBaseTableBuilder truncated = ProjectList();
  truncated.recordCount = 8'000;
  ASSERT_TRUE(LoadBytes(truncated.Bytes()));
  EXPECT_TRUE(table_.Corrupt());
  EXPECT_EQ(table_.RecordCount(), 8'000);
  EXPECT_EQ(table_.Element(3, 1), "Gamma");
  EXPECT_EQ(table_.Element(8'000, 1), std::string(10, '\0'));
  // Just past the margin the same table is refused.
  truncated.recordCount = 9'000;
  EXPECT_EQ(LoadError(truncated.Bytes()), kErrTableTooLarge);

  // A large table (several megabytes, held differently from small ones) missing its last third loads too.
  DBaseTableBuilder big;
  big.Field("Name", 100);
  for (int i = 0; i < 60'000; ++i) big.Record({"record " + std::to_string(i)});
  std::string bytes = big.Bytes();
  bytes.resize(bytes.size() * 2 / 3);
  ASSERT_TRUE(LoadBytes(bytes));
  EXPECT_EQ(table_.Element(60'000, 1), std::string(100, '\0'));
  EXPECT_EQ(table_.Element(1000, 1), "record 999");
  EXPECT_EQ(table_.Element(39'999, 1), "record 39998");
}

TEST_F(DBaseTest, LoadFromMemoryReadsAsLoadDoes) {
  const std::string bytes = ProjectList().Bytes();
  ASSERT_TRUE(LoadBytes(bytes));
  const TextTable fromFile = table_.Table();
  clsDBase memory;
  memory.LoadFromMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), "in memory", 0);
  EXPECT_TRUE(memory.Loaded());
  EXPECT_EQ(memory.File(), "in memory");
  EXPECT_EQ(memory.Table(), fromFile);
  EXPECT_EQ(memory.DeletedTable(), table_.DeletedTable());
}

// Tables written by python3-dbf (tests/data/make_tables.py holds the same values).
TEST(DBaseWrittenElsewhere, Cp1252TableReadsValueByValue) {
  clsDBase table;
  ASSERT_TRUE(table.Load(FromNativePath(std::filesystem::path(MORVEX_TEST_DATA_DIR) / "projects_cp1252.dbf"), 1252));
  EXPECT_FALSE(table.Corrupt());
  ASSERT_EQ(table.RecordCount(), 5);
  ASSERT_EQ(table.FieldCount(), 4);
  const char* names[] = {"NAME", "PATH", "NOTE", "COUNT"};
  const int32_t lengths[] = {20, 40, 30, 6};
  for (int32_t f = 1; f <= 4; ++f) {
    EXPECT_EQ(table.FieldName(f), names[f - 1]);
    EXPECT_EQ(table.FieldLength(f), lengths[f - 1]);
  }
  const std::string expected[5][4] = {
      {"Café Süd", "C:\\Projekte\\Café", "Prix 5 €", "    42"},
      {"Straße", "D:\\Werk\\Straße", "Ärger œ Š ž", "     7"},
      {"Include", "C:\\SCADA\\Include", "", "     0"},
      {"Indented", "", "trailing", "   -15"},  // the writer drops leading blanks of text
      {"Ñandú", "E:\\ñ", "«quoted» ±½", "123456"},
  };
  const bool deleted[5] = {false, true, false, false, true};
  for (int32_t r = 1; r <= 5; ++r) {
    EXPECT_EQ(table.RecordDeleted(r), deleted[r - 1]) << r;
    for (int32_t f = 1; f <= 4; ++f) EXPECT_EQ(table.Element(r, f), expected[r - 1][f - 1]) << r << "," << f;
  }
  // Code page 0 is Windows-1252 here.
  ASSERT_TRUE(table.Load(table.File(), 0));
  EXPECT_EQ(table.Element(2, 3), "Ärger œ Š ž");
}

TEST(DBaseWrittenElsewhere, Cp866TableAndEmptyTable) {
  clsDBase table;
  ASSERT_TRUE(table.Load(FromNativePath(std::filesystem::path(MORVEX_TEST_DATA_DIR) / "pages_cp866.dbf"), 866));
  EXPECT_FALSE(table.Corrupt());
  ASSERT_EQ(table.RecordCount(), 4);
  EXPECT_EQ(table.FieldNumber("Name"), 1);
  const std::string expected[] = {"Главная", "Насос №1", "Удалённая", "Ёлка"};
  for (int32_t r = 1; r <= 4; ++r) {
    EXPECT_EQ(table.Element(r, 1), expected[r - 1]);
    EXPECT_EQ(table.RecordDeleted(r), r == 3);
  }

  ASSERT_TRUE(table.Load(FromNativePath(std::filesystem::path(MORVEX_TEST_DATA_DIR) / "empty_cp1252.dbf"), 0));
  EXPECT_FALSE(table.Corrupt());
  EXPECT_EQ(table.RecordCount(), 0);
  EXPECT_EQ(table.FieldCount(), 2);
  EXPECT_FALSE(table.Table().HasElements());
  EXPECT_EQ(table.Element(1, 1), "");  // the earlier table's values are gone
}

TEST(DBaseHelpers, CUnicodeAndToNull) {
  EXPECT_EQ(clsDBase::CUnicode({}, 0), "");
  EXPECT_EQ(clsDBase::CUnicode({0x41, 0x00, 0xE9}, 0), std::string("A\0é", 4));
  EXPECT_EQ(clsDBase::CUnicode({0x41}, 99999), "");
  EXPECT_EQ(clsDBase::ToNull(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(clsDBase::ToNull("abc"), "abc");
  EXPECT_EQ(clsDBase::ToNull(std::string("\0x", 2)), "");
}

TEST(DBaseHelpers, FreshInstanceAnswersEmpty) {
  clsDBase table;
  EXPECT_FALSE(table.Loaded());
  EXPECT_FALSE(table.Corrupt());
  EXPECT_EQ(table.Codepage(), 0);
  EXPECT_EQ(table.RecordCount(), 0);
  EXPECT_EQ(table.FieldCount(), 0);
  EXPECT_EQ(table.FieldNumber("Name"), -1);
  EXPECT_EQ(table.Element(1, 1), "");
  EXPECT_FALSE(table.Table().HasElements());
  EXPECT_THROW(table.Element(1, 1, "x"), Error);
}
