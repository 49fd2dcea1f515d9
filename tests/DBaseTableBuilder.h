// DBaseTableBuilder: writes dBase table bytes field by field, so a test can break exactly one thing.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace morvex::table_tests {

struct DBaseTableBuilder {
  struct Field {
    std::string name;
    uint8_t length;
  };
  std::vector<Field> fields;
  std::vector<std::string> records;  // each: the deletion mark followed by the values, as raw bytes

  std::optional<int32_t> recordCount;
  std::optional<int16_t> headerLength;
  std::optional<int16_t> recordLength;
  uint8_t terminator = 0x0D;
  std::string afterTerminator;  // padding the header length counts
  bool endOfFileMarker = true;

  DBaseTableBuilder& Field(std::string name, uint8_t length) {
    fields.push_back({std::move(name), length});
    return *this;
  }
  // Values are padded with spaces to their field's length.
  DBaseTableBuilder& Record(std::vector<std::string> values, char mark = ' ') {
    std::string record(1, mark);
    for (size_t i = 0; i < fields.size(); ++i) {
      std::string value = i < values.size() ? values[i] : std::string();
      value.resize(fields[i].length, ' ');
      record += value;
    }
    records.push_back(record);
    return *this;
  }

  std::string Bytes() const {
    std::string out(32, '\0');
    const int32_t count = recordCount.value_or(static_cast<int32_t>(records.size()));
    const int16_t header =
        headerLength.value_or(static_cast<int16_t>(32 + 32 * fields.size() + 1 + afterTerminator.size()));
    int sum = 1;
    for (const auto& f : fields) sum += f.length;
    const int16_t length = recordLength.value_or(static_cast<int16_t>(sum));
    out[0] = 0x03;
    std::memcpy(&out[4], &count, 4);
    std::memcpy(&out[8], &header, 2);
    std::memcpy(&out[10], &length, 2);
    for (const auto& f : fields) {
      std::string descriptor(32, '\0');
      std::memcpy(&descriptor[0], f.name.data(), std::min<size_t>(f.name.size(), 11));
      descriptor[11] = 'C';
      descriptor[16] = static_cast<char>(f.length);
      out += descriptor;
    }
    out += static_cast<char>(terminator);
    out += afterTerminator;
    for (const auto& r : records) out += r;
    if (endOfFileMarker) out += '\x1A';
    return out;
  }
};

}  // namespace morvex::table_tests
