// Reads a whole table with clsDBase and touches every value, as one process for whole-process timing.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Error.h"
#include "TextUtil.h"
#include "clsDBase.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE [--element]\n", argv[0]);
    return 2;
  }
  // --element: a fresh string per value, as the search reads its tables; otherwise one reused string.
  const bool copies = argc > 2 && std::string(argv[2]) == "--element";
  morvex::clsDBase table;
  try {
    if (!table.Load(argv[1], 0)) {
      std::fprintf(stderr, "no such table: %s\n", argv[1]);
      return 2;
    }
  } catch (const morvex::Error& e) {
    std::fprintf(stderr, "%s (error %d)\n", e.Description().c_str(), static_cast<int>(e.Number()));
    return 2;
  }
  // The value checksum keeps the reads from being optimised away and lets the runs be compared.
  unsigned long long characters = 0;
  unsigned long long deleted = 0;
  const int32_t records = table.RecordCount();
  const int32_t fields = table.FieldCount();
  std::string value;
  for (int32_t r = 1; r <= records; ++r) {
    deleted += table.RecordDeleted(r) ? 1 : 0;
    for (int32_t f = 1; f <= fields; ++f) {
      if (copies) {
        characters += table.Element(r, f).size();
      } else {
        table.ReadElement(r, f, value);
        characters += value.size();
      }
    }
  }
  std::printf("records %d fields %d characters %llu deleted %llu\n", records, fields, characters, deleted);
  return 0;
}
