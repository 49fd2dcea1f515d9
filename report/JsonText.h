// JSON string escaping, shared by every format that writes JSON.
#pragma once

#include <string>
#include <string_view>

namespace morvex {

// A JSON string literal (quotes included) holding the UTF-8 text.
std::string JsonString(std::string_view text);
void AppendJsonString(std::string& out, std::string_view text);
// The same without the quotes, for a string made of several pieces.
void AppendJsonText(std::string& out, std::string_view text);

}  // namespace morvex
