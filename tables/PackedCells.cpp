// PackedCells: filling the compact value store while loading, and reading cells back as UTF-16.
#include "PackedCells.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace morvex {

void PackedCells::Clear() {
  rows_ = 0;
  columns_ = 0;
  imageForm_ = false;
  image_ = LargeBytes();
  firstRecordInImage_ = 0;
  recordLength_ = 0;
  fieldOffsets_.clear();
  lengths_ = LargeArray<uint8_t>();
  asciiAsIs_ = false;
  std::vector<char16_t>().swap(textBuffer_);
  starts32_ = LargeArray<uint32_t>();
  starts64_ = LargeArray<uint64_t>();
  wide_ = false;
  startCount_ = 0;
  filled_ = 0;
}

void PackedCells::StartImage(int32_t rows, int32_t columns, LargeBytes image, int64_t imageBase, int64_t firstRecord,
                             int64_t recordLength, std::vector<uint32_t> fieldOffsets, const ByteTable& byteTable) {
  Clear();
  rows_ = rows;
  columns_ = columns;
  imageForm_ = true;
  image_ = std::move(image);
  firstRecordInImage_ = firstRecord - imageBase;
  recordLength_ = recordLength;
  fieldOffsets_ = std::move(fieldOffsets);
  const size_t cells = static_cast<size_t>(rows) * static_cast<size_t>(columns);
  lengths_ = LargeArray<uint8_t>(cells);
  std::memset(lengths_.Data(), 0, cells);
  table_ = byteTable;
  asciiAsIs_ = true;
  for (size_t b = 0; b < 0x80; ++b) asciiAsIs_ = asciiAsIs_ && table_[b] == static_cast<char16_t>(b);
}

void PackedCells::StartText(int32_t rows, int32_t columns, size_t expectedUnits) {
  Clear();
  rows_ = rows;
  columns_ = columns;
  startCount_ = static_cast<size_t>(rows) * static_cast<size_t>(columns) + 1;
  wide_ = expectedUnits >= UINT32_MAX;
  if (wide_) {
    starts64_ = LargeArray<uint64_t>(startCount_);
  } else {
    starts32_ = LargeArray<uint32_t>(startCount_);
  }
  SetStart(0, 0);
  textBuffer_.reserve(expectedUnits);
}

void PackedCells::AppendText(const char16_t* text, size_t count) {
  textBuffer_.insert(textBuffer_.end(), text, text + count);
  if (!wide_ && textBuffer_.size() >= UINT32_MAX) Widen();
}

void PackedCells::Widen() {
  // Decoded text may outgrow the size the starts were chosen for; never let a start wrap.
  LargeArray<uint64_t> wide(startCount_);
  for (size_t k = 0; k <= filled_ && k < startCount_; ++k) wide[k] = starts32_[k];
  starts64_ = std::move(wide);
  starts32_ = LargeArray<uint32_t>();
  wide_ = true;
}

void PackedCells::EndEarly() {
  if (imageForm_) return;  // unset lengths already read as empty
  for (size_t k = filled_ + 1; k < startCount_; ++k) SetStart(k, textBuffer_.size());
  filled_ = startCount_ == 0 ? 0 : startCount_ - 1;
}

void PackedCells::DecodeBytes(const uint8_t* in, size_t count, std::u16string& out) const {
  out.resize(count);
  char16_t* text = out.data();
  size_t i = 0;
  // Most values are ASCII, which every single-byte Windows page keeps as is: widen those without the table.
#if defined(__SSE2__)
  if (asciiAsIs_) {
    // Widen every byte as if ASCII, then look up only the bytes that are not.
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= count; i += 16) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(text + i), _mm_unpacklo_epi8(chunk, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(text + i + 8), _mm_unpackhi_epi8(chunk, zero));
      for (unsigned high = static_cast<unsigned>(_mm_movemask_epi8(chunk)); high != 0; high &= high - 1) {
        const size_t j = i + static_cast<size_t>(std::countr_zero(high));
        text[j] = table_[in[j]];
      }
    }
    // The rest as eight-byte pieces, the last one overlapping what is done already: writing a character
    // twice gives the same character.
    while (i < count && count >= 8) {
      const size_t at = std::min(i, count - 8);
      const __m128i chunk = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + at));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(text + at), _mm_unpacklo_epi8(chunk, zero));
      for (unsigned high = static_cast<unsigned>(_mm_movemask_epi8(chunk)) & 0xFFu; high != 0; high &= high - 1) {
        const size_t j = at + static_cast<size_t>(std::countr_zero(high));
        text[j] = table_[in[j]];
      }
      i = at + 8;
    }
  }
#endif
  for (; i < count; ++i) text[i] = table_[in[i]];
}

TextTable PackedCells::ToTable() const {
  if (rows_ < 1 || columns_ < 1) return TextTable();
  TextTable table(rows_, columns_);
  size_t cell = 0;
  for (int32_t r = 1; r <= rows_; ++r) {
    for (int32_t c = 1; c <= columns_; ++c) ReadCell(r, c, cell++, table.At(r, c));
  }
  return table;
}

}  // namespace morvex
