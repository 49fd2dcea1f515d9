// PageDocument: the one page held in memory, parsed once, with the object and property cursor over it.
#pragma once

#include <simdjson.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "PageFailure.h"
#include "basFileTools.h"

namespace morvex {

// Every operation returns false and changes neither its outputs nor the cursor when it cannot do its work.
class PageDocument {
 public:
  // Larger page files are refused. The parser needs up to about 13 bytes of memory per byte of page (a page
  // that is mostly small numbers: 16 bytes of parsed form and 4 of index per two-byte number), so this bounds
  // one page's memory to well under a gigabyte; real pages are a few megabytes.
  static constexpr size_t kMaxPageBytes = size_t{64} << 20;

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
  // Why the last load failed: too large, unreadable, not valid JSON (where and the parser's message) or not
  // the shape of a page (what is wrong).
  const PageFailure& Failure() const { return failure_; }

  // Texts are views into the parsed page, valid until it is closed or another is loaded.
  bool FirstObject();
  bool NextObject();
  bool FirstProperty(std::string_view& sName, std::string_view& sValue);
  bool NextProperty(std::string_view& sName, std::string_view& sValue);
  bool GetTarvoInfo(std::string_view& sLibProject, std::string_view& sLibrary, std::string_view& sTarvo,
                    int32_t& nNumber);
  bool GetObjectAN(int16_t& nAN);
  bool GetObjectType(std::string_view& sType);
  // Where the current object starts in the page's text: 1-based line (a line ends at LF, CR LF or CR) and
  // column in UTF-16 code units, as code-scanning tools count them. False when the text does not tell.
  bool GetObjectPlace(int32_t& nLine, int32_t& nColumn);

  // What the buffers hold now, so callers can see that memory does not pile up.
  size_t RetainedBytes() const;

 private:
  char* PrepareBuffer(size_t size);
  bool Parse(size_t size);
  bool Fail(PageFailureReason reason, std::string detail = {});
  void ReleaseLargeBuffers();
  // What the current object holds, found in one walk over its members when first asked for.
  struct ObjectMembers {
    bool walked = false;
    std::string_view type;  // empty unless "type" is a string
    bool hasAN = false;
    int16_t an = 0;
    bool hasTarvo = false;
    simdjson::dom::object tarvo;
    bool tarvoRead = false;
    bool tarvoValid = false;
    std::array<std::string_view, 3> tarvoTexts;
    int32_t tarvoNumber = 0;
    bool hasProperties = false;
    simdjson::dom::array properties;
    // The flags and the type only: the rest is read only where a flag says it was written, and clearing the
    // whole record for every object of a page cost a quarter of the walk over its members.
    void Forget() {
      walked = false;
      type = {};
      hasAN = false;
      hasTarvo = false;
      tarvoRead = false;
      tarvoValid = false;
      hasProperties = false;
    }
  };
  ObjectMembers* Members();
  static bool ReadProperty(simdjson::dom::element entry, std::string_view& sName, std::string_view& sValue);

  std::unique_ptr<char[]> buffer_;
  size_t bufferCapacity_ = 0;
  simdjson::dom::parser parser_;
  bool open_ = false;
  simdjson::dom::array objects_;
  simdjson::dom::array::iterator object_;
  bool hasObject_ = false;
  ObjectMembers members_;
  simdjson::dom::array properties_;
  simdjson::dom::array::iterator property_;
  bool hasProperty_ = false;
  PageFailure failure_;
  // Object places are worked out for the whole page the first time one is asked for.
  std::string_view text_;  // the parsed text, after any byte-order mark
  size_t objectIndex_ = 0;
  bool placesFound_ = false;
  std::vector<std::pair<int32_t, int32_t>> objectPlaces_;  // per object, line and column; empty if unknown
  // Finds where the objects start from its index of the text's structure, made once the first place is asked.
  std::unique_ptr<simdjson::ondemand::parser> placeParser_;
};

}  // namespace morvex
