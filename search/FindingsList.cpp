// The findings store: lines written once into growing pieces, with an open-addressed case-folded key index.
#include "FindingsList.h"

#include <cstring>
#include <limits>

#include "Error.h"
#include "TextUtil.h"

namespace morvex {

namespace {

constexpr size_t kFirstPieceSize = size_t{64} << 10;
constexpr size_t kLargestPieceSize = size_t{8} << 20;
constexpr size_t kFirstSlotCount = 64;

uint64_t MixByte(uint64_t hash, unsigned char byte) {
  return (hash ^ byte) * 0x100000001B3ull;
}

// The hash of the line's case fold. Plain ASCII folds to lower case and nothing else, so ICU is only needed
// for the rest; both paths hash the same folded bytes, so "K" and the Kelvin sign meet in one chain.
uint64_t FoldedHash(std::string_view line, std::string& scratch) {
  uint64_t hash = 0xCBF29CE484222325ull;
  if (IsAscii(line)) {
    for (const char c : line) hash = MixByte(hash, static_cast<unsigned char>(AsciiLower(c)));
  } else {
    scratch = FoldCase(line);
    for (const char c : scratch) hash = MixByte(hash, static_cast<unsigned char>(c));
  }
  return hash ^ (hash >> 29);
}

// Geometric growth done ahead of time, so the push_back that follows cannot throw.
template <typename T>
void ReserveFor(std::vector<T>& items, size_t more) {
  if (items.size() + more <= items.capacity()) return;
  size_t wanted = items.capacity() < 16 ? 16 : items.capacity() * 2;
  if (wanted < items.size() + more) wanted = items.size() + more;
  items.reserve(wanted);
}

}  // namespace

char* FindingsList::Reserve(size_t bytes) {
  if (!pieces_.empty() && pieceSize_ - pieceUsed_ >= bytes) return pieces_.back().get() + pieceUsed_;
  // Pieces double up to a bound, so a small run stays small and a large one wastes at most one piece's tail.
  size_t size = pieces_.empty() ? kFirstPieceSize : std::min(pieceSize_ * 2, kLargestPieceSize);
  if (size < bytes) size = bytes;
  ReserveFor(pieces_, 1);
  pieces_.push_back(std::make_unique_for_overwrite<char[]>(size));
  pieceSize_ = size;
  pieceUsed_ = 0;
  return pieces_.back().get();
}

int32_t FindingsList::FindKey(std::string_view line, uint64_t hash) const {
  if (keySlots_.empty()) return -1;
  const size_t mask = keySlots_.size() - 1;
  for (size_t slot = static_cast<size_t>(hash) & mask;; slot = (slot + 1) & mask) {
    const KeySlot& key = keySlots_[slot];
    if (key.line < 0) return -1;
    if (key.hash == hash && EqualsIgnoreCase(Line(key.line), line)) return key.line;
  }
}

void FindingsList::PlaceKey(uint64_t hash, int32_t line) {
  const size_t mask = keySlots_.size() - 1;
  size_t slot = static_cast<size_t>(hash) & mask;
  while (keySlots_[slot].line >= 0) slot = (slot + 1) & mask;
  keySlots_[slot] = KeySlot{hash, line};
}

char* FindingsList::Join(const std::string_view* fields, size_t count, size_t& length, uint64_t& hash) {
  length = count == 0 ? 0 : count - 1;
  for (size_t i = 0; i < count; ++i) length += fields[i].size();
  if (length > std::numeric_limits<uint32_t>::max())
    ThrowOverflow("Overflow: a report line of " + std::to_string(length) + " bytes");

  // The line is written where it would stay; a duplicate simply leaves the space to the next line.
  char* const text = Reserve(length);
  char* out = text;
  fieldEndScratch_.clear();
  for (size_t i = 0; i < count; ++i) {
    if (i != 0) *out++ = '\t';
    if (!fields[i].empty()) std::memcpy(out, fields[i].data(), fields[i].size());
    out += fields[i].size();
    fieldEndScratch_.push_back(static_cast<uint32_t>(out - text));
  }
  hash = FoldedHash(std::string_view(text, length), foldScratch_);
  return text;
}

bool FindingsList::Add(const std::string_view* fields, size_t count) {
  size_t length = 0;
  uint64_t hash = 0;
  char* const text = Join(fields, count, length, hash);
  if (ContainsKey(std::string_view(text, length), hash)) return false;
  return Accept(text, length, hash, fieldEndScratch_.data(), count);
}

int32_t FindingsList::AddOrFind(const std::string_view* fields, size_t count) {
  size_t length = 0;
  uint64_t hash = 0;
  char* const text = Join(fields, count, length, hash);
  const int32_t found = FindKey(std::string_view(text, length), hash);
  if (found >= 0) return found;
  Accept(text, length, hash, fieldEndScratch_.data(), count);
  return Count() - 1;
}

bool FindingsList::AddLineOf(const FindingsList& from, int32_t index) {
  const LineEntry& entry = from.lines_[static_cast<size_t>(index)];
  if (ContainsKey(std::string_view(entry.text, entry.length), entry.hash)) return false;
  char* const text = Reserve(entry.length);
  if (entry.length != 0) std::memcpy(text, entry.text, entry.length);
  return Accept(text, entry.length, entry.hash, from.fieldEnds_.data() + entry.firstFieldEnd, entry.fieldCount);
}

bool FindingsList::Accept(char* text, size_t length, uint64_t hash, const uint32_t* fieldEnds, size_t count) {
  if (lines_.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    ThrowOverflow("Overflow: too many findings");
  // Everything that can throw happens before the list changes, so a failure leaves it as it was.
  const size_t lineCount = lines_.size() + 1;
  if (keySlots_.size() < 2 * lineCount) {
    std::vector<KeySlot> grown(keySlots_.empty() ? kFirstSlotCount : keySlots_.size() * 2);
    grown.swap(keySlots_);
    for (const KeySlot& key : grown)
      if (key.line >= 0) PlaceKey(key.hash, key.line);
  }
  ReserveFor(lines_, 1);
  ReserveFor(fieldEnds_, count);
  if (fieldEnds_.size() + count > std::numeric_limits<uint32_t>::max())
    ThrowOverflow("Overflow: too many fields");

  const auto firstField = static_cast<uint32_t>(fieldEnds_.size());
  fieldEnds_.insert(fieldEnds_.end(), fieldEnds, fieldEnds + count);
  lines_.push_back(
      LineEntry{text, static_cast<uint32_t>(length), firstField, static_cast<uint32_t>(count), hash});
  PlaceKey(hash, static_cast<int32_t>(lineCount - 1));
  pieceUsed_ += length;
  textBytes_ += length;
  return true;
}

void FindingsList::Clear() {
  if (pieces_.size() > 1 || pieceSize_ > kFirstPieceSize) {
    pieces_.clear();
    pieceSize_ = 0;
  }
  pieceUsed_ = 0;
  lines_.clear();
  fieldEnds_.clear();
  if (lines_.capacity() > kFirstSlotCount) lines_ = {};
  if (fieldEnds_.capacity() > 8 * kFirstSlotCount) fieldEnds_ = {};
  if (keySlots_.size() > kFirstSlotCount) {
    keySlots_ = {};
  } else {
    keySlots_.assign(keySlots_.size(), KeySlot{});
  }
  textBytes_ = 0;
}

std::string_view FindingsList::Line(int32_t index) const {
  const LineEntry& entry = lines_[static_cast<size_t>(index)];
  return {entry.text, entry.length};
}

int32_t FindingsList::FieldCount(int32_t index) const {
  return static_cast<int32_t>(lines_[static_cast<size_t>(index)].fieldCount);
}

std::string_view FindingsList::Field(int32_t index, int32_t field) const {
  const LineEntry& entry = lines_[static_cast<size_t>(index)];
  const size_t at = entry.firstFieldEnd + static_cast<size_t>(field);
  const uint32_t begin = field == 0 ? 0 : fieldEnds_[at - 1] + 1;
  return {entry.text + begin, fieldEnds_[at] - begin};
}

}  // namespace morvex
