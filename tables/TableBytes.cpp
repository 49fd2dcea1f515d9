// Windowed positioned reads with zero fill past the end of the table's bytes.
#include "TableBytes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "Error.h"

namespace morvex {

namespace {

// Large enough that a million-record table takes about a hundred reads; small next to the table itself.
constexpr size_t kWindowBytes = size_t{1} << 20;

}  // namespace

TableBytes::TableBytes(const ReadOnlyFile& file, std::string name)
    : file_(&file), size_(static_cast<int64_t>(std::min<uint64_t>(file.Size(), INT64_MAX))), name_(std::move(name)) {}

// A file that shrank while it was read leaves done short; the caller zeroes the rest.
void TableBytes::ReadFromFile(int64_t offset, uint8_t* dest, size_t count, size_t& done) {
  const std::error_code error = file_->ReadAt(static_cast<uint64_t>(offset), dest, count, done);
  if (error) throw Error(kErrFileRead, "Cannot read table file \"" + name_ + "\": " + error.message());
}

TableBytes::TableBytes(const uint8_t* data, size_t size, std::string name)
    : memory_(data), size_(static_cast<int64_t>(size)), name_(std::move(name)) {}

const uint8_t* TableBytes::Bytes(int64_t offset, size_t count) {
  const int64_t end = offset + static_cast<int64_t>(count);
  if (memory_ != nullptr && end <= size_) return memory_ + offset;
  if (windowStart_ >= 0 && offset >= windowStart_ && end <= windowStart_ + static_cast<int64_t>(windowSize_)) {
    return window_.get() + (offset - windowStart_);
  }
  // A small table needs a window of its own size, not a megabyte to fill and zero.
  const int64_t fileLeft = std::max<int64_t>(0, size_ - std::max<int64_t>(0, offset));
  const size_t capacity =
      std::max({std::min(kWindowBytes, static_cast<size_t>(std::min<int64_t>(fileLeft, int64_t{1} << 40))), count, size_t{1}});
  int64_t start = offset;
  // Walking backwards (a negative record length) keeps the window behind the request useful.
  if (windowStart_ >= 0 && offset < windowStart_) {
    start = std::max<int64_t>(0, end - static_cast<int64_t>(capacity));
  }
  Refill(start, capacity);
  return window_.get() + (offset - windowStart_);
}

void TableBytes::ReadInto(int64_t offset, uint8_t* dest, size_t count) {
  size_t done = 0;
  if (offset < size_) {
    const size_t wanted = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), size_ - offset));
    if (memory_ != nullptr) {
      std::memcpy(dest, memory_ + offset, wanted);
      done = wanted;
    } else {
      ReadFromFile(offset, dest, wanted, done);
    }
  }
  if (done < count) std::memset(dest + done, 0, count - done);
}

void TableBytes::Refill(int64_t start, size_t capacity) {
  if (windowCapacity_ < capacity) {
    window_ = std::make_unique_for_overwrite<uint8_t[]>(capacity);
    windowCapacity_ = capacity;
  }
  windowSize_ = capacity;
  windowStart_ = start;
  uint8_t* const window = window_.get();
  size_t done = 0;
  // Whatever the read does not cover is zeroed, so no byte of the previous window survives.
  struct ZeroRest {
    uint8_t* window;
    size_t size;
    size_t& done;
    ~ZeroRest() { std::memset(window + done, 0, size - done); }
  } zeroRest{window, capacity, done};
  if (start >= size_) return;
  const size_t wanted = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(capacity), size_ - start));
  if (memory_ != nullptr) {
    std::memcpy(window, memory_ + start, wanted);
    done = wanted;
    return;
  }
  ReadFromFile(start, window, wanted, done);
}

}  // namespace morvex
