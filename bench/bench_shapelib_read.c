/* The same reading with shapelib's dBase reader, the yardstick of the reader benchmark. */
#include <shapefil.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  DBFHandle table = DBFOpen(argv[1], "rb");
  if (table == NULL) {
    fprintf(stderr, "cannot open %s\n", argv[1]);
    return 2;
  }
  const int records = DBFGetRecordCount(table);
  const int fields = DBFGetFieldCount(table);
  unsigned long long characters = 0;
  unsigned long long deleted = 0;
  for (int r = 0; r < records; ++r) {
    deleted += DBFIsRecordDeleted(table, r) ? 1 : 0;
    for (int f = 0; f < fields; ++f) characters += strlen(DBFReadStringAttribute(table, r, f));
  }
  DBFClose(table);
  printf("records %d fields %d characters %llu deleted %llu\n", records, fields, characters, deleted);
  return 0;
}
