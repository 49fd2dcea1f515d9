// PackedCells: filling the one value buffer while loading, and reading cells back as UTF-16.
#include "PackedCells.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace morvex {

void PackedCells::Clear() {
  rows_ = 0;
  columns_ = 0;
  bytes_ = false;
  asciiAsIs_ = false;
  byteBuffer_ = LargeBytes();
  std::vector<char16_t>().swap(textBuffer_);
  starts32_ = LargeArray<uint32_t>();
  starts64_ = LargeArray<uint64_t>();
  wide_ = false;
  startCount_ = 0;
  capacity_ = 0;
  used_ = 0;
  filled_ = 0;
}

void PackedCells::Start(int32_t rows, int32_t columns, size_t maxUnits, const ByteTable* byteTable) {
  Clear();
  rows_ = rows;
  columns_ = columns;
  const size_t cells = static_cast<size_t>(rows) * static_cast<size_t>(columns);
  startCount_ = cells + 1;
  wide_ = maxUnits >= UINT32_MAX;
  if (wide_) {
    starts64_ = LargeArray<uint64_t>(startCount_);
  } else {
    starts32_ = LargeArray<uint32_t>(startCount_);
  }
  SetStart(0, 0);
  bytes_ = byteTable != nullptr;
  if (bytes_) {
    table_ = *byteTable;
    asciiAsIs_ = true;
    for (size_t b = 0; b < 0x80; ++b) asciiAsIs_ = asciiAsIs_ && table_[b] == static_cast<char16_t>(b);
    byteBuffer_ = LargeBytes(maxUnits);  // left uninitialised on purpose
    capacity_ = maxUnits;
  } else {
    textBuffer_.reserve(maxUnits);
  }
}

void PackedCells::AppendBytes(const uint8_t* bytes, size_t count) {
  if (count == 0) return;
  if (used_ + count > capacity_) {  // never with the bound Start was given; kept so a wrong bound cannot overrun
    const size_t grown = std::max(capacity_ * 2, used_ + count);
    LargeBytes larger(grown);
    if (used_ > 0) std::memcpy(larger.Data(), byteBuffer_.Data(), used_);
    byteBuffer_ = std::move(larger);
    capacity_ = grown;
  }
  std::memcpy(byteBuffer_.Data() + used_, bytes, count);
  used_ += count;
  if (!wide_ && used_ >= UINT32_MAX) Widen();
}

void PackedCells::Widen() {
  // Decoded text may outgrow the bound the starts were sized for; never let a start wrap.
  LargeArray<uint64_t> wide(startCount_);
  for (size_t k = 0; k <= filled_ && k < startCount_; ++k) wide[k] = starts32_[k];
  starts64_ = std::move(wide);
  starts32_ = LargeArray<uint32_t>();
  wide_ = true;
}

void PackedCells::AppendText(const char16_t* text, size_t count) {
  textBuffer_.insert(textBuffer_.end(), text, text + count);
  used_ = textBuffer_.size();
  if (!wide_ && used_ >= UINT32_MAX) Widen();
}

void PackedCells::EndEarly() {
  for (size_t k = filled_ + 1; k < startCount_; ++k) SetStart(k, used_);
  filled_ = startCount_ == 0 ? 0 : startCount_ - 1;
}

void PackedCells::ReadCell(size_t cell, std::u16string& out) const {
  const size_t begin = StartOf(cell);
  const size_t count = StartOf(cell + 1) - begin;
  if (!bytes_) {
    out.assign(textBuffer_.data() + begin, count);
    return;
  }
  out.resize(count);
  const uint8_t* in = byteBuffer_.Data() + begin;
  char16_t* text = out.data();
  size_t i = 0;
  // Most values are ASCII, which every single-byte Windows page keeps as is: widen those without the table.
#if defined(__SSE2__)
  if (asciiAsIs_) {
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= count; i += 16) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
      if (_mm_movemask_epi8(chunk) != 0) {
        for (size_t j = 0; j < 16; ++j) text[i + j] = table_[in[i + j]];
        continue;
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(text + i), _mm_unpacklo_epi8(chunk, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(text + i + 8), _mm_unpackhi_epi8(chunk, zero));
    }
  }
#endif
  for (; i < count; ++i) text[i] = table_[in[i]];
}

void PackedCells::Read(int32_t row, int32_t column, std::u16string& out) const {
  ReadCell(static_cast<size_t>(row - 1) * static_cast<size_t>(columns_) + static_cast<size_t>(column - 1), out);
}

TextTable PackedCells::ToTable() const {
  if (rows_ < 1 || columns_ < 1) return TextTable();
  TextTable table(rows_, columns_);
  size_t cell = 0;
  for (int32_t r = 1; r <= rows_; ++r) {
    for (int32_t c = 1; c <= columns_; ++c) ReadCell(cell++, table.At(r, c));
  }
  return table;
}

}  // namespace morvex
