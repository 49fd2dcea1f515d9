// The run's ordered list of report lines, each its own key, duplicates (ignoring case) dropped.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
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
  std::vector<std::u16string> lines_;
  std::vector<std::vector<std::u16string>> fields_;
  std::unordered_set<std::u16string> foldedKeys_;
};

}  // namespace morvex
