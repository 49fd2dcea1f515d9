// PackedCells: every value of a loaded table held compactly, records by fields, read back as UTF-8 on demand.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CodePage.h"
#include "LargeBuffer.h"
#include "TextTable.h"

namespace morvex {

// One string object per value would cost about three times the file in memory. Two compact forms:
// - single-byte code pages keep an image of the table's record bytes as read, plus one trimmed length per
//   cell; a cell is found from its record and field, and decoded through a 256-entry table when read. Loading
//   is then one large read and a pass that measures the trailing spaces.
// - other pages keep the decoded UTF-8 of every cell in one buffer, with the start of each cell.
class PackedCells {
 public:
  using ByteTable = Utf8ByteTable;

  // Empty, no bounds.
  void Clear();

  // Image form. image holds the file's bytes from imageBase on; record r (from 1) starts at
  // firstRecord + (r - 1) * recordLength in the file, and its field f at 1 + fieldOffsets[f - 1] after that.
  // Every cell reads empty until SetLength.
  void StartImage(int32_t rows, int32_t columns, LargeBytes image, int64_t imageBase, int64_t firstRecord,
                  int64_t recordLength, std::vector<uint32_t> fieldOffsets, const ByteTable& byteTable);
  const uint8_t* Image() const { return image_.Data(); }
  size_t ImageSize() const { return image_.Size(); }
  void SetLength(size_t cell, uint8_t length) { lengths_[cell] = length; }

  // Text form: cells are filled in order, each by AppendText calls and one EndCell.
  void StartText(int32_t rows, int32_t columns, size_t expectedUnits);
  void AppendText(const char* text, size_t count);
  void EndCell() { SetStart(++filled_, textBuffer_.size()); }
  // The cells not reached yet stay empty texts (a load that failed part-way).
  void EndEarly();

  int32_t Rows() const { return rows_; }
  int32_t Columns() const { return columns_; }
  bool Contains(int32_t row, int32_t column) const {
    return row >= 1 && row <= rows_ && column >= 1 && column <= columns_;
  }
  // Reading every value of a big table goes through here millions of times, hence inline.
  void Read(int32_t row, int32_t column, std::string& out) const {
    ReadCell(row, column,
             static_cast<size_t>(row - 1) * static_cast<size_t>(columns_) + static_cast<size_t>(column - 1), out);
  }
  TextTable ToTable() const;

 private:
  void ReadCell(int32_t row, int32_t column, size_t cell, std::string& out) const {
    if (!imageForm_) {
      const size_t begin = StartOf(cell);
      out.assign(textBuffer_.data() + begin, StartOf(cell + 1) - begin);
      return;
    }
    const size_t length = lengths_[cell];
    if (length == 0) {
      out.clear();
      return;
    }
    const int64_t at = firstRecordInImage_ + int64_t{row - 1} * recordLength_ + 1 +
                       fieldOffsets_[static_cast<size_t>(column - 1)];
    DecodeBytes(image_.Data() + at, length, out);
  }
  // count is a cell length, at most 255.
  void DecodeBytes(const uint8_t* in, size_t count, std::string& out) const;
  // A wide start was stored from a size_t, so it fits one again on a 32-bit build too.
  size_t StartOf(size_t cell) const { return wide_ ? static_cast<size_t>(starts64_[cell]) : starts32_[cell]; }
  void SetStart(size_t cell, size_t value) {
    if (wide_) {
      starts64_[cell] = value;
    } else {
      starts32_[cell] = static_cast<uint32_t>(value);
    }
  }
  void Widen();

  int32_t rows_ = 0;
  int32_t columns_ = 0;
  bool imageForm_ = false;

  // Image form.
  LargeBytes image_;
  int64_t firstRecordInImage_ = 0;
  int64_t recordLength_ = 0;
  std::vector<uint32_t> fieldOffsets_;
  LargeArray<uint8_t> lengths_;
  ByteTable table_{};
  bool asciiAsIs_ = false;  // the table maps 0x00-0x7F to themselves (every supported single-byte page does)

  // Text form. Cell k spans [start k, start k + 1); 32-bit starts until the text outgrows them.
  std::vector<char> textBuffer_;
  LargeArray<uint32_t> starts32_;
  LargeArray<uint64_t> starts64_;
  bool wide_ = false;
  size_t startCount_ = 0;
  size_t filled_ = 0;
};

}  // namespace morvex
