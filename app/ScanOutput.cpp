// Formatting of morvex-scan's stdout and stderr, kept apart from the process so tests can call it directly.
#include "ScanOutput.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "TextUtil.h"

namespace morvex {

namespace {

constexpr std::array<const char*, 8> kShowAllColumns = {"Pg Proj", "Page",   "AN",           "Lib Proj",
                                                        "Library", "Object", "Propertyname", "PropertyValue"};
constexpr std::array<const char*, 4> kUniqueColumns = {"Project", "Library", "Object", "Propertyname"};

bool IsDecimalInteger(std::u16string_view text) {
  if (!text.empty() && text.front() == u'-') text.remove_prefix(1);
  if (text.empty()) return false;
  for (char16_t unit : text) {
    if (unit < u'0' || unit > u'9') return false;
  }
  return true;
}

std::u16string_view WithoutApostrophes(std::u16string_view value) {
  if (value.size() >= 2 && value.front() == u'\'' && value.back() == u'\'') {
    value.remove_prefix(1);
    value.remove_suffix(1);
  }
  return value;
}

template <size_t N>
void AppendObject(std::string& out, const std::array<const char*, N>& columns,
                  const std::vector<std::u16string>& fields) {
  out += "  {";
  for (size_t column = 0; column < N; ++column) {
    if (column > 0) out += ", ";
    const std::string_view title = columns[column];
    out += JsonString(Utf8ToUtf16(title));
    out += ": ";
    std::u16string_view value = column < fields.size() ? std::u16string_view(fields[column]) : std::u16string_view();
    if (title == "AN" && IsDecimalInteger(value)) {
      out += Utf16ToUtf8(value);
    } else if (title == "PropertyValue") {
      out += JsonString(WithoutApostrophes(value));
    } else {
      out += JsonString(value);
    }
  }
  out += "}";
}

void AppendTsvEscaped(std::u16string& out, std::u16string_view field) {
  for (const char16_t unit : field) {
    switch (unit) {
      case u'\t': out += u"\\t"; break;
      case u'\r': out += u"\\r"; break;
      case u'\n': out += u"\\n"; break;
      case u'\\': out += u"\\\\"; break;
      default: out.push_back(unit);
    }
  }
}

bool RunHasReport(const SearchResult& result) {
  return result.outcome == RunOutcome::kCompleted || result.outcome == RunOutcome::kCancelled;
}

}  // namespace

std::string FormatTsv(const SearchResult& result) {
  if (!RunHasReport(result) || result.report.empty()) return {};
  const FindingsList& findings = result.findings;
  // The core's report joins fields with bare tabs; a value holding a tab or a line end would forge a column
  // or a row for whoever reads the stream, so the lines are rebuilt here from the fields, each one escaped.
  const std::u16string& report = result.report;
  const size_t headerEnd = std::min(report.find_first_of(u"\r\n"), report.size());
  std::u16string text(report, 0, headerEnd);
  text.push_back(u'\n');
  for (int32_t i = 0; i < findings.Count(); ++i) {
    const std::vector<std::u16string>& fields = findings.Fields(i);
    for (size_t f = 0; f < fields.size(); ++f) {
      if (f > 0) text.push_back(u'\t');
      AppendTsvEscaped(text, fields[f]);
    }
    text.push_back(u'\n');
  }
  return Utf16ToUtf8(text);
}

std::string FormatJson(const SearchResult& result, bool bShowAll) {
  if (!RunHasReport(result)) return {};
  const FindingsList& findings = result.findings;
  if (findings.Count() == 0) return "[]\n";
  std::string out = "[\n";
  for (int32_t i = 0; i < findings.Count(); ++i) {
    if (i > 0) out += ",\n";
    if (bShowAll) {
      AppendObject(out, kShowAllColumns, findings.Fields(i));
    } else {
      AppendObject(out, kUniqueColumns, findings.Fields(i));
    }
  }
  out += "\n]\n";
  return out;
}

std::string JsonString(std::u16string_view text) {
  const std::string utf8 = Utf16ToUtf8(text);
  std::string out;
  out.reserve(utf8.size() + 2);
  out.push_back('"');
  for (char byte : utf8) {
    const auto unit = static_cast<unsigned char>(byte);
    switch (byte) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (unit < 0x20 || unit == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", unit);
          out += escaped;
        } else {
          out.push_back(byte);
        }
    }
  }
  out.push_back('"');
  return out;
}

std::string MessageLine(std::u16string_view message) {
  std::u16string line;
  line.reserve(message.size());
  for (size_t i = 0; i < message.size(); ++i) {
    if (message[i] == u'\r' && i + 1 < message.size() && message[i + 1] == u'\n') {
      line.push_back(u' ');
      ++i;
    } else if (message[i] == u'\r' || message[i] == u'\n') {
      // A line break that came in with a file name must not split the message over two lines.
      line.push_back(u' ');
    } else {
      line.push_back(message[i]);
    }
  }
  return Utf16ToUtf8(line) + "\n";
}

int ExitStatus(const SearchResult& result) {
  switch (result.outcome) {
    case RunOutcome::kCompleted: return result.findings.Count() > 0 ? 1 : 0;
    case RunOutcome::kCancelled: return 130;
    case RunOutcome::kProjectListMissing:
    case RunOutcome::kUnexpectedError: return 2;
  }
  return 2;
}

}  // namespace morvex
