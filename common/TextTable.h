// Arrays numbered from 1 that may be empty, as the table copy and the deletion flags are.
#pragma once

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "Error.h"

namespace morvex {

// Records by fields. An empty table has no bounds: asking for an element or a bound is error 9.
class TextTable {
 public:
  TextTable() = default;
  // Both counts must be at least 1 (error 9); more cells than memory can hold throw std::bad_alloc.
  TextTable(int32_t rows, int32_t columns) : rows_(rows), columns_(columns), cells_(CellCount(rows, columns)) {}

  bool HasElements() const { return rows_ > 0; }
  int32_t Rows() const { return rows_; }
  int32_t Columns() const { return columns_; }

  // dimension 1 is the records, 2 the fields.
  int32_t LowerBound(int dimension) const {
    CheckDimension(dimension);
    return 1;
  }
  int32_t UpperBound(int dimension) const {
    CheckDimension(dimension);
    return dimension == 1 ? rows_ : columns_;
  }

  bool Contains(int32_t row, int32_t column) const {
    return row >= 1 && row <= rows_ && column >= 1 && column <= columns_;
  }
  const std::string& At(int32_t row, int32_t column) const { return cells_[Index(row, column)]; }
  std::string& At(int32_t row, int32_t column) { return cells_[Index(row, column)]; }

  friend bool operator==(const TextTable&, const TextTable&) = default;

 private:
  void CheckDimension(int dimension) const {
    if (rows_ == 0 || (dimension != 1 && dimension != 2)) ThrowOutOfRange();
  }
  // Counted in 64 bits: the product passes a 32-bit size_t long before it passes memory on a 64-bit build.
  static size_t CellCount(int32_t rows, int32_t columns) {
    if (rows < 1 || columns < 1) ThrowOutOfRange();
    const uint64_t cells = uint64_t{static_cast<uint32_t>(rows)} * static_cast<uint32_t>(columns);
    if (cells > std::vector<std::string>().max_size()) throw std::bad_alloc();
    return static_cast<size_t>(cells);
  }
  size_t Index(int32_t row, int32_t column) const {
    if (!Contains(row, column)) ThrowOutOfRange();
    return static_cast<size_t>(row - 1) * static_cast<size_t>(columns_) + static_cast<size_t>(column - 1);
  }

  int32_t rows_ = 0;
  int32_t columns_ = 0;
  std::vector<std::string> cells_;
};

// A one-dimensional array numbered from 1; empty means no bounds.
template <typename T>
class NumberedArray {
 public:
  NumberedArray() = default;
  explicit NumberedArray(int32_t count, T value = T()) : items_(static_cast<size_t>(count), value) {
    if (count < 1) ThrowOutOfRange();
  }

  bool HasElements() const { return !items_.empty(); }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  int32_t LowerBound() const {
    if (items_.empty()) ThrowOutOfRange();
    return 1;
  }
  int32_t UpperBound() const {
    if (items_.empty()) ThrowOutOfRange();
    return Count();
  }
  bool Contains(int32_t index) const { return index >= 1 && index <= Count(); }
  const T& At(int32_t index) const { return items_[Index(index)]; }
  T& At(int32_t index) { return items_[Index(index)]; }

  friend bool operator==(const NumberedArray&, const NumberedArray&) = default;

 private:
  size_t Index(int32_t index) const {
    if (!Contains(index)) ThrowOutOfRange();
    return static_cast<size_t>(index - 1);
  }
  std::vector<T> items_;
};

// std::vector<bool> packs bits and hands out proxies; a byte per flag keeps At() returning a real reference.
using FlagArray = NumberedArray<uint8_t>;

}  // namespace morvex
