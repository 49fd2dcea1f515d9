// One walk over untrusted bytes that both the HTML and the script-JSON forms share, so they cannot disagree.
#include "HtmlEscape.h"

#include "TextUtil.h"

namespace morvex {

namespace {

enum class Target { kHtml, kScriptJson };

bool IsBidiControl(char32_t c) {
  return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

char32_t DecodeAt(std::string_view text, size_t at, size_t length) {
  const auto byte = [&](size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(text[at + i])); };
  switch (length) {
    case 2: return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3: return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    default: return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 | (byte(3) & 0x3F);
  }
}

void AppendCodePointName(std::string& out, char32_t c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "[U+";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xF];
  out += ']';
}

// Bytes that need more than a copy in the target, by table: the test runs for every byte of a dense report.
struct WorkTable {
  bool html[256] = {};
  bool json[256] = {};
  constexpr WorkTable() {
    for (int c = 0; c < 256; ++c) {
      const bool always = c < 0x20 || c >= 0x7F || c == '&' || c == '<' || c == '>' || c == '"';
      html[c] = always || c == '\'';
      json[c] = always || c == '\\';
    }
  }
};
constexpr WorkTable kWork;

bool NeedsWork(unsigned char c, Target target) {
  return target == Target::kHtml ? kWork.html[c] : kWork.json[c];
}

void AppendEscaped(std::string& out, std::string_view text, Target target) {
  const bool html = target == Target::kHtml;
  size_t run = 0;
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!NeedsWork(c, target)) {
      ++i;
      continue;
    }
    out.append(text.data() + run, i - run);
    size_t consumed = 1;
    if (c < 0x20 || c == 0x7F) {
      AppendCodePointName(out, c);
    } else if (c < 0x80) {
      switch (c) {
        case '&': out += html ? "&amp;" : "\\u0026"; break;
        case '<': out += html ? "&lt;" : "\\u003c"; break;
        case '>': out += html ? "&gt;" : "\\u003e"; break;
        case '"': out += html ? "&quot;" : "\\\""; break;
        case '\'': out += "&#39;"; break;
        default: out += "\\\\"; break;
      }
    } else {
      size_t maximal = 1;
      const size_t length = WellFormedLength(text, i, maximal);
      if (length == 0) {
        AppendUtf8(out, 0xFFFD);
        consumed = maximal;
      } else {
        const char32_t code = DecodeAt(text, i, length);
        consumed = length;
        if ((code >= 0x80 && code < 0xA0) || IsBidiControl(code)) {
          AppendCodePointName(out, code);
        } else if (!html && (code == 0x2028 || code == 0x2029)) {
          out += code == 0x2028 ? "\\u2028" : "\\u2029";
        } else {
          out.append(text.data() + i, length);
        }
      }
    }
    i += consumed;
    run = i;
  }
  out.append(text.data() + run, text.size() - run);
}

}  // namespace

void AppendHtmlText(std::string& out, std::string_view bytes) {
  AppendEscaped(out, bytes, Target::kHtml);
}

std::string HtmlText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  AppendHtmlText(out, bytes);
  return out;
}

void AppendScriptJsonString(std::string& out, std::string_view bytes) {
  out += '"';
  AppendEscaped(out, bytes, Target::kScriptJson);
  out += '"';
}

}  // namespace morvex
