// Formatting of morvex-scan's stdout and stderr, kept apart from the process so tests can call it directly.
#include "ScanOutput.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "OutputPieces.h"
#include "TextUtil.h"

namespace morvex {

namespace {

constexpr std::array<std::string_view, 8> kShowAllColumns = {"Pg Proj", "Page",   "AN",           "Lib Proj",
                                                             "Library", "Object", "Propertyname", "PropertyValue"};
constexpr std::array<std::string_view, 4> kUniqueColumns = {"Project", "Library", "Object", "Propertyname"};

bool IsDecimalInteger(std::string_view text) {
  if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  if (text.empty()) return false;
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view WithoutApostrophes(std::string_view value) {
  if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
    value.remove_prefix(1);
    value.remove_suffix(1);
  }
  return value;
}

template <size_t N>
void AppendObject(std::string& out, const std::array<std::string_view, N>& columns, const FindingsList& findings,
                  int32_t line) {
  out += "  {";
  const int32_t fields = findings.FieldCount(line);
  for (size_t column = 0; column < N; ++column) {
    if (column > 0) out += ", ";
    const std::string_view title = columns[column];
    AppendJsonString(out, title);
    out += ": ";
    const std::string_view value =
        static_cast<int32_t>(column) < fields ? findings.Field(line, static_cast<int32_t>(column)) : std::string_view();
    if (title == "AN" && IsDecimalInteger(value)) {
      out += value;
    } else if (title == "PropertyValue") {
      AppendJsonString(out, WithoutApostrophes(value));
    } else {
      AppendJsonString(out, value);
    }
  }
  out += "}";
}

void AppendTsvEscaped(std::string& out, std::string_view field) {
  // Most fields hold nothing to escape: those go in whole.
  if (field.find_first_of("\t\r\n\\") == std::string_view::npos) {
    out += field;
    return;
  }
  for (const char c : field) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\\': out += "\\\\"; break;
      default: out.push_back(c);
    }
  }
}

}  // namespace

void WriteTsv(const SearchResult& result, const OutputSink& write, const FindingSelection* selection) {
  if (!RunHasReport(result)) return;
  const FindingsList& findings = result.findings;
  PieceWriter out(write);
  if (SelectedCount(findings, selection) == 0) {
    out.Text().append(kNoItemsFound).append("\n");
    out.Flush();
    return;
  }
  out.Text().append(ReportHeader(result.showAll)).append("\n");
  // The core's lines join fields with bare tabs; a value holding a tab or a line end would forge a column or a
  // row for whoever reads the stream, so each field is escaped on its own.
  ForEachSelected(findings, selection, [&](int32_t i) {
    const std::string_view line = findings.Line(i);
    std::string& text = out.Text();
    if (line.find_first_of("\r\n\\") == std::string_view::npos &&
        std::count(line.begin(), line.end(), '\t') + 1 == findings.FieldCount(i)) {
      text += line;  // no field holds anything to escape
    } else {
      for (int32_t f = 0; f < findings.FieldCount(i); ++f) {
        if (f > 0) text.push_back('\t');
        AppendTsvEscaped(text, findings.Field(i, f));
      }
    }
    text.push_back('\n');
    out.MaybeFlush();
  });
  out.Flush();
}

void AppendJsonFindings(PieceWriter& out, const FindingsList& findings, bool bShowAll,
                        const FindingSelection* selection) {
  if (SelectedCount(findings, selection) == 0) {
    out.Text() += "[]";
    return;
  }
  out.Text() += "[\n";
  bool first = true;
  ForEachSelected(findings, selection, [&](int32_t i) {
    if (!first) out.Text() += ",\n";
    first = false;
    if (bShowAll) {
      AppendObject(out.Text(), kShowAllColumns, findings, i);
    } else {
      AppendObject(out.Text(), kUniqueColumns, findings, i);
    }
    out.MaybeFlush();
  });
  out.Text() += "\n]";
}

void WriteJson(const SearchResult& result, bool bShowAll, const OutputSink& write, const FindingSelection* selection) {
  if (!RunHasReport(result)) return;
  PieceWriter out(write);
  AppendJsonFindings(out, result.findings, bShowAll, selection);
  out.Text() += "\n";
  out.Flush();
}

void WriteJsonWithUnopened(const SearchResult& result, bool bShowAll, const OutputSink& write,
                           const FindingSelection* selection) {
  if (!RunHasReport(result)) return;
  PieceWriter out(write);
  out.Text() += "{\"findings\": ";
  AppendJsonFindings(out, result.findings, bShowAll, selection);
  out.Text() += ",\n\"unopened\": [";
  const UnopenedPages& unopened = result.unopened;
  for (int64_t i = 0; i < unopened.Count(); ++i) {
    const UnopenedPages::Entry entry = unopened.At(i);
    std::string& text = out.Text();
    text += i == 0 ? "\n  {\"project\": " : ",\n  {\"project\": ";
    AppendJsonString(text, entry.project);
    text += ", \"page\": ";
    AppendJsonString(text, entry.page);
    text += ", \"reason\": ";
    AppendJsonString(text, PageFailureId(entry.reason));
    text += ", \"description\": ";
    AppendJsonString(text, DescribePageFailure(entry.reason, entry.detail));
    text += "}";
    out.MaybeFlush();
  }
  out.Text() += unopened.Count() == 0 ? "]}\n" : "\n]}\n";
  out.Flush();
}

void WriteUnopenedLines(const SearchResult& result, const OutputSink& write) {
  PieceWriter out(write);
  const UnopenedPages& unopened = result.unopened;
  for (int64_t i = 0; i < unopened.Count(); ++i) {
    const UnopenedPages::Entry entry = unopened.At(i);
    std::string& text = out.Text();
    text += "morvex-scan: not opened: ";
    AppendTsvEscaped(text, entry.project);
    text += '\t';
    AppendTsvEscaped(text, entry.page);
    text += '\t';
    AppendTsvEscaped(text, DescribePageFailure(entry.reason, entry.detail));
    text += '\n';
    out.MaybeFlush();
  }
  out.Flush();
}

std::string FormatTsv(const SearchResult& result) {
  std::string text;
  WriteTsv(result, [&text](std::string_view piece) { text += piece; });
  return text;
}

std::string FormatJson(const SearchResult& result, bool bShowAll) {
  std::string text;
  WriteJson(result, bShowAll, [&text](std::string_view piece) { text += piece; });
  return text;
}


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

std::string MessageLine(std::string_view message) {
  std::string line;
  line.reserve(message.size() + 1);
  for (size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n') {
      line.push_back(' ');
      ++i;
    } else if (message[i] == '\r' || message[i] == '\n') {
      // A line break that came in with a file name must not split the message over two lines.
      line.push_back(' ');
    } else {
      line.push_back(message[i]);
    }
  }
  line.push_back('\n');
  return line;
}

bool NoPageOpened(const SearchResult& result) {
  return result.unopened.Tried() > 0 && result.unopened.Count() == result.unopened.Tried();
}

int ExitStatus(const SearchResult& result, const FindingSelection* selection) {
  switch (result.outcome) {
    case RunOutcome::kCompleted:
      if (NoPageOpened(result)) return 2;
      return SelectedCount(result.findings, selection) > 0 ? 1 : 0;
    case RunOutcome::kCancelled: return 130;
    case RunOutcome::kProjectListMissing:
    case RunOutcome::kUnexpectedError: return 2;
  }
  return 2;
}

}  // namespace morvex
