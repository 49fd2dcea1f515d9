// LargeBytes: pages straight from the system (huge pages where it has them) for big buffers, the heap for small ones.
#include "LargeBuffer.h"

#include "Platform.h"

#include <new>

namespace morvex {

namespace {

constexpr size_t kMapFrom = size_t{4} << 20;

}  // namespace

LargeBytes::LargeBytes(size_t size) : size_(size) {
  if (size == 0) return;
  if (size >= kMapFrom) {
    void* mapping = platform::MapPages(size);
    if (mapping == nullptr) throw std::bad_alloc();
    data_ = static_cast<uint8_t*>(mapping);
    mapped_ = true;
    return;
  }
  data_ = new uint8_t[size];
}

LargeBytes::~LargeBytes() { Release(); }

void LargeBytes::Release() {
  if (data_ == nullptr) return;
  if (mapped_) {
    platform::UnmapPages(data_, size_);
  } else {
    delete[] data_;
  }
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

}  // namespace morvex
