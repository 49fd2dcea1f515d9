// The run's ordered list of report lines, each its own key, duplicates (ignoring case) dropped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace morvex {

class FindingsList {
 public:
  // Joins the fields with single tabs. False, and nothing added, when an equal line ignoring case is there.
  bool Add(std::vector<std::u16string> fields);

  int32_t Count() const { return static_cast<int32_t>(lines_.size()); }
  // 0-based, insertion order.
  const std::u16string& Line(int32_t index) const { return lines_[static_cast<size_t>(index)]; }
  const std::vector<std::u16string>& Fields(int32_t index) const { return fields_[static_cast<size_t>(index)]; }

 private:
  // Open addressing over the lines themselves: no second, folded copy of every line is kept.
  struct KeySlot {
    uint64_t hash = 0;
    int32_t line = -1;  // index into lines_; -1 marks an empty slot
  };
  bool ContainsKey(const std::u16string& line, uint64_t hash) const;
  void PlaceKey(uint64_t hash, int32_t line);

  std::vector<std::u16string> lines_;
  std::vector<std::vector<std::u16string>> fields_;
  std::vector<KeySlot> keySlots_;
};

}  // namespace morvex
