// clsDBase: reads one dBase table file whole into memory and answers field, value and deletion questions.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "CodePage.h"
#include "PackedCells.h"
#include "TableBytes.h"
#include "TextTable.h"

namespace morvex {

class TableValueDecoder;

#pragma pack(push, 1)
struct TableHeader {
  uint8_t Version = 0;
  uint8_t LastUpdate[3] = {};
  int32_t Records = 0;
  int16_t HeaderLength = 0;
  int16_t RecordLength = 0;
  uint8_t Reserved[20] = {};
};
#pragma pack(pop)
static_assert(sizeof(TableHeader) == 32);

struct FieldDescriptor {
  std::string Name;       // the 11 bytes as read, decoded; cut at the first NUL when compared or returned
  std::string FieldType;  // the 1 byte as read, decoded
  uint8_t Address[4] = {};
  uint8_t Length = 0;
  uint8_t Decimals = 0;
  uint8_t Reserved1 = 0;
  uint8_t Reserved2[4] = {};
  uint8_t Reserved3 = 0;
  uint8_t Reserved4[8] = {};
};

// Only reads: the members that change values change the copy in memory alone.
class clsDBase {
 public:
  clsDBase();
  ~clsDBase();
  clsDBase(const clsDBase&) = delete;
  clsDBase& operator=(const clsDBase&) = delete;

  // True when the file exists and was read (even when Corrupt), false when it does not exist.
  // Throws Error for a file that cannot be opened or read, overflow (6), out of range (9).
  bool Load(const std::string& sFile, int32_t nCodepage);
  void CloseFile();

  bool Loaded() const { return loaded_; }
  bool Corrupt() const { return corrupt_; }
  const std::string& File() const { return file_; }
  int32_t Codepage() const { return codepage_; }
  void Codepage(int32_t nCodepage) { codepage_ = nCodepage; }

  int32_t RecordCount() const;
  int32_t FieldCount() const;
  int32_t FieldNumber(std::string_view sField) const;
  std::string FieldName(int32_t nField) const;
  int32_t FieldLength(int32_t nField) const;

  std::string Element(int32_t nRow, int32_t nCol) const;                // never fails
  void Element(int32_t nRow, int32_t nCol, const std::string& sValue);  // error 9 outside the array

  TextTable Table() const;
  void Table(const TextTable& sRecords);
  FlagArray DeletedTable() const { return deleted_; }

  bool RecordDeleted(int32_t nRecord) const;
  void RecordDeleted(int32_t nRecord, bool bValue);

  static std::string CUnicode(const std::vector<uint8_t>& ANSI, int32_t nCodepage);
  static std::string ToNull(const std::string& InputText);

  // Beyond what callers of the interface need: direct access without copies, for the tools and the search.
  // Values() unpacks the values into a TextTable once (the first call costs a copy of the whole table).
  const TextTable& Values() const;
  const TableHeader& Header() const { return header_; }
  // Element into the caller's string, reusing its memory: reading a whole table costs no allocation per value.
  void ReadElement(int32_t nRow, int32_t nCol, std::string& sValue) const {
    if (packed_ && packedCells_.Contains(nRow, nCol)) {
      packedCells_.Read(nRow, nCol, sValue);
    } else if (!packed_ && values_.Contains(nRow, nCol)) {
      sValue = values_.At(nRow, nCol);
    } else {
      sValue.clear();
    }
  }
  // What makes a Corrupt table damaged, in words ("its header counts 9 records, the file holds 2"); empty when
  // it is not Corrupt.
  std::string CorruptReason() const;
  // The system's reason when the last Load threw because the file could not be opened; empty otherwise.
  const std::error_code& OpenError() const { return openError_; }
  // Loads a table held in memory as though it were the file sName: no file is opened or tested, and File
  // becomes sName. Used where the bytes never touch a disk, as fuzzing does. Same errors as Load.
  void LoadFromMemory(const uint8_t* bytes, size_t size, const std::string& sName, int32_t nCodepage);

 private:
  void ReadTable(TableBytes& bytes);
  void ReadHeader(TableBytes& bytes);
  void ReadFieldDescriptors(TableBytes& bytes);
  void ReadRecords(TableBytes& bytes);
  void ReadRecordImage(TableBytes& bytes, const PackedCells::ByteTable& byteTable, const std::vector<size_t>& lengths,
                       size_t valueBytes);
  void ReadRecordValues(TableBytes& bytes, TableValueDecoder& decoder, const std::vector<size_t>& lengths,
                        size_t valueBytes);
  void CheckPosition(int64_t offset, const char* what) const;
  void CheckRecordArea(int32_t records, int32_t fields, int64_t fileSize) const;
  [[noreturn]] void Fail(int32_t number, const std::string& reason) const;
  void Unpack() const;
  void ClearValues();

  std::string file_;
  ReadOnlyFile tableFile_;  // open from Load until CloseFile
  TableHeader header_;
  NumberedArray<FieldDescriptor> descriptors_;
  FlagArray deleted_;
  // The values as Load leaves them; unpacked into values_ on the first write (or Values()).
  mutable PackedCells packedCells_;
  // Once a value is written (or Values() asked for), the values live here instead and the packed form is gone.
  mutable TextTable values_;
  mutable bool packed_ = true;
  int32_t headerSize_ = 32;
  int32_t descriptorSize_ = 32;
  bool loaded_ = false;
  bool corrupt_ = false;
  bool badTerminator_ = false;
  bool badEndMarker_ = false;
  int64_t fileSize_ = 0;
  std::error_code openError_;
  int32_t codepage_ = 0;
};

}  // namespace morvex
