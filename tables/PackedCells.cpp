// PackedCells: filling the compact value store while loading, and reading cells back as UTF-8.
#include "PackedCells.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

namespace morvex {

namespace {

// rows × columns can pass a 32-bit size_t; such a table cannot be held there, and says so as memory would.
size_t CellCount(int32_t rows, int32_t columns) {
  const uint64_t cells = uint64_t{static_cast<uint32_t>(rows)} * static_cast<uint32_t>(columns);
  if (cells >= SIZE_MAX) throw std::bad_alloc();
  return static_cast<size_t>(cells);
}

}  // namespace

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
  std::vector<char>().swap(textBuffer_);
  starts32_ = LargeArray<uint32_t>();
  starts64_ = LargeArray<uint64_t>();
  wide_ = false;
  startCount_ = 0;
  filled_ = 0;
}

void PackedCells::StartImage(int32_t rows, int32_t columns, LargeBytes image, int64_t imageBase, int64_t firstRecord,
                             int64_t recordLength, std::vector<uint32_t> fieldOffsets, const ByteTable& byteTable) {
  Clear();
  // Memory first: a table that cannot be held leaves the store empty, not claiming cells it has no room for.
  const size_t cells = CellCount(rows, columns);
  lengths_ = LargeArray<uint8_t>(cells);
  std::memset(lengths_.Data(), 0, cells);
  rows_ = rows;
  columns_ = columns;
  imageForm_ = true;
  image_ = std::move(image);
  firstRecordInImage_ = firstRecord - imageBase;
  recordLength_ = recordLength;
  fieldOffsets_ = std::move(fieldOffsets);
  table_ = byteTable;
  asciiAsIs_ = true;
  for (size_t b = 0; b < 0x80; ++b)
    asciiAsIs_ = asciiAsIs_ && table_[b].length == 1 && static_cast<uint8_t>(table_[b].bytes[0]) == b;
}

void PackedCells::StartText(int32_t rows, int32_t columns, size_t expectedUnits) {
  Clear();
  // Memory first, as for the image form: a failed load ends early over these starts.
  const size_t startCount = CellCount(rows, columns) + 1;
  const bool wide = expectedUnits >= UINT32_MAX;
  if (wide) {
    starts64_ = LargeArray<uint64_t>(startCount);
  } else {
    starts32_ = LargeArray<uint32_t>(startCount);
  }
  rows_ = rows;
  columns_ = columns;
  startCount_ = startCount;
  wide_ = wide;
  SetStart(0, 0);
  textBuffer_.reserve(expectedUnits);
}

void PackedCells::AppendText(const char* text, size_t count) {
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

void PackedCells::DecodeBytes(const uint8_t* in, size_t count, std::string& out) const {
  // A cell holds at most 255 bytes, so its longest UTF-8 form fits on the stack, with room to spare for the
  // whole-word and whole-entry stores below, whose bytes past the text are overwritten by the next store or
  // never copied out. One pass, and the caller's string is written once.
  char decoded[255 * 3 + 8];
  char* at = decoded;
  size_t i = 0;
  const auto putEntry = [&](uint8_t byte) {
    const Utf8OfByte& entry = table_[byte];
    std::memcpy(at, &entry, sizeof entry);
    at += entry.length;
  };
  // The eight bytes from base, the first from of them already done: ASCII runs go out with one store each.
  // Bytes from..to of a loaded word, stored from the word itself: reading them again from the value could
  // run past its end, and the value may be the last thing in its buffer.
  const auto putRun = [&](uint64_t word, size_t from, size_t to) {
    if (from < 8) {
      const uint64_t rest = word >> (8 * from);
      std::memcpy(at, &rest, sizeof rest);
    }
    at += to - from;
  };
  const auto putWord = [&](size_t base, size_t from) {
    uint64_t word;
    std::memcpy(&word, in + base, sizeof word);
    uint64_t high = word & 0x8080808080808080ull & (~uint64_t{0} << (8 * from));
    while (high != 0) {
      const size_t next = static_cast<size_t>(std::countr_zero(high)) / 8;
      putRun(word, from, next);
      putEntry(in[base + next]);
      from = next + 1;
      high &= high - 1;
    }
    putRun(word, from, 8);
  };
  // The byte order of a loaded word is the memory order only on a little-endian machine.
  if (asciiAsIs_ && std::endian::native == std::endian::little) {
    // Most values are ASCII, which every supported single-byte page keeps as is.
    if (count < 8) {
      bool ascii = true;
      for (size_t k = 0; k < count; ++k) ascii = ascii && in[k] < 0x80;
      if (ascii) {
        out.assign(reinterpret_cast<const char*>(in), count);
        return;
      }
    } else {
      for (; i + 8 <= count; i += 8) putWord(i, 0);
      // The last piece as the word that ends the value, overlapping what is done already.
      if (i < count) putWord(count - 8, i - (count - 8));
      i = count;
    }
  }
  for (; i < count; ++i) putEntry(in[i]);
  out.assign(decoded, static_cast<size_t>(at - decoded));
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
