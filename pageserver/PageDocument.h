// PageDocument: the one page held in memory, parsed once, with the object and property cursor over it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <simdjson.h>

#include "basFileTools.h"

namespace morvex {

// Every operation returns false and changes neither its outputs nor the cursor when it cannot do its work.
class PageDocument {
 public:
  // Larger page files are refused rather than risking the parser's memory (about ten times the file size).
  static constexpr size_t kMaxPageBytes = size_t{256} << 20;

  PageDocument();
  ~PageDocument();
  PageDocument(const PageDocument&) = delete;
  PageDocument& operator=(const PageDocument&) = delete;

  // Any page held before is closed first, also when the new one cannot be loaded. A leading UTF-8
  // byte-order mark is skipped.
  bool LoadFile(ReadOnlyFile& file);
  bool LoadBytes(std::string_view bytes);
  // False when no page is held.
  bool Close();
  bool IsOpen() const { return open_; }

  bool FirstObject();
  bool NextObject();
  bool FirstProperty(std::u16string& sName, std::u16string& sValue);
  bool NextProperty(std::u16string& sName, std::u16string& sValue);
  bool GetTarvoInfo(std::u16string& sLibProject, std::u16string& sLibrary, std::u16string& sTarvo,
                    int32_t& nNumber) const;
  bool GetObjectAN(int16_t& nAN) const;
  bool GetObjectType(std::u16string& sType) const;

  // What the buffers hold now, so callers can see that memory does not pile up.
  size_t RetainedBytes() const;

 private:
  char* PrepareBuffer(size_t size);
  bool Parse(size_t size);
  void ReleaseLargeBuffers();
  bool CurrentObject(simdjson::dom::object& object) const;
  static bool ReadProperty(simdjson::dom::element entry, std::u16string& sName, std::u16string& sValue);

  std::unique_ptr<char[]> buffer_;
  size_t bufferCapacity_ = 0;
  simdjson::dom::parser parser_;
  bool open_ = false;
  simdjson::dom::array objects_;
  simdjson::dom::array::iterator object_;
  bool hasObject_ = false;
  simdjson::dom::array properties_;
  simdjson::dom::array::iterator property_;
  bool hasProperty_ = false;
};

}  // namespace morvex
