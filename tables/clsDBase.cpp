// clsDBase: loading a dBase table into memory and answering questions about its fields, values and deletions.
#include "clsDBase.h"


#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>

#include "Error.h"
#include "TextUtil.h"
#include "basFileTools.h"

namespace morvex {

namespace {

constexpr uint8_t kDeletedMark = 0x2A;
constexpr uint8_t kHeaderTerminator = 0x0D;
constexpr uint8_t kEndOfFileMarker = 0x1A;
constexpr uint8_t kPadding = 0x20;

// A table whose records lie beyond the end of its file is still read (the missing bytes as zeros), as long as
// what it claims stays within twice what the file holds after its header plus this much. Past that the header
// cannot describe the file it sits in, and reading it would cost memory and time for every record it invents.
constexpr int64_t kMissingRecordsMargin = int64_t{256} << 10;

int32_t ReadInt32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

int16_t ReadInt16(const uint8_t* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
}

// Only trailing 0x20 bytes go; values are padded with them, often to half their width, so eight at a time.
size_t TrimmedLength(const uint8_t* value, size_t length) {
  constexpr uint64_t kEightSpaces = 0x2020202020202020ull;
  if constexpr (std::endian::native == std::endian::little) {
    while (length >= 8) {
      uint64_t word;
      std::memcpy(&word, value + length - 8, sizeof word);
      const uint64_t differs = word ^ kEightSpaces;
      // The last byte is the word's most significant: its leading zero bytes are the trailing spaces.
      if (differs != 0) return length - static_cast<size_t>(std::countl_zero(differs) / 8);
      length -= 8;
    }
  }
  while (length > 0 && value[length - 1] == kPadding) --length;
  return length;
}

}  // namespace

// Single-byte pages hand their byte table to the packed cells, which decode when read; other pages decode
// value by value while loading.
class TableValueDecoder {
 public:
  explicit TableValueDecoder(int32_t codepage) : decoder_(codepage) {}

  const PackedCells::ByteTable* ByteTable() const { return decoder_.ByteTable(); }

  void AppendTo(PackedCells& cells, const uint8_t* bytes, size_t count) {
    if (count == 0) return;
    scratch_.clear();
    decoder_.DecodeAppend(bytes, count, scratch_);
    cells.AppendText(scratch_.data(), scratch_.size());
  }

 private:
  CodePageDecoder decoder_;
  std::string scratch_;
};

clsDBase::clsDBase() : headerSize_(32), descriptorSize_(32), corrupt_(false) {}

clsDBase::~clsDBase() {
  CloseFile();
}

bool clsDBase::Load(const std::string& sFileGiven, int32_t nCodepage) {
  const std::string sFile = sFileGiven;  // the caller may pass File() itself, which CloseFile clears
  if (loaded_) CloseFile();
  tableFile_.Close();  // left by a load that failed before the header was read
  codepage_ = nCodepage;
  openError_.clear();
  if (!FileExists(sFile)) return false;
  const std::string& name = sFile;
  ReadOnlyFile table;
  const std::error_code error = ReadOnlyFile::Open(ToNativePath(sFile), table);
  // Something other than a file put there after the test is what the test would have called missing.
  if (error == FileOpenError::kNotOrdinaryFile) return false;
  file_ = sFile;
  openError_ = error;
  if (error) throw Error(kErrFileOpen, "Cannot open table \"" + name + "\": " + error.message());
  tableFile_ = std::move(table);
  TableBytes bytes(tableFile_, name);
  ReadTable(bytes);
  return true;
}

void clsDBase::LoadFromMemory(const uint8_t* bytes, size_t size, const std::string& sNameGiven,
                              int32_t nCodepage) {
  const std::string sName = sNameGiven;  // may be File() itself, which CloseFile clears
  if (loaded_) CloseFile();
  codepage_ = nCodepage;
  file_ = sName;
  TableBytes source(bytes, size, sName);
  ReadTable(source);
}

void clsDBase::CloseFile() {
  if (!loaded_) return;
  file_.clear();
  tableFile_.Close();
  loaded_ = false;
  corrupt_ = false;
  badTerminator_ = false;
  badEndMarker_ = false;
}

std::string clsDBase::CorruptReason() const {
  if (!corrupt_) return {};
  const int64_t headerLength = header_.HeaderLength;
  const int64_t recordLength = header_.RecordLength;
  const int64_t records = header_.Records;
  const int64_t headerEnd = headerSize_ + int64_t{descriptorSize_} * std::max(FieldCount(), 0) + 1;
  // A file cut inside its header has no records and no marker either: saying so too would only repeat it.
  if (fileSize_ == 0) return "it is empty (0 bytes)";
  if (fileSize_ < headerEnd) return "it ends inside its header, after " + std::to_string(fileSize_) + " bytes";
  std::string reason;
  if (badTerminator_) {
    reason = "its header has no terminator after its " + std::to_string(FieldCount()) + " field descriptors";
  }
  if (badEndMarker_) {
    if (!reason.empty()) reason += "; ";
    if (fileSize_ < headerLength + records * recordLength && recordLength > 0) {
      const int64_t held = std::max<int64_t>(0, fileSize_ - headerLength) / recordLength;
      reason += "its header counts " + std::to_string(records) + (records == 1 ? " record" : " records") +
                ", the file holds " + std::to_string(held);
    } else {
      reason += "it has no end-of-file marker after its " + std::to_string(records) +
                (records == 1 ? " record" : " records");
    }
  }
  return reason;
}

void clsDBase::Fail(int32_t number, const std::string& reason) const {
  throw Error(number, "Cannot read table \"" + file_ + "\": " + reason);
}

void clsDBase::ReadTable(TableBytes& bytes) {
  fileSize_ = bytes.Size();
  ReadHeader(bytes);
  ReadFieldDescriptors(bytes);
  ReadRecords(bytes);
}

void clsDBase::ReadHeader(TableBytes& bytes) {
  const uint8_t* raw = bytes.Bytes(0, static_cast<size_t>(headerSize_));
  TableHeader header;
  header.Version = raw[0];
  std::memcpy(header.LastUpdate, raw + 1, sizeof header.LastUpdate);
  header.Records = ReadInt32(raw + 4);
  header.HeaderLength = ReadInt16(raw + 8);
  header.RecordLength = ReadInt16(raw + 10);
  std::memcpy(header.Reserved, raw + 12, sizeof header.Reserved);
  header_ = header;
  loaded_ = true;
}

void clsDBase::ReadFieldDescriptors(TableBytes& bytes) {
  const int32_t count = FieldCount();
  if (count <= 0) return;
  // Names are always decoded in the default page: they are identifiers, whatever page the values use.
  const CodePageDecoder nameDecoder(0);
  NumberedArray<FieldDescriptor> descriptors(count);
  const size_t size = static_cast<size_t>(descriptorSize_);
  const uint8_t* raw = bytes.Bytes(headerSize_, size * static_cast<size_t>(count));
  for (int32_t i = 1; i <= count; ++i, raw += size) {
    FieldDescriptor& d = descriptors.At(i);
    d.Name = nameDecoder.Decode(raw, 11);
    d.FieldType = nameDecoder.Decode(raw + 11, 1);
    std::memcpy(d.Address, raw + 12, sizeof d.Address);
    d.Length = raw[16];
    d.Decimals = raw[17];
    d.Reserved1 = raw[18];
    std::memcpy(d.Reserved2, raw + 19, sizeof d.Reserved2);
    d.Reserved3 = raw[23];
    std::memcpy(d.Reserved4, raw + 24, sizeof d.Reserved4);
  }
  descriptors_ = std::move(descriptors);
  const int64_t terminator = headerSize_ + int64_t{descriptorSize_} * count;
  if (bytes.Bytes(terminator, 1)[0] != kHeaderTerminator) corrupt_ = badTerminator_ = true;
}

void clsDBase::ClearValues() {
  packedCells_.Clear();
  values_ = TextTable();
  packed_ = true;
  deleted_ = FlagArray();
}

void clsDBase::CheckRecordArea(int32_t records, int32_t fields, int64_t fileSize) const {
  const int64_t headerLength = header_.HeaderLength;
  const int64_t recordLength = header_.RecordLength;
  int64_t valueBytes = 0;
  for (int32_t f = 1; f <= fields; ++f) valueBytes += descriptors_.At(f).Length;
  const int64_t perRecord = std::max({recordLength, 1 + valueBytes, int64_t{fields}});
  const int64_t claimed = int64_t{records} * perRecord;
  const int64_t held = std::max<int64_t>(0, fileSize - headerLength);
  if (claimed <= 2 * held + kMissingRecordsMargin) return;

  // Reading would fail part-way anyway; say why without first paying for the records before the failure.
  const int64_t lastStart = headerLength + (int64_t{records} - 1) * recordLength;
  if (recordLength < 0 && lastStart < 0) {
    Fail(kErrNegativePosition, "its record length " + std::to_string(recordLength) +
                                   " places records before the start of the file");
  }
  if (lastStart + 2 + valueBytes > INT32_MAX || headerLength + int64_t{records} * recordLength + 1 > INT32_MAX) {
    Fail(kErrOverflow, "its " + std::to_string(records) + " records of " + std::to_string(recordLength) +
                           " bytes reach past the largest file position (overflow)");
  }
  Fail(kErrTableTooLarge, "its header claims " + std::to_string(records) + " records of " +
                              std::to_string(perRecord) + " bytes, but the file holds only " +
                              std::to_string(held) + " bytes of records; the file is cut short or not a table");
}

// A position counted from 1 must fit in 32 bits; a position before the file's start cannot be read.
void clsDBase::CheckPosition(int64_t offset, const char* what) const {
  if (offset + 1 > INT32_MAX || offset + 1 < INT32_MIN) {
    Fail(kErrOverflow, std::string("the position of ") + what + " does not fit in 32 bits (overflow)");
  }
  if (offset < 0) {
    Fail(kErrNegativePosition, std::string("the position of ") + what + ", " + std::to_string(offset) +
                                   ", lies before the start of the file (negative header or record length)");
  }
}

void clsDBase::ReadRecords(TableBytes& bytes) {
  const int32_t headerLength = header_.HeaderLength;
  const int32_t recordLength = header_.RecordLength;
  // The first record's position counted from 1 is held in 16 bits, as the format's header length is.
  if (headerLength + 1 > INT16_MAX) Fail(kErrOverflow, "its header length 32767 leaves no room for records (overflow)");

  const int32_t records = header_.Records;
  const int32_t fields = FieldCount();
  ClearValues();
  std::vector<size_t> lengths;
  size_t valueBytes = 0;
  if (records >= 1 && fields >= 1) {
    CheckRecordArea(records, fields, bytes.Size());
    lengths.reserve(static_cast<size_t>(fields));
    for (int32_t f = 1; f <= fields; ++f) {
      lengths.push_back(descriptors_.At(f).Length);
      valueBytes += lengths.back();
    }
    deleted_ = FlagArray(records);
  }

  TableValueDecoder decoder(codepage_);
  try {
    if (records >= 1 && fields >= 1 && decoder.ByteTable() != nullptr) {
      ReadRecordImage(bytes, *decoder.ByteTable(), lengths, valueBytes);
    } else {
      if (records >= 1 && fields >= 1) {
        packedCells_.StartText(records, fields, static_cast<size_t>(records) * valueBytes);
      }
      ReadRecordValues(bytes, decoder, lengths, valueBytes);
    }
  } catch (...) {
    // A load that fails part-way leaves the records it did not reach as empty texts, never as unset cells.
    packedCells_.EndEarly();
    throw;
  }

  const int64_t endOfFile = headerLength + int64_t{records} * recordLength;
  CheckPosition(endOfFile, "the end-of-file marker");
  if (bytes.Bytes(endOfFile, 1)[0] != kEndOfFileMarker) corrupt_ = badEndMarker_ = true;
}

void clsDBase::ReadRecordImage(TableBytes& bytes, const PackedCells::ByteTable& byteTable,
                               const std::vector<size_t>& lengths, size_t valueBytes) {
  const int64_t headerLength = header_.HeaderLength;
  const int64_t recordLength = header_.RecordLength;
  const int32_t records = header_.Records;
  const int32_t fields = static_cast<int32_t>(lengths.size());
  // One read covers every record that can be read: from the lowest record start to the end of the highest
  // record's values, cut to the positions that exist. Records outside it fail their position check first.
  const int64_t lastStart = headerLength + (int64_t{records} - 1) * recordLength;
  const int64_t low = std::max<int64_t>(0, std::min(headerLength, lastStart));
  const int64_t high =
      std::max(low, std::min<int64_t>(INT32_MAX, std::max(headerLength, lastStart) + 1 + static_cast<int64_t>(valueBytes)));
  LargeBytes image(static_cast<size_t>(high - low));
  bytes.ReadInto(low, image.Data(), image.Size());

  std::vector<uint32_t> fieldOffsets;
  fieldOffsets.reserve(lengths.size());
  uint32_t offset = 0;
  for (const size_t length : lengths) {
    fieldOffsets.push_back(offset);
    offset += static_cast<uint32_t>(length);
  }
  packedCells_.StartImage(records, fields, std::move(image), low, headerLength, recordLength, fieldOffsets, byteTable);
  const uint8_t* data = packedCells_.Image();

  // Record starts move one way, so the records whose positions all check out are a prefix; they need no
  // check each. The record after them is read the checked way and fails as it must.
  const int64_t lastValueEnd = static_cast<int64_t>(INT32_MAX) - 1 - 1 - static_cast<int64_t>(valueBytes);
  int64_t readable = records;
  if (recordLength > 0) {
    readable = lastValueEnd < headerLength ? 0 : (lastValueEnd - headerLength) / recordLength + 1;
  } else if (recordLength < 0) {
    readable = headerLength < 0 ? 0 : headerLength / -recordLength + 1;
  }
  readable = std::clamp<int64_t>(readable, 0, records);
  if (headerLength < 0 || headerLength > lastValueEnd) readable = 0;

  size_t cell = 0;
  const auto readRecord = [&](int32_t r, int64_t start) {
    deleted_.At(r) = data[start - low] == kDeletedMark ? 1 : 0;
    const uint8_t* record = data + (start + 1 - low);
    for (int32_t f = 0; f < fields; ++f) {
      const size_t length = lengths[static_cast<size_t>(f)];
      packedCells_.SetLength(cell++, static_cast<uint8_t>(TrimmedLength(record + fieldOffsets[static_cast<size_t>(f)], length)));
    }
  };
  for (int32_t r = 1; r <= readable; ++r) readRecord(r, headerLength + (int64_t{r} - 1) * recordLength);
  for (int64_t r = readable + 1; r <= records; ++r) {
    const int64_t start = headerLength + (r - 1) * recordLength;
    CheckPosition(start, "a record");
    deleted_.At(static_cast<int32_t>(r)) = data[start - low] == kDeletedMark ? 1 : 0;
    CheckPosition(start + 1 + static_cast<int64_t>(valueBytes), "a value");
    readRecord(static_cast<int32_t>(r), start);
  }
}

void clsDBase::ReadRecordValues(TableBytes& bytes, TableValueDecoder& decoder,
                                const std::vector<size_t>& lengths, size_t valueBytes) {
  const int32_t headerLength = header_.HeaderLength;
  const int32_t recordLength = header_.RecordLength;
  const int32_t records = header_.Records;
  for (int32_t r = 1; r <= records; ++r) {
    const int64_t start = headerLength + (int64_t{r} - 1) * recordLength;
    CheckPosition(start, "a record");
    const bool deleted = bytes.Bytes(start, 1)[0] == kDeletedMark;
    if (!deleted_.HasElements()) {
      Fail(kErrOutOfRange, "its header claims " + std::to_string(records) +
                               " records but no fields (header length " + std::to_string(headerLength) + ")");
    }
    RecordDeleted(r, deleted);
    CheckPosition(start + 1 + static_cast<int64_t>(valueBytes), "a value");
    const uint8_t* value = bytes.Bytes(start + 1, valueBytes);
    for (const size_t length : lengths) {
      const size_t kept = TrimmedLength(value, length);
      decoder.AppendTo(packedCells_, value, kept);
      packedCells_.EndCell();
      value += length;
    }
  }
}

int32_t clsDBase::RecordCount() const { return loaded_ ? header_.Records : 0; }

int32_t clsDBase::FieldCount() const {
  return loaded_ ? (int32_t{header_.HeaderLength} - headerSize_) / descriptorSize_ : 0;
}

int32_t clsDBase::FieldNumber(std::string_view sField) const {
  if (!loaded_) return -1;
  if (!descriptors_.HasElements()) {
    Fail(kErrOutOfRange, std::string(corrupt_ ? "it is damaged and " : "it ") + "has no fields to look \"" +
                             std::string(sField) + "\" up in");
  }
  for (int32_t i = descriptors_.LowerBound(); i <= descriptors_.UpperBound(); ++i) {
    if (EqualsIgnoreCase(sField, ToNull(descriptors_.At(i).Name))) return i;
  }
  return -1;
}

std::string clsDBase::FieldName(int32_t nField) const {
  if (!loaded_ || nField < 1 || nField > FieldCount() || !descriptors_.Contains(nField)) return {};
  return ToNull(descriptors_.At(nField).Name);
}

int32_t clsDBase::FieldLength(int32_t nField) const {
  if (!loaded_ || nField < 1 || nField > FieldCount() || !descriptors_.Contains(nField)) return -1;
  return descriptors_.At(nField).Length;
}

std::string clsDBase::Element(int32_t nRow, int32_t nCol) const {
  std::string value;
  ReadElement(nRow, nCol, value);
  return value;
}

void clsDBase::Element(int32_t nRow, int32_t nCol, const std::string& sValue) {
  const bool inside = packed_ ? packedCells_.Contains(nRow, nCol) : values_.Contains(nRow, nCol);
  if (!inside) ThrowOutOfRange();
  Unpack();
  values_.At(nRow, nCol) = sValue;
}

TextTable clsDBase::Table() const { return packed_ ? packedCells_.ToTable() : values_; }

void clsDBase::Table(const TextTable& sRecords) {
  values_ = sRecords;
  packed_ = false;
  packedCells_.Clear();
}

const TextTable& clsDBase::Values() const {
  Unpack();
  return values_;
}

void clsDBase::Unpack() const {
  if (!packed_) return;
  values_ = Table();
  packed_ = false;
  packedCells_.Clear();
}

bool clsDBase::RecordDeleted(int32_t nRecord) const {
  if (!loaded_ || nRecord < 1 || nRecord > RecordCount() || !deleted_.Contains(nRecord)) return false;
  return deleted_.At(nRecord) != 0;
}

void clsDBase::RecordDeleted(int32_t nRecord, bool bValue) {
  if (!loaded_ || nRecord < 1 || nRecord > RecordCount()) return;
  deleted_.At(nRecord) = bValue ? 1 : 0;  // error 9 when the table has records but no flags (no fields)
}

std::string clsDBase::CUnicode(const std::vector<uint8_t>& ANSI, int32_t nCodepage) {
  if (ANSI.empty()) return {};
  return DecodeCodePage(ANSI.data(), ANSI.size(), nCodepage);
}

std::string clsDBase::ToNull(const std::string& InputText) {
  const size_t nul = InputText.find('\0');
  return nul == std::string::npos ? InputText : InputText.substr(0, nul);
}

}  // namespace morvex
