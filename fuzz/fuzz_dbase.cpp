// Fuzz target of the table reader: arbitrary bytes loaded as a table in a few code pages, every member read back.
#include <algorithm>
#include <cstddef>
#include <climits>
#include <cstdint>
#include <string>

#include "Error.h"
#include "clsDBase.h"

namespace {

volatile size_t sink = 0;  // keeps the reads from being optimised away

// Every member, but values only at the table's edges: a table may legitimately hold a million cells.
void ReadEverything(const morvex::clsDBase& table) {
  const int32_t records = table.RecordCount();
  const int32_t fields = table.FieldCount();
  size_t total = 0;
  for (int32_t f = -1; f <= fields + 1 && f <= 1100; ++f) {
    total += table.FieldName(f).size();
    total += static_cast<size_t>(table.FieldLength(f) + 1);
  }
  try {
    total += static_cast<size_t>(table.FieldNumber("Name") + table.FieldNumber("PATH"));
  } catch (const morvex::Error&) {
    // a loaded table without any descriptor read
  }
  // A whole copy only of smaller tables: copying a million cells is the caller's cost, not the reader's.
  // Counts may be anything up to 2^31 - 1, so the loops run in 64 bits.
  int64_t rows = std::max(records, 0);
  int64_t columns = std::max(fields, 0);
  if (rows * columns <= 100000) {
    const morvex::TextTable copy = table.Table();
    rows = copy.Rows();
    columns = copy.Columns();
  }
  for (int64_t r = 0; r <= rows + 1; ++r) {
    if (r > 32 && r < rows - 32) r = rows - 32;
    const int32_t row = static_cast<int32_t>(std::min<int64_t>(r, INT32_MAX));
    total += table.RecordDeleted(row) ? 1 : 0;
    for (int64_t c = 0; c <= columns + 1; ++c) {
      if (c > 16 && c < columns - 16) c = columns - 16;
      total += table.Element(row, static_cast<int32_t>(std::min<int64_t>(c, INT32_MAX))).size();
    }
  }
  total += static_cast<size_t>(table.DeletedTable().Count()) + static_cast<size_t>(records);
  sink = total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const int32_t codepage : {0, 932}) {
    morvex::clsDBase table;
    try {
      table.LoadFromMemory(data, size, "fuzz.dbf", codepage);
    } catch (const morvex::Error&) {
      // refused tables are part of the contract; only crashes, leaks and hangs are faults
    }
    ReadEverything(table);
    if (table.Loaded() && table.RecordCount() >= 1 && table.FieldCount() >= 1) {
      try {
        table.Element(1, 1, "changed");
      } catch (const morvex::Error&) {
      }
    }
    table.CloseFile();
  }
  return 0;
}
