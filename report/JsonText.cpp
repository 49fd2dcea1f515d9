// Escaping text for JSON strings, mending ill-formed UTF-8 on the way.
#include "JsonText.h"

#include <cstdio>

#include "TextUtil.h"

namespace morvex {

void AppendJsonText(std::string& out, std::string_view text) {
  // The core's texts are valid UTF-8; anything else would make the whole output unreadable, so it is mended.
  std::string mended;
  if (!IsAscii(text) && !IsValidUtf8(text)) {
    AppendValidUtf8(mended, text);
    text = mended;
  }
  // Runs without anything to escape, nearly every text whole, go in with one append.
  size_t run = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto unit = static_cast<unsigned char>(text[i]);
    if (unit >= 0x20 && unit != '"' && unit != '\\' && unit != 0x7F) continue;
    out.append(text.data() + run, i - run);
    run = i + 1;
    switch (unit) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", unit);
        out += escaped;
      }
    }
  }
  out.append(text.data() + run, text.size() - run);
}

void AppendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  AppendJsonText(out, text);
  out.push_back('"');
}

std::string JsonString(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  AppendJsonString(out, text);
  return out;
}

}  // namespace morvex
