// The fixed table of the package's own property names and the test against it.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace morvex {

extern const std::array<std::string_view, 88> ReservedKeywords;

// Whole text, byte for byte, case-sensitive; nothing is trimmed.
bool IsReservedKeyword(std::string_view sName);
// The same test, answering where in ReservedKeywords the name stands.
std::optional<size_t> ReservedKeywordIndex(std::string_view sName);

}  // namespace morvex
