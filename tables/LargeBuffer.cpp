// LargeBytes: anonymous mappings with huge pages for big buffers, the heap for small ones.
#include "LargeBuffer.h"

#include <sys/mman.h>

#include <new>

namespace morvex {

namespace {

constexpr size_t kMapFrom = size_t{4} << 20;

}  // namespace

LargeBytes::LargeBytes(size_t size) : size_(size) {
  if (size == 0) return;
  if (size >= kMapFrom) {
    void* mapping = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) throw std::bad_alloc();
    // Advice only: without huge pages, or without prefaulting, the buffer works all the same.
#ifdef MADV_HUGEPAGE
    ::madvise(mapping, size, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
    // Every buffer made here is written whole right away; populating it in one go spares a fault per page.
    ::madvise(mapping, size, MADV_POPULATE_WRITE);
#endif
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
    ::munmap(data_, size_);
  } else {
    delete[] data_;
  }
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

}  // namespace morvex
