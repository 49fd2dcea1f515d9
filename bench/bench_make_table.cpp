// Writes the reader benchmark's input: a dBase table of character fields with values of varied length.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void PutLittleEndian(std::vector<uint8_t>& out, size_t at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE [RECORDS]\n", argv[0]);
    return 2;
  }
  const long records = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 1000000;
  const uint8_t lengths[] = {20, 60, 40};
  const char* names[] = {"NAME", "PATH", "TITLE"};
  const size_t fields = sizeof lengths;
  const size_t recordLength = 1 + 20 + 60 + 40;

  std::vector<uint8_t> header(32 + 32 * fields + 1, 0);
  header[0] = 0x03;
  PutLittleEndian(header, 4, static_cast<uint32_t>(records), 4);
  PutLittleEndian(header, 8, static_cast<uint32_t>(header.size()), 2);
  PutLittleEndian(header, 10, static_cast<uint32_t>(recordLength), 2);
  for (size_t f = 0; f < fields; ++f) {
    uint8_t* d = header.data() + 32 + 32 * f;
    std::memcpy(d, names[f], std::strlen(names[f]));
    d[11] = 'C';
    d[16] = lengths[f];
  }
  header.back() = 0x0D;

  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::fwrite(header.data(), 1, header.size(), out);
  // Values fill half to all of their field, mostly ASCII with some Windows-1252 letters, like real project lists.
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 _-\\:\xE4\xF6\xFC\xE9\xDF";
  uint64_t state = 0x9E3779B97F4A7C15ull;
  const auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  std::vector<uint8_t> record(recordLength);
  for (long r = 0; r < records; ++r) {
    record[0] = (next() % 50 == 0) ? '*' : ' ';
    size_t at = 1;
    for (const uint8_t length : lengths) {
      const size_t used = length / 2 + next() % (length / 2 + 1u);
      for (size_t i = 0; i < length; ++i) {
        record[at + i] = i < used ? static_cast<uint8_t>(kAlphabet[next() % (sizeof kAlphabet - 1)]) : ' ';
      }
      at += length;
    }
    std::fwrite(record.data(), 1, record.size(), out);
  }
  std::fputc(0x1A, out);
  return std::fclose(out) == 0 ? 0 : 1;
}
