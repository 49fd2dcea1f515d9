// Parsing of page files with simdjson's DOM and the cursor rules of the page-automation operations.
#include "PageDocument.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "JsonFault.h"
#include "TextUtil.h"

namespace morvex {

namespace {

// A run of pages keeps at most this much between pages; a larger page's buffers go when it is closed.
constexpr size_t kRetainedCapacity = size_t{32} << 20;

// Member names are short; comparing them here spares a library call per member.
bool SameKey(std::string_view key, std::string_view wanted) {
  if (key.size() != wanted.size()) return false;
  for (size_t i = 0; i < key.size(); ++i)
    if (key[i] != wanted[i]) return false;
  return true;
}

bool IsNumberCharacter(char c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// simdjson refuses integers beyond 64 bits and floats beyond double range although they are valid JSON,
// and a page must not be lost over a number in a member nobody reads. Such a number can only ever be
// served as "not a 16/32-bit integer", which any float gives as well, so every float and every long
// integer is overwritten in place by a float zero of the same length ("0.000"). True when anything changed.
bool NeutraliseUnrepresentableNumbers(char* text, size_t size) {
  bool changed = false;
  bool inString = false;
  size_t at = 0;
  while (at < size) {
    const char c = text[at];
    if (inString) {
      if (c == '\\') {
        at += 2;
        continue;
      }
      if (c == '"') inString = false;
      ++at;
      continue;
    }
    if (c == '"') {
      inString = true;
      ++at;
      continue;
    }
    if (c != '-' && !(c >= '0' && c <= '9')) {
      ++at;
      continue;
    }
    size_t end = at;
    while (end < size && IsNumberCharacter(text[end])) ++end;
    const std::string_view token(text + at, end - at);
    const bool isFloat = token.find_first_of(".eE") != std::string_view::npos;
    constexpr size_t kLongestSafeInteger = 18;
    // Only well-formed numbers: a repair must never turn malformed text into a valid page.
    if (IsJsonNumber(token) && (isFloat || token.size() > kLongestSafeInteger)) {
      text[at] = '0';
      text[at + 1] = '.';
      std::memset(text + at + 2, '0', token.size() - 2);
      changed = true;
    }
    at = end;
  }
  return changed;
}

// One pass over the members for several keys; as with a lookup, the first member of a name counts.
// A property is read tens of thousands of times per page, and two lookups would walk its members twice.
template <size_t N>
bool StringMembers(simdjson::dom::object object, const std::array<std::string_view, N>& keys,
                   std::array<std::string_view, N>& texts) {
  std::array<bool, N> seen{};
  size_t found = 0;
  for (const simdjson::dom::key_value_pair member : object) {
    for (size_t i = 0; i < N; ++i) {
      if (seen[i] || !SameKey(member.key, keys[i])) continue;
      seen[i] = true;
      if (member.value.get_string().get(texts[i]) != simdjson::SUCCESS) return false;
      if (++found == N) return true;
      break;
    }
  }
  return false;
}

// Where each element of the top level's "objects" array starts, from the on-demand parser's index of the
// text's structure: it steps from element to element without reading what lies inside. False where it cannot
// tell (the walk below then tries).
bool IndexObjectStarts(simdjson::ondemand::parser& parser, std::string_view text,
                       std::vector<size_t>& starts) {
  simdjson::ondemand::document document;
  simdjson::ondemand::object top;
  simdjson::ondemand::array objects;
  // The text is followed by its padding, as for the parse that opened the page.
  if (parser.iterate(text.data(), text.size(), text.size() + simdjson::SIMDJSON_PADDING).get(document) ||
      document.get_object().get(top) || top.find_field("objects").get_array().get(objects))
    return false;
  for (simdjson::simdjson_result<simdjson::ondemand::value> element : objects) {
    simdjson::ondemand::value value;
    const char* at = nullptr;
    if (element.get(value) || value.current_location().get(at)) return false;
    starts.push_back(static_cast<size_t>(at - text.data()));
  }
  return true;
}

// Where each element of the top level's "objects" array starts, in one pass that skips over strings; false when
// the text has no such array (the parser may still have found one, named with escapes, which is left unplaced).
bool FindObjectStarts(std::string_view text, std::vector<size_t>& starts) {
  std::vector<char> open;       // the containers around the current byte
  bool keyNext = false;         // in the top-level object, the next string is a member name
  std::string_view lastKey;     // the top-level member whose value comes next
  size_t objectsDepth = 0;      // inside the "objects" array: how many containers are open there
  bool elementNext = false;
  for (size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    if (elementNext && open.size() == objectsDepth) {
      elementNext = false;
      if (c != ']') starts.push_back(at);
    }
    switch (c) {
      case '"': {
        // The next quote not escaped by an odd run of backslashes ends the string; memchr leaps the text
        // between.
        size_t end = at + 1;
        for (;;) {
          const void* quote =
              end < text.size() ? std::memchr(text.data() + end, '"', text.size() - end) : nullptr;
          if (quote == nullptr) return false;
          end = static_cast<size_t>(static_cast<const char*>(quote) - text.data());
          size_t backslashes = 0;
          while (end - backslashes > at + 1 && text[end - backslashes - 1] == '\\') ++backslashes;
          if (backslashes % 2 == 0) break;
          ++end;
        }
        if (open.size() == 1 && keyNext) {
          lastKey = text.substr(at + 1, end - at - 1);
          keyNext = false;
        }
        at = end;
        break;
      }
      case '{':
      case '[':
        open.push_back(c);
        if (open.size() == 1) keyNext = c == '{';
        if (c == '[' && objectsDepth == 0 && open.size() == 2 && open[0] == '{' && lastKey == "objects") {
          objectsDepth = 2;
          elementNext = true;
        }
        break;
      case '}':
      case ']':
        if (open.empty()) return false;
        open.pop_back();
        if (objectsDepth != 0 && open.size() < objectsDepth) return true;
        break;
      case ',':
        if (open.size() == 1) keyNext = true;
        if (objectsDepth != 0 && open.size() == objectsDepth) elementNext = true;
        break;
      default:
        break;
    }
  }
  return false;
}

// Line and column of each offset (ascending), counted in one pass over the text.
std::vector<std::pair<int32_t, int32_t>> LinesAndColumns(std::string_view text, const std::vector<size_t>& offsets) {
  std::vector<std::pair<int32_t, int32_t>> places;
  places.reserve(offsets.size());
  int32_t line = 1, units = 0;
  size_t at = 0;
  // Without a CR every line break is an LF, which memchr finds far faster than a walk over each byte; only
  // the part of a line before an object is counted in characters.
  const bool lfOnly = text.find('\r') == std::string_view::npos;
  for (const size_t offset : offsets) {
    while (lfOnly && at < offset) {
      const void* lf = std::memchr(text.data() + at, '\n', offset - at);
      if (lf == nullptr) break;
      ++line;
      units = 0;
      at = static_cast<size_t>(static_cast<const char*>(lf) - text.data()) + 1;
    }
    for (; at < offset; ++at) {
      const auto byte = static_cast<unsigned char>(text[at]);
      if (byte == '\n' || (byte == '\r' && (at + 1 >= text.size() || text[at + 1] != '\n'))) {
        ++line;
        units = 0;
      } else if (byte != '\r' && (byte & 0xC0) != 0x80) {
        units += byte >= 0xF0 ? 2 : 1;  // a character beyond the BMP is two UTF-16 units
      }
    }
    places.emplace_back(line, units + 1);
  }
  return places;
}

// Capacity for a page of this size. Growing to the exact size would make most pages of a run a little larger
// than the last one and start each on fresh memory that the system must first clear; a quarter more grows a
// handful of times per run. The room never pushes a page that would be kept between pages past the limit.
size_t RoomFor(size_t size) {
  const size_t limit = size <= kRetainedCapacity ? kRetainedCapacity : PageDocument::kMaxPageBytes;
  return std::min(std::max(size + size / 4, size_t{64} << 10), limit);
}

std::string TooLargeDetail(uint64_t size) {
  return std::to_string(size) + " bytes, more than " + std::to_string(PageDocument::kMaxPageBytes);
}

}  // namespace

PageDocument::PageDocument() : parser_(kMaxPageBytes) {}

PageDocument::~PageDocument() = default;

size_t PageDocument::RetainedBytes() const { return bufferCapacity_ + parser_.capacity(); }

void PageDocument::ReleaseLargeBuffers() {
  if (bufferCapacity_ > kRetainedCapacity) {
    buffer_.reset();
    bufferCapacity_ = 0;
  }
  if (parser_.capacity() > kRetainedCapacity) parser_ = simdjson::dom::parser(kMaxPageBytes);
  if (placeParser_ && placeParser_->capacity() > kRetainedCapacity) placeParser_.reset();
}

bool PageDocument::Close() {
  const bool wasOpen = open_;
  open_ = false;
  hasObject_ = false;
  hasProperty_ = false;
  members_ = ObjectMembers{};
  objects_ = {};
  properties_ = {};
  text_ = {};
  placesFound_ = false;
  objectPlaces_.clear();
  ReleaseLargeBuffers();
  return wasOpen;
}

char* PageDocument::PrepareBuffer(size_t size) {
  const size_t needed = size + simdjson::SIMDJSON_PADDING;
  if (needed > bufferCapacity_) {
    buffer_.reset();
    bufferCapacity_ = 0;
    size_t room = RoomFor(size) + simdjson::SIMDJSON_PADDING;  // never less than needed: RoomFor(size) >= size
    buffer_.reset(new (std::nothrow) char[room]);
    if (!buffer_) buffer_.reset(new char[room = needed]);
    bufferCapacity_ = room;
  }
  // The parser may read into the padding; keep it defined.
  std::memset(buffer_.get() + size, 0, simdjson::SIMDJSON_PADDING);
  return buffer_.get();
}

bool PageDocument::Parse(size_t size) {
  // Editors on Windows like to open a UTF-8 file with a byte-order mark; it is no part of the JSON. Only one,
  // and only at the very start: anywhere else it stays the stray character that it is.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  char* text = buffer_.get();
  if (std::string_view(text, size).starts_with(kByteOrderMark)) {
    text += kByteOrderMark.size();
    size -= kByteOrderMark.size();
  }
  if (parser_.capacity() < size || parser_.doc.capacity() < size) {
    // The parser sizes its document exactly to each page and offers no other call to give it room. Where the
    // room cannot be had, the parse below asks for the exact size again and says if that fails too.
    const size_t room = RoomFor(size);
    if (parser_.allocate(room) != simdjson::SUCCESS || parser_.doc.allocate(room) != simdjson::SUCCESS)
      parser_ = simdjson::dom::parser(kMaxPageBytes);
  }
  simdjson::dom::element root;
  simdjson::error_code error = parser_.parse(text, size, false).get(root);
  if (error == simdjson::NUMBER_ERROR && NeutraliseUnrepresentableNumbers(text, size))
    error = parser_.parse(text, size, false).get(root);
  if (error != simdjson::SUCCESS) {
    if (error == simdjson::MEMALLOC) throw std::bad_alloc();
    // The parser names the fault but not its place; a second walk, on this rare path only, finds the byte.
    std::string detail;
    const size_t skipped = static_cast<size_t>(text - buffer_.get());
    if (const std::optional<size_t> fault = FindJsonFault(std::string_view(text, size)))
      detail = "at byte " + std::to_string(*fault + skipped) + ": ";
    detail += simdjson::error_message(error);
    return Fail(PageFailureReason::kNotValidJson, std::move(detail));
  }
  simdjson::dom::object top;
  if (root.get_object().get(top) != simdjson::SUCCESS)
    return Fail(PageFailureReason::kNotPageShape, "the top level is not an object");
  simdjson::dom::array objects;
  if (top["objects"].get_array().get(objects) != simdjson::SUCCESS)
    return Fail(PageFailureReason::kNotPageShape, "no \"objects\" array at the top level");
  objects_ = objects;
  text_ = std::string_view(text, size);
  open_ = true;
  return true;
}

bool PageDocument::Fail(PageFailureReason reason, std::string detail) {
  failure_.reason = reason;
  failure_.detail = std::move(detail);
  return false;
}

bool PageDocument::LoadBytes(std::string_view bytes) {
  Close();
  if (bytes.size() > kMaxPageBytes) return Fail(PageFailureReason::kTooLarge, TooLargeDetail(bytes.size()));
  try {
    char* buffer = PrepareBuffer(bytes.size());
    if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
    return Parse(bytes.size());
  } catch (const std::bad_alloc&) {
    return Fail(PageFailureReason::kUnreadable, "out of memory");
  } catch (const std::exception& error) {
    return Fail(PageFailureReason::kUnreadable, error.what());
  }
}

bool PageDocument::LoadFile(ReadOnlyFile& file) {
  Close();
  try {
    if (!file.IsOpen()) return Fail(PageFailureReason::kUnreadable, "not open");
    if (file.Size() > kMaxPageBytes) return Fail(PageFailureReason::kTooLarge, TooLargeDetail(file.Size()));
    const size_t size = static_cast<size_t>(file.Size());
    char* buffer = PrepareBuffer(size);
    size_t read = 0;
    if (const std::error_code error = file.Read(buffer, size, read))
      return Fail(PageFailureReason::kUnreadable, error.message());
    if (read != size) return Fail(PageFailureReason::kUnreadable, "the file shrank while it was read");
    return Parse(size);
  } catch (const std::bad_alloc&) {
    return Fail(PageFailureReason::kUnreadable, "out of memory");
  } catch (const std::exception& error) {
    return Fail(PageFailureReason::kUnreadable, error.what());
  }
}

bool PageDocument::FirstObject() {
  if (!open_) return false;
  const auto first = objects_.begin();
  if (!(first != objects_.end())) return false;
  object_ = first;
  objectIndex_ = 0;
  hasObject_ = true;
  hasProperty_ = false;
  members_.walked = false;
  return true;
}

bool PageDocument::NextObject() {
  if (!open_ || !hasObject_) return false;
  auto next = object_;
  ++next;
  if (!(next != objects_.end())) return false;
  object_ = next;
  ++objectIndex_;
  hasProperty_ = false;
  members_.walked = false;
  return true;
}

// One walk over the current object's members serves every later question about it: the scan asks for the
// type of each object and for the Tarvo and the AN once per finding, and each would walk them again.
PageDocument::ObjectMembers* PageDocument::Members() {
  if (!open_ || !hasObject_) return nullptr;
  if (members_.walked) return &members_;
  // Filled in place: a copy of the whole record for every object, just after its fields were written one by
  // one, costs the processor more than the walk over the members itself.
  ObjectMembers& members = members_;
  members.Forget();
  members.walked = true;
  simdjson::dom::object object;
  if ((*object_).get_object().get(object) == simdjson::SUCCESS) {
    bool seenType = false, seenAN = false, seenTarvo = false, seenProperties = false;
    for (const simdjson::dom::key_value_pair member : object) {
      const std::string_view key = member.key;
      if (!seenType && SameKey(key, "type")) {
        seenType = true;
        if (member.value.is_string()) members.type = member.value.get_string().value_unsafe();
      } else if (!seenAN && SameKey(key, "an")) {
        seenAN = true;
        int64_t an = 0;
        if (member.value.get_int64().get(an) == simdjson::SUCCESS && an >= INT16_MIN && an <= INT16_MAX) {
          members.an = static_cast<int16_t>(an);
          members.hasAN = true;
        }
      } else if (!seenTarvo && SameKey(key, "tarvo")) {
        seenTarvo = true;
        members.hasTarvo = member.value.get_object().get(members.tarvo) == simdjson::SUCCESS;
      } else if (!seenProperties && SameKey(key, "properties")) {
        seenProperties = true;
        members.hasProperties = member.value.get_array().get(members.properties) == simdjson::SUCCESS;
      }
    }
  }
  return &members_;
}

bool PageDocument::ReadProperty(simdjson::dom::element entry, std::string_view& sName,
                                std::string_view& sValue) {
  simdjson::dom::object property;
  if (entry.get_object().get(property) != simdjson::SUCCESS) return false;
  // The rule of StringMembers, written out for the one object read for every property: the texts stay in
  // locals until both are found, which spares a round trip through memory for each.
  std::string_view name, value;
  bool seenName = false, seenValue = false;
  for (const simdjson::dom::key_value_pair member : property) {
    if (!seenName && SameKey(member.key, "name")) {
      if (!member.value.is_string()) return false;
      name = member.value.get_string().value_unsafe();
      seenName = true;
    } else if (!seenValue && SameKey(member.key, "value")) {
      if (!member.value.is_string()) return false;
      value = member.value.get_string().value_unsafe();
      seenValue = true;
    } else {
      continue;
    }
    if (seenName && seenValue) {
      sName = name;
      sValue = value;
      return true;
    }
  }
  return false;
}

bool PageDocument::FirstProperty(std::string_view& sName, std::string_view& sValue) {
  try {
    const ObjectMembers* members = Members();
    if (members == nullptr || !members->hasProperties) return false;
    const auto first = members->properties.begin();
    if (!(first != members->properties.end())) return false;
    if (!ReadProperty(*first, sName, sValue)) return false;
    properties_ = members->properties;
    property_ = first;
    hasProperty_ = true;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool PageDocument::NextProperty(std::string_view& sName, std::string_view& sValue) {
  try {
    if (!open_ || !hasObject_ || !hasProperty_) return false;
    auto next = property_;
    ++next;
    if (!(next != properties_.end())) return false;
    if (!ReadProperty(*next, sName, sValue)) return false;
    property_ = next;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool PageDocument::GetTarvoInfo(std::string_view& sLibProject, std::string_view& sLibrary,
                                std::string_view& sTarvo, int32_t& nNumber) {
  try {
    ObjectMembers* members = Members();
    if (members == nullptr || !members->hasTarvo) return false;
    if (!members->tarvoRead) {
      members->tarvoRead = true;
      std::array<std::string_view, 3> texts;
      if (!StringMembers<3>(members->tarvo, {"project", "library", "name"}, texts)) return false;
      // A "number" that is there but is no 32-bit integer is a broken entry, not an absent one.
      int64_t number = 0;
      bool seenNumber = false;
      for (const simdjson::dom::key_value_pair member : members->tarvo) {
        if (!SameKey(member.key, "number")) continue;
        seenNumber = true;
        if (member.value.get_int64().get(number) != simdjson::SUCCESS) return false;
        break;
      }
      if (seenNumber && (number < INT32_MIN || number > INT32_MAX)) return false;
      members->tarvoTexts = texts;
      members->tarvoNumber = static_cast<int32_t>(number);
      members->tarvoValid = true;
    }
    if (!members->tarvoValid) return false;
    sLibProject = members->tarvoTexts[0];
    sLibrary = members->tarvoTexts[1];
    sTarvo = members->tarvoTexts[2];
    nNumber = members->tarvoNumber;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool PageDocument::GetObjectAN(int16_t& nAN) {
  const ObjectMembers* members = Members();
  if (members == nullptr || !members->hasAN) return false;
  nAN = members->an;
  return true;
}

// An entry without a string "type" (none at all, another kind of value, or no object to hold one) answers
// the empty type rather than failing: a caller that keeps its last type on failure would otherwise take
// such an entry for whatever came before it.
bool PageDocument::GetObjectType(std::string_view& sType) {
  const ObjectMembers* members = Members();
  if (members == nullptr) return false;
  sType = members->type;
  return true;
}

bool PageDocument::GetObjectPlace(int32_t& nLine, int32_t& nColumn) {
  if (!open_ || !hasObject_) return false;
  try {
    if (!placesFound_) {
      placesFound_ = true;
      std::vector<size_t> starts;
      if (!placeParser_) placeParser_ = std::make_unique<simdjson::ondemand::parser>();
      if (!IndexObjectStarts(*placeParser_, text_, starts) || starts.size() != objects_.size()) {
        starts.clear();
        if (!FindObjectStarts(text_, starts)) starts.clear();
      }
      // A count that differs from the parser's would pair objects with the wrong places.
      if (starts.size() == objects_.size()) objectPlaces_ = LinesAndColumns(text_, starts);
    }
  } catch (const std::bad_alloc&) {
    objectPlaces_.clear();
  }
  if (objectIndex_ >= objectPlaces_.size()) return false;
  nLine = objectPlaces_[objectIndex_].first;
  nColumn = objectPlaces_[objectIndex_].second;
  return true;
}

}  // namespace morvex
