// Writes what Windows' own converter makes of every byte of each single-byte code page the reader supports.
#include <windows.h>

#include <cstdio>

// Every single-byte page that the Linux build supports; the Linux test checks its decoding against this list.
constexpr unsigned kCodePages[] = {437,  850,  852,  855,  857,  860,  861,  862,  863,   865,   866,   869,   874,
                                   1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258,  20866, 21866, 28591, 28592,
                                   28595, 28597, 28605};

int main() {
  std::printf("# code page, byte, UTF-16 units from MultiByteToWideChar with flags 0 (\"-\": none)\n");
  for (const unsigned codepage : kCodePages) {
    for (int value = 0; value < 256; ++value) {
      const char in = static_cast<char>(value);
      wchar_t out[4] = {};
      const int count = ::MultiByteToWideChar(codepage, 0, &in, 1, out, 4);
      std::printf("%u\t%02X\t", codepage, value);
      if (count <= 0) std::printf("-");
      for (int i = 0; i < count; ++i) std::printf(i == 0 ? "%04X" : " %04X", static_cast<unsigned>(out[i]));
      std::printf("\n");
    }
  }
  return 0;
}
