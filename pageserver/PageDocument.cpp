// Parsing of page files with simdjson's DOM and the cursor rules of the page-automation operations.
#include "PageDocument.h"

#include <array>
#include <bit>
#include <cstring>
#include <exception>
#include <utility>

#include "TextUtil.h"

namespace morvex {

namespace {

// A run of pages keeps at most this much between pages; a larger page's buffers go when it is closed.
constexpr size_t kRetainedCapacity = size_t{32} << 20;

// Eight bytes at a time: this runs over every name and value of a page.
bool IsAscii(std::string_view text) {
  constexpr uint64_t kHighBits = 0x8080808080808080ull;
  size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    if ((word & kHighBits) != 0) return false;
  }
  unsigned char high = 0;
  for (; at < text.size(); ++at) high |= static_cast<unsigned char>(text[at]);
  return high < 0x80;
}

// Spreads four ASCII bytes into four UTF-16 code units (little-endian) with shifts and masks.
uint64_t SpreadFourBytes(uint64_t bytes) {
  bytes = (bytes | (bytes << 16)) & 0x0000FFFF0000FFFFull;
  return (bytes | (bytes << 8)) & 0x00FF00FF00FF00FFull;
}

// Eight bytes per step as well; on a big-endian machine the byte loop does it all.
void WidenAscii(std::string_view text, char16_t* out) {
  size_t at = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; at + 8 <= text.size(); at += 8) {
      uint64_t word;
      std::memcpy(&word, text.data() + at, 8);
      const uint64_t low = SpreadFourBytes(word & 0xFFFFFFFFull);
      const uint64_t high = SpreadFourBytes(word >> 32);
      std::memcpy(out + at, &low, 8);
      std::memcpy(out + at + 4, &high, 8);
    }
  }
  for (; at < text.size(); ++at) out[at] = static_cast<char16_t>(static_cast<unsigned char>(text[at]));
}

// Member names are short; comparing them here spares a library call per member.
bool SameKey(std::string_view key, std::string_view wanted) {
  if (key.size() != wanted.size()) return false;
  for (size_t i = 0; i < key.size(); ++i)
    if (key[i] != wanted[i]) return false;
  return true;
}

// Hands UTF-8 texts out as UTF-16, all or none: either every target gets its text or none changes. simdjson
// has validated the UTF-8; names and values are nearly always ASCII, which is widened into the callers'
// own buffers without ICU and, once they have grown, without allocating.
template <size_t N>
bool HandOut(const std::array<std::string_view, N>& sources, const std::array<std::u16string*, N>& targets) {
  bool ascii = true;
  for (const std::string_view source : sources) ascii = ascii && IsAscii(source);
  if (ascii) {
    for (size_t i = 0; i < N; ++i) targets[i]->reserve(sources[i].size());  // may throw; changes no text
    for (size_t i = 0; i < N; ++i) {
      std::u16string& target = *targets[i];
      target.resize(sources[i].size());
      WidenAscii(sources[i], target.data());
    }
    return true;
  }
  std::array<std::u16string, N> converted;
  for (size_t i = 0; i < N; ++i) {
    converted[i] = Utf8ToUtf16(sources[i]);
    if (converted[i].empty() && !sources[i].empty()) return false;
  }
  for (size_t i = 0; i < N; ++i) *targets[i] = std::move(converted[i]);
  return true;
}

bool IsNumberCharacter(char c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

size_t SkipDigits(std::string_view token, size_t at) {
  while (at < token.size() && token[at] >= '0' && token[at] <= '9') ++at;
  return at;
}

// The grammar of a JSON number, so that repairs never turn malformed text into a valid page.
bool IsJsonNumber(std::string_view token) {
  size_t at = 0;
  if (at < token.size() && token[at] == '-') ++at;
  if (at >= token.size()) return false;
  if (token[at] == '0') {
    ++at;
  } else {
    const size_t digits = SkipDigits(token, at);
    if (digits == at) return false;
    at = digits;
  }
  if (at < token.size() && token[at] == '.') {
    const size_t digits = SkipDigits(token, at + 1);
    if (digits == at + 1) return false;
    at = digits;
  }
  if (at < token.size() && (token[at] == 'e' || token[at] == 'E')) {
    ++at;
    if (at < token.size() && (token[at] == '+' || token[at] == '-')) ++at;
    const size_t digits = SkipDigits(token, at);
    if (digits == at) return false;
    at = digits;
  }
  return at == token.size();
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

// The first member of that name, as simdjson's own lookup finds it, without its library call per member.
bool FindMember(simdjson::dom::object object, std::string_view key, simdjson::dom::element& value) {
  for (const simdjson::dom::key_value_pair member : object) {
    if (SameKey(member.key, key)) {
      value = member.value;
      return true;
    }
  }
  return false;
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
}

bool PageDocument::Close() {
  const bool wasOpen = open_;
  open_ = false;
  hasObject_ = false;
  hasProperty_ = false;
  objects_ = {};
  properties_ = {};
  ReleaseLargeBuffers();
  return wasOpen;
}

char* PageDocument::PrepareBuffer(size_t size) {
  const size_t needed = size + simdjson::SIMDJSON_PADDING;
  if (needed > bufferCapacity_) {
    buffer_.reset();
    bufferCapacity_ = 0;
    buffer_.reset(new char[needed]);
    bufferCapacity_ = needed;
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
  simdjson::dom::element root;
  simdjson::error_code error = parser_.parse(text, size, false).get(root);
  if (error == simdjson::NUMBER_ERROR && NeutraliseUnrepresentableNumbers(text, size))
    error = parser_.parse(text, size, false).get(root);
  if (error != simdjson::SUCCESS) return false;
  simdjson::dom::object top;
  if (root.get_object().get(top) != simdjson::SUCCESS) return false;
  simdjson::dom::array objects;
  if (top["objects"].get_array().get(objects) != simdjson::SUCCESS) return false;
  objects_ = objects;
  open_ = true;
  return true;
}

bool PageDocument::LoadBytes(std::string_view bytes) {
  Close();
  if (bytes.size() > kMaxPageBytes) return false;
  try {
    char* buffer = PrepareBuffer(bytes.size());
    if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
    return Parse(bytes.size());
  } catch (const std::exception&) {
    return false;
  }
}

bool PageDocument::LoadFile(ReadOnlyFile& file) {
  Close();
  try {
    if (!file.IsOpen() || file.Size() > kMaxPageBytes) return false;
    const size_t size = static_cast<size_t>(file.Size());
    char* buffer = PrepareBuffer(size);
    size_t read = 0;
    if (file.Read(buffer, size, read) || read != size) return false;
    return Parse(size);
  } catch (const std::exception&) {
    return false;
  }
}

bool PageDocument::FirstObject() {
  if (!open_) return false;
  const auto first = objects_.begin();
  if (!(first != objects_.end())) return false;
  object_ = first;
  hasObject_ = true;
  hasProperty_ = false;
  return true;
}

bool PageDocument::NextObject() {
  if (!open_ || !hasObject_) return false;
  auto next = object_;
  ++next;
  if (!(next != objects_.end())) return false;
  object_ = next;
  hasProperty_ = false;
  return true;
}

bool PageDocument::CurrentObject(simdjson::dom::object& object) const {
  if (!open_ || !hasObject_) return false;
  return (*object_).get_object().get(object) == simdjson::SUCCESS;
}

bool PageDocument::ReadProperty(simdjson::dom::element entry, std::u16string& sName, std::u16string& sValue) {
  simdjson::dom::object property;
  if (entry.get_object().get(property) != simdjson::SUCCESS) return false;
  std::array<std::string_view, 2> texts;
  if (!StringMembers<2>(property, {"name", "value"}, texts)) return false;
  return HandOut<2>(texts, {&sName, &sValue});
}

bool PageDocument::FirstProperty(std::u16string& sName, std::u16string& sValue) {
  try {
    simdjson::dom::object object;
    if (!CurrentObject(object)) return false;
    simdjson::dom::array properties;
    simdjson::dom::element member;
    if (!FindMember(object, "properties", member) || member.get_array().get(properties) != simdjson::SUCCESS)
      return false;
    const auto first = properties.begin();
    if (!(first != properties.end())) return false;
    if (!ReadProperty(*first, sName, sValue)) return false;
    properties_ = properties;
    property_ = first;
    hasProperty_ = true;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool PageDocument::NextProperty(std::u16string& sName, std::u16string& sValue) {
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

bool PageDocument::GetTarvoInfo(std::u16string& sLibProject, std::u16string& sLibrary, std::u16string& sTarvo,
                                int32_t& nNumber) const {
  try {
    simdjson::dom::object object;
    if (!CurrentObject(object)) return false;
    simdjson::dom::object tarvo;
    simdjson::dom::element member;
    if (!FindMember(object, "tarvo", member) || member.get_object().get(tarvo) != simdjson::SUCCESS) return false;
    std::array<std::string_view, 3> texts;
    if (!StringMembers<3>(tarvo, {"project", "library", "name"}, texts)) return false;
    // A "number" that is there but is no 32-bit integer is a broken entry, not an absent one.
    int64_t number = 0;
    simdjson::dom::element numberElement;
    if (FindMember(tarvo, "number", numberElement)) {
      if (numberElement.get_int64().get(number) != simdjson::SUCCESS) return false;
      if (number < INT32_MIN || number > INT32_MAX) return false;
    }
    if (!HandOut<3>(texts, {&sLibProject, &sLibrary, &sTarvo})) return false;
    nNumber = static_cast<int32_t>(number);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool PageDocument::GetObjectAN(int16_t& nAN) const {
  simdjson::dom::object object;
  if (!CurrentObject(object)) return false;
  int64_t an = 0;
  simdjson::dom::element member;
  if (!FindMember(object, "an", member) || member.get_int64().get(an) != simdjson::SUCCESS) return false;
  if (an < INT16_MIN || an > INT16_MAX) return false;
  nAN = static_cast<int16_t>(an);
  return true;
}

// An entry without a string "type" (none at all, another kind of value, or no object to hold one) answers
// the empty type rather than failing: a caller that keeps its last type on failure would otherwise take
// such an entry for whatever came before it.
bool PageDocument::GetObjectType(std::u16string& sType) const {
  try {
    if (!open_ || !hasObject_) return false;
    std::string_view type;
    simdjson::dom::object object;
    simdjson::dom::element member;
    if ((*object_).get_object().get(object) == simdjson::SUCCESS && FindMember(object, "type", member) &&
        member.is_string())
      type = member.get_string().value_unsafe();
    return HandOut<1>({type}, {&sType});
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace morvex
