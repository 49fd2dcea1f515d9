// The tsv, json and json-v2 reports, written a finding at a time or whole.
#include "TsvJsonReport.h"

#include <algorithm>
#include <array>

#include "JsonText.h"
#include "ReportPieces.h"
#include "Statistics.h"

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

// The core's lines join fields with bare tabs; a value holding a tab or a line end would forge a column or a
// row for whoever reads the stream, so each field is escaped on its own.
// One pass over the line, byte by byte: the search for any of several characters walks the set once per byte.
bool NeedsNoEscape(std::string_view line, int32_t fieldCount) {
  int32_t tabs = 0;
  for (const char c : line) {
    if (c == '\r' || c == '\n' || c == '\\') return false;
    tabs += c == '\t';
  }
  return tabs + 1 == fieldCount;
}

void AppendTsvLine(std::string& text, const FindingsList& findings, int32_t i) {
  const std::string_view line = findings.Line(i);
  if (NeedsNoEscape(line, findings.FieldCount(i))) {
    text += line;  // no field holds anything to escape
  } else {
    for (int32_t f = 0; f < findings.FieldCount(i); ++f) {
      if (f > 0) text.push_back('\t');
      AppendTsvEscaped(text, findings.Field(i, f));
    }
  }
  text.push_back('\n');
}

}  // namespace

ReportStream::ReportStream(Format format, bool bShowAll, const OutputSink& write,
                           const std::vector<TemplateCount>* counts)
    : format_(format), showAll_(bShowAll), counts_(counts), out_(write) {}

void ReportStream::Add(const FindingsList& findings, int32_t index) {
  std::string& text = out_.Text();
  if (added_++ == 0) {
    if (format_ == Format::kTsv) {
      text.append(ReportHeader(showAll_));
      if (counts_ != nullptr) text.append(kCountsHeader);
      text.append("\n");
    }
    if (format_ == Format::kJsonV2) text += "{\"findings\": ";
    if (format_ != Format::kTsv) text += "[\n";
  } else if (format_ != Format::kTsv) {
    text += ",\n";
  }
  if (format_ == Format::kTsv) {
    AppendTsvLine(text, findings, index);
    if (counts_ != nullptr) {
      text.pop_back();  // the line end goes after the counts
      AppendCountsColumns(text, (*counts_)[static_cast<size_t>(index)]);
      text += '\n';
    }
  } else if (showAll_) {
    AppendObject(text, kShowAllColumns, findings, index);
  } else {
    AppendObject(text, kUniqueColumns, findings, index);
    if (counts_ != nullptr) {
      const TemplateCount& count = (*counts_)[static_cast<size_t>(index)];
      text.pop_back();
      text.append(", \"Placements\": ").append(std::to_string(count.placements));
      text.append(", \"Pages\": ").append(std::to_string(count.pages));
      text.append(", \"Projects\": ").append(std::to_string(count.projects)).append("}");
    }
  }
  out_.MaybeFlush();
}

void ReportStream::Finish(const SearchResult& result) {
  // A run that failed before it found anything has no report; one that failed later ends what it began.
  if (added_ == 0 && !RunHasReport(result)) return;
  std::string& text = out_.Text();
  if (format_ == Format::kTsv) {
    if (added_ == 0) text.append(kNoItemsFound).append("\n");
    out_.Flush();
    return;
  }
  if (format_ == Format::kJsonV2 && added_ == 0) text += "{\"findings\": ";
  text += added_ == 0 ? "[]" : "\n]";
  if (format_ == Format::kJson) {
    text += "\n";
    out_.Flush();
    return;
  }
  text += ",\n\"unopened\": [";
  bool first = true;
  // A page list is told by its path where a page is told by its name.
  result.unopened.ForEachAlike([&](std::string_view project, std::string_view name, bool isList,
                                   PageFailureReason reason, std::string_view detail) {
    std::string& line = out_.Text();
    line += first ? "\n  {\"project\": " : ",\n  {\"project\": ";
    first = false;
    AppendJsonString(line, project);
    line += isList ? ", \"pageList\": " : ", \"page\": ";
    AppendJsonString(line, name);
    line += ", \"reason\": ";
    AppendJsonString(line, PageFailureId(reason));
    line += ", \"description\": ";
    AppendJsonString(line, DescribePageFailure(reason, detail));
    line += "}";
    out_.MaybeFlush();
  });
  // A cancelled report, one an error cut short, or one whose export failed, must not read as the whole run.
  out_.Text() += first ? "],\n" : "\n],\n";
  out_.Text() += RunIsComplete(result) ? "\"complete\": true}\n" : "\"complete\": false}\n";
  out_.Flush();
}

namespace {

void WriteWhole(ReportStream::Format format, bool bShowAll, const SearchResult& result, const OutputSink& write,
                const FindingSelection* selection, const std::vector<TemplateCount>* counts) {
  if (!RunHasReport(result)) return;
  ReportStream stream(format, bShowAll, write, counts);
  ForEachSelected(result.findings, selection, [&](int32_t i) { stream.Add(result.findings, i); });
  stream.Finish(result);
}

}  // namespace

void WriteTsv(const SearchResult& result, const OutputSink& write, const FindingSelection* selection,
              const std::vector<TemplateCount>* counts) {
  WriteWhole(ReportStream::Format::kTsv, result.showAll, result, write, selection, counts);
}

void WriteJson(const SearchResult& result, bool bShowAll, const OutputSink& write, const FindingSelection* selection,
               const std::vector<TemplateCount>* counts) {
  WriteWhole(ReportStream::Format::kJson, bShowAll, result, write, selection, counts);
}

void WriteJsonWithUnopened(const SearchResult& result, bool bShowAll, const OutputSink& write,
                           const FindingSelection* selection, const std::vector<TemplateCount>* counts) {
  WriteWhole(ReportStream::Format::kJsonV2, bShowAll, result, write, selection, counts);
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

}  // namespace morvex
