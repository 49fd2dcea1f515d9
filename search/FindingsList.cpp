// The run's report lines in the order found, with case-insensitive duplicates turned away.
#include "FindingsList.h"

#include "TextUtil.h"

namespace morvex {

namespace {

bool IsAscii(std::u16string_view text) {
  for (const char16_t unit : text)
    if (unit >= 0x80) return false;
  return true;
}

uint64_t MixUnit(uint64_t hash, char16_t unit) { return (hash ^ unit) * 0x100000001B3ull; }

// The hash of the line's case fold. Plain ASCII folds to lower case and nothing else, so ICU is only needed
// for the rest; both paths hash the same folded units, so "K" and the Kelvin sign meet in one chain.
uint64_t FoldedHash(const std::u16string& line) {
  uint64_t hash = 0xCBF29CE484222325ull;
  if (IsAscii(line)) {
    for (const char16_t unit : line)
      hash = MixUnit(hash, (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit);
  } else {
    for (const char16_t unit : FoldCase(line)) hash = MixUnit(hash, unit);
  }
  return hash ^ (hash >> 29);
}

constexpr size_t kFirstSlotCount = 64;

// Geometric growth done ahead of time, so the push_back that follows cannot throw.
template <typename T>
void ReserveForOneMore(std::vector<T>& items) {
  if (items.size() == items.capacity()) items.reserve(items.capacity() < 16 ? 16 : items.capacity() * 2);
}

}  // namespace

bool FindingsList::ContainsKey(const std::u16string& line, uint64_t hash) const {
  if (keySlots_.empty()) return false;
  const size_t mask = keySlots_.size() - 1;
  for (size_t slot = static_cast<size_t>(hash) & mask;; slot = (slot + 1) & mask) {
    const KeySlot& key = keySlots_[slot];
    if (key.line < 0) return false;
    if (key.hash == hash && EqualsIgnoreCase(lines_[static_cast<size_t>(key.line)], line)) return true;
  }
}

void FindingsList::PlaceKey(uint64_t hash, int32_t line) {
  const size_t mask = keySlots_.size() - 1;
  size_t slot = static_cast<size_t>(hash) & mask;
  while (keySlots_[slot].line >= 0) slot = (slot + 1) & mask;
  keySlots_[slot] = KeySlot{hash, line};
}

bool FindingsList::Add(std::vector<std::u16string> fields) {
  size_t length = fields.empty() ? 0 : fields.size() - 1;
  for (const std::u16string& field : fields) length += field.size();
  std::u16string line;
  line.reserve(length);
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) line.push_back(u'\t');
    line.append(fields[i]);
  }
  const uint64_t hash = FoldedHash(line);
  if (ContainsKey(line, hash)) return false;

  // Everything that can throw happens before the list changes, so a failure leaves it as it was.
  const size_t count = lines_.size() + 1;
  if (keySlots_.size() < 2 * count) {
    std::vector<KeySlot> grown(keySlots_.empty() ? kFirstSlotCount : keySlots_.size() * 2);
    grown.swap(keySlots_);
    for (const KeySlot& key : grown)
      if (key.line >= 0) PlaceKey(key.hash, key.line);
  }
  ReserveForOneMore(lines_);
  ReserveForOneMore(fields_);
  lines_.push_back(std::move(line));
  fields_.push_back(std::move(fields));
  PlaceKey(hash, static_cast<int32_t>(count - 1));
  return true;
}

}  // namespace morvex
