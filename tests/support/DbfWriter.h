// DbfWriter: writes small dBase III tables (character fields only) so tests can lay out sites on disk.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace morvex::doubles {

struct DbfField {
  std::string name;    // at most 10 bytes
  uint8_t length = 20;
};

struct DbfRecord {
  std::vector<std::string> values;  // bytes in the table's code page, cut or blank-padded to the field length
  bool deleted = false;
};

class DbfWriter {
 public:
  explicit DbfWriter(std::vector<DbfField> fields, uint8_t codePageByte = 0) :
      fields_(std::move(fields)), codePageByte_(codePageByte) {}

  DbfWriter& Add(std::vector<std::string> values, bool deleted = false) {
    records_.push_back({std::move(values), deleted});
    return *this;
  }

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out(32, 0);
    out[0] = 0x03;
    out[1] = 126;  // 2026-01-01: the reader does not look at the date
    out[2] = 1;
    out[3] = 1;
    PutLittleEndian(out, 4, static_cast<uint32_t>(records_.size()), 4);
    const size_t headerLength = 32 + 32 * fields_.size() + 1;
    size_t recordLength = 1;
    for (const DbfField& field : fields_) recordLength += field.length;
    PutLittleEndian(out, 8, static_cast<uint32_t>(headerLength), 2);
    PutLittleEndian(out, 10, static_cast<uint32_t>(recordLength), 2);
    out[29] = codePageByte_;
    for (const DbfField& field : fields_) {
      if (field.name.size() > 10) throw std::invalid_argument("dBase field names hold at most 10 bytes");
      std::vector<uint8_t> descriptor(32, 0);
      std::copy(field.name.begin(), field.name.end(), descriptor.begin());
      descriptor[11] = 'C';
      descriptor[16] = field.length;
      out.insert(out.end(), descriptor.begin(), descriptor.end());
    }
    out.push_back(0x0D);
    for (const DbfRecord& record : records_) {
      out.push_back(record.deleted ? '*' : ' ');
      for (size_t i = 0; i < fields_.size(); ++i) {
        std::string value = i < record.values.size() ? record.values[i] : std::string();
        value.resize(fields_[i].length, ' ');
        out.insert(out.end(), value.begin(), value.end());
      }
    }
    out.push_back(0x1A);
    return out;
  }

  void WriteTo(const std::filesystem::path& file) const {
    std::filesystem::create_directories(file.parent_path());
    const std::vector<uint8_t> bytes = Bytes();
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!stream) throw std::runtime_error("cannot write " + file.string());
  }

 private:
  static void PutLittleEndian(std::vector<uint8_t>& out, size_t at, uint32_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
  }

  std::vector<DbfField> fields_;
  uint8_t codePageByte_;
  std::vector<DbfRecord> records_;
};

// The project list of a site: one record per project with its "Name" and "Path".
inline DbfWriter ProjectListWriter(uint8_t pathLength = 200) {
  return DbfWriter({{"Name", 40}, {"Path", pathLength}});
}

// A project's page list: one record per page with its "Name".
inline DbfWriter PageListWriter() { return DbfWriter({{"Name", 60}}); }

}  // namespace morvex::doubles
