// FindJsonFault: where a text stops being JSON, for telling users which byte of a page file is wrong; and the
// grammar of a JSON number it holds to.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace morvex {

// The offset of the first byte at which the text can no longer be the start of one JSON value in UTF-8
// (surrounded by white space), or its length when it ends too early; nothing when the whole text is JSON.
// It keeps no tree and uses memory only for the nesting, so it may run over any page that failed to parse.
std::optional<size_t> FindJsonFault(std::string_view text);

// Whether the whole token is one JSON number, by the grammar the walk above holds texts to.
bool IsJsonNumber(std::string_view token);

}  // namespace morvex
