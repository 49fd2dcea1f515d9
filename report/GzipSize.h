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

// A text's gzip size, learnt for a fraction of compressing it all: the first `exactBytes` are compressed
// whole, beyond them one piece in `sampleEvery`, and the whole is scaled from what the compressed part gave.
// A log is the same few shapes of result over and over, so a regular sample compresses as the whole does.
class GzipSizeEstimate {
 public:
  explicit GzipSizeEstimate(uint64_t exactBytes = uint64_t{1} << 20, uint64_t sampleEvery = 128)
      : exactBytes_(exactBytes), sampleEvery_(sampleEvery) {}

  void Add(std::string_view piece);
  struct Size {
    uint64_t bytes = 0;
    bool exact = true;  // every byte was compressed
  };
  Size Finish();

 private:
  GzipSizeCounter counter_;
  uint64_t exactBytes_, sampleEvery_;
  uint64_t seen_ = 0, compressed_ = 0, piecesBeyond_ = 0;
};

}  // namespace morvex
