// The run's report lines in the order found, with case-insensitive duplicates turned away.
#include "FindingsList.h"

#include "TextUtil.h"

namespace morvex {

namespace {

// Plain ASCII folds to lower case and nothing else, so ICU is only needed for the rest.
std::u16string FoldedKey(const std::u16string& line) {
  for (const char16_t unit : line)
    if (unit >= 0x80) return FoldCase(line);
  std::u16string folded(line);
  for (char16_t& unit : folded)
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit + (u'a' - u'A'));
  return folded;
}

}  // namespace

bool FindingsList::Add(std::vector<std::u16string> fields) {
  std::u16string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) line.push_back(u'\t');
    line.append(fields[i]);
  }
  const auto [key, inserted] = foldedKeys_.insert(FoldedKey(line));
  if (!inserted) return false;
  // A key without its line would turn away that line for the rest of the run.
  try {
    lines_.push_back(std::move(line));
    fields_.push_back(std::move(fields));
  } catch (...) {
    if (lines_.size() > fields_.size()) lines_.pop_back();
    foldedKeys_.erase(key);
    throw;
  }
  return true;
}

}  // namespace morvex
