// PackedCells: every value of a loaded table in one buffer, records by fields, as compact as the code page allows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LargeBuffer.h"
#include "TextTable.h"

namespace morvex {

// One string object per value would cost about three times the file in memory. Here a cell is a span of one
// buffer: for single-byte code pages the buffer keeps the bytes themselves, decoded through a 256-entry table
// when read (half the memory of UTF-16, and loading becomes a copy); other pages keep decoded UTF-16.
class PackedCells {
 public:
  using ByteTable = std::array<char16_t, 256>;

  // Empty, no bounds.
  void Clear();
  // rows x columns empty cells to be filled in order. byteTable set: cells take raw bytes (AppendBytes), at
  // most maxUnits of them in all; unset: cells take decoded text (AppendText).
  void Start(int32_t rows, int32_t columns, size_t maxUnits, const ByteTable* byteTable);
  void AppendBytes(const uint8_t* bytes, size_t count);
  void AppendText(const char16_t* text, size_t count);
  void EndCell() { SetStart(++filled_, used_); }
  // The cells not reached yet stay empty texts (a load that failed part-way).
  void EndEarly();

  int32_t Rows() const { return rows_; }
  int32_t Columns() const { return columns_; }
  bool Contains(int32_t row, int32_t column) const {
    return row >= 1 && row <= rows_ && column >= 1 && column <= columns_;
  }
  void Read(int32_t row, int32_t column, std::u16string& out) const;
  TextTable ToTable() const;
  size_t Units() const { return used_; }

 private:
  void ReadCell(size_t cell, std::u16string& out) const;
  void Widen();
  size_t StartOf(size_t cell) const { return wide_ ? starts64_[cell] : starts32_[cell]; }
  void SetStart(size_t cell, size_t value) {
    if (wide_) {
      starts64_[cell] = value;
    } else {
      starts32_[cell] = static_cast<uint32_t>(value);
    }
  }

  int32_t rows_ = 0;
  int32_t columns_ = 0;
  bool bytes_ = false;
  bool asciiAsIs_ = false;  // the table maps 0x00-0x7F to themselves (every single-byte Windows page does)
  ByteTable table_{};
  LargeBytes byteBuffer_;  // allocated at its bound; pages never written cost nothing
  std::vector<char16_t> textBuffer_;
  size_t capacity_ = 0;
  size_t used_ = 0;
  // Cell k spans [start k, start k + 1); 32-bit starts whenever the buffer's bound allows, half the memory.
  LargeArray<uint32_t> starts32_;
  LargeArray<uint64_t> starts64_;
  bool wide_ = false;
  size_t startCount_ = 0;
  size_t filled_ = 0;
};

}  // namespace morvex
