// LargeBuffer: an uninitialised array for the bulk of a loaded table, backed by huge pages when it is large.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

namespace morvex {

// A million-record table fills about a hundred megabytes in one pass; with 4 KiB pages that is tens of
// thousands of page faults, a large share of the load. Big buffers are mapped directly and asked for huge
// pages; pages never written (the slack of an upper-bound size) still cost nothing.
class LargeBytes {
 public:
  LargeBytes() = default;
  explicit LargeBytes(size_t size);
  ~LargeBytes();
  LargeBytes(LargeBytes&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
        mapped_(std::exchange(other.mapped_, false)) {}
  LargeBytes& operator=(LargeBytes&& other) noexcept {
    if (this != &other) {
      Release();
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
      mapped_ = std::exchange(other.mapped_, false);
    }
    return *this;
  }
  LargeBytes(const LargeBytes&) = delete;
  LargeBytes& operator=(const LargeBytes&) = delete;

  uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }

 private:
  void Release();

  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  bool mapped_ = false;
};

// The same for elements of a trivial type.
template <typename T>
class LargeArray {
 public:
  LargeArray() = default;
  // A count whose bytes exceed the address space (a 32-bit build reaches that) is refused as memory that
  // cannot be had, never wrapped round to a small buffer.
  explicit LargeArray(size_t count) : bytes_(BytesFor(count)), count_(count) {}

  T* Data() const { return reinterpret_cast<T*>(bytes_.Data()); }
  size_t Count() const { return count_; }
  T& operator[](size_t i) const { return Data()[i]; }

 private:
  static size_t BytesFor(size_t count) {
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    return count * sizeof(T);
  }

  LargeBytes bytes_;
  size_t count_ = 0;
};

}  // namespace morvex
