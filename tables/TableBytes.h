// Positioned reads of a table's bytes, from an open file or a memory block, with bytes past the end read as zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "basFileTools.h"

namespace morvex {

// Reads go through one large window, so walking the records costs a system call per window, not per value.
// The window is no larger than the file asks for. Bytes beyond the end of the source read as zero: what a
// refill does not read is zeroed, so no byte of an earlier read can ever show through where the file is
// short.
class TableBytes {
 public:
  // file stays owned by the caller and open while this reads it. name only serves error descriptions (UTF-8).
  TableBytes(const ReadOnlyFile& file, std::string name);
  TableBytes(const uint8_t* data, size_t size, std::string name);

  int64_t Size() const { return size_; }

  // count bytes from offset (offset >= 0). The pointer stays valid until the next call.
  const uint8_t* Bytes(int64_t offset, size_t count);
  // count bytes from offset (offset >= 0) straight into dest, bypassing the window: for reading a table whole.
  void ReadInto(int64_t offset, uint8_t* dest, size_t count);

 private:
  void Refill(int64_t start, size_t capacity);

  void ReadFromFile(int64_t offset, uint8_t* dest, size_t count, size_t& done);

  const ReadOnlyFile* file_ = nullptr;
  const uint8_t* memory_ = nullptr;
  int64_t size_ = 0;
  std::string name_;
  std::unique_ptr<uint8_t[]>
      window_;  // not value-initialised: every refill writes or zeroes each byte it uses
  size_t windowCapacity_ = 0;
  size_t windowSize_ = 0;
  int64_t windowStart_ = -1;
};

}  // namespace morvex
