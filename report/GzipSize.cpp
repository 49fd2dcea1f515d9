// Counting gzip-compressed bytes with zlib.
#include "GzipSize.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <new>

namespace morvex {

struct GzipSizeCounter::Stream {
  z_stream z{};
  std::array<unsigned char, 1 << 16> out{};
  uint64_t size = 0;
  bool open = false;

  void Run(int flush) {
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      if (deflate(&z, flush) == Z_STREAM_ERROR) return;
      size += out.size() - z.avail_out;
    } while (z.avail_out == 0);
  }
};

GzipSizeCounter::GzipSizeCounter() : stream_(std::make_unique<Stream>()) {
  // 15 bits of window plus 16 asks for the gzip wrapper; 8 is zlib's default memory level.
  if (deflateInit2(&stream_->z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::bad_alloc();
  stream_->open = true;
}

GzipSizeCounter::~GzipSizeCounter() {
  if (stream_->open) deflateEnd(&stream_->z);
}

void GzipSizeCounter::Add(std::string_view piece) {
  if (!stream_->open) return;
  // zlib takes at most 4 GiB per call.
  while (!piece.empty()) {
    const size_t chunk = std::min<size_t>(piece.size(), size_t{1} << 30);
    stream_->z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    stream_->z.avail_in = static_cast<uInt>(chunk);
    stream_->Run(Z_NO_FLUSH);
    piece.remove_prefix(chunk);
  }
}

uint64_t GzipSizeCounter::Finish() {
  if (stream_->open) {
    stream_->z.next_in = nullptr;
    stream_->z.avail_in = 0;
    stream_->Run(Z_FINISH);
    deflateEnd(&stream_->z);
    stream_->open = false;
  }
  return stream_->size;
}

void GzipSizeEstimate::Add(std::string_view piece) {
  seen_ += piece.size();
  if (seen_ - piece.size() >= exactBytes_ && piecesBeyond_++ % sampleEvery_ != 0) return;
  compressed_ += piece.size();
  counter_.Add(piece);
}

GzipSizeEstimate::Size GzipSizeEstimate::Finish() {
  const uint64_t bytes = counter_.Finish();
  if (compressed_ == seen_) return {bytes, true};
  return {static_cast<uint64_t>(static_cast<double>(bytes) * static_cast<double>(seen_) /
                                static_cast<double>(compressed_)),
          false};
}

}  // namespace morvex
