// GzipSize: how many bytes a text takes gzip-compressed, counted as it passes by, nothing of it kept.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace morvex {

// Compresses as gzip does by default (deflate level 6), which is how code-scanning services' upload tools send a
// log, and counts the compressed bytes.
class GzipSizeCounter {
 public:
  GzipSizeCounter();
  ~GzipSizeCounter();
  GzipSizeCounter(const GzipSizeCounter&) = delete;
  GzipSizeCounter& operator=(const GzipSizeCounter&) = delete;

  void Add(std::string_view piece);
  // The compressed size of everything added; the counter takes nothing more afterwards.
  uint64_t Finish();

 private:
  struct Stream;
  std::unique_ptr<Stream> stream_;
};

}  // namespace morvex
