// PageFileWriter: the open page of any page server, written out in our page-file format.
#include "PageFileWriter.h"

#include <cstdint>
#include <string_view>

#include "TextUtil.h"

namespace morvex {

namespace {

// False, writing nothing, for text that is not valid UTF-8.
bool AppendString(std::string& out, std::string_view text) {
  if (!IsValidUtf8(text)) return false;
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
  out += '"';
  return true;
}

bool AppendMember(std::string& out, std::string_view key, std::string_view text) {
  out.append(key).append(": ");
  return AppendString(out, text);
}

// One object on one line. The texts are views the server may replace at its next call, so each is written
// before the next call.
bool AppendObject(PageAutomation& server, std::string& out) {
  out += '{';
  std::string_view separator;
  std::string_view type;
  if (server.GetObjectType(type)) {
    if (!AppendMember(out, "\"type\"", type)) return false;
    separator = ", ";
  }
  int16_t an = 0;
  if (server.GetObjectAN(an)) {
    out.append(separator).append("\"an\": ");
    AppendDecimal(out, an);
    separator = ", ";
  }
  std::string_view libraryProject, library, tarvo;
  int32_t number = 0;
  if (server.GetTarvoInfo(libraryProject, library, tarvo, number)) {
    out.append(separator).append("\"tarvo\": {");
    if (!AppendMember(out, "\"project\"", libraryProject) || !AppendMember(out.append(", "), "\"library\"", library) ||
        !AppendMember(out.append(", "), "\"name\"", tarvo)) {
      return false;
    }
    out.append(", \"number\": ");
    AppendDecimal(out, number);
    out += '}';
    separator = ", ";
  }
  std::string_view name, value;
  if (server.FirstProperty(name, value)) {
    out.append(separator).append("\"properties\": [");
    std::string_view between;
    do {
      out.append(between).append("{");
      if (!AppendMember(out, "\"name\"", name) || !AppendMember(out.append(", "), "\"value\"", value)) return false;
      out += '}';
      between = ", ";
    } while (server.NextProperty(name, value));
    out += ']';
  }
  out += '}';
  return true;
}

}  // namespace

bool WritePageFile(PageAutomation& server, std::string& json, std::string& error) {
  json.assign("{\n  \"objects\": [");
  std::string_view separator = "\n    ";
  for (bool more = server.FirstObject(); more; more = server.NextObject()) {
    json += separator;
    separator = ",\n    ";
    if (!AppendObject(server, json)) {
      error = "a text on the page is not valid UTF-8, which a page file cannot hold";
      return false;
    }
  }
  json += "\n  ]\n}\n";
  return true;
}

}  // namespace morvex
