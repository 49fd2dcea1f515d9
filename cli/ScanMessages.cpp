// morvex-scan's stderr lines and exit status: control characters shown, unopened pages named, the run counted.
#include "ScanMessages.h"

#include <cstdio>
#include <set>
#include <utility>

#include "TextUtil.h"

namespace morvex {

namespace {

// A field of a line for stderr: as in the report, and every other control character escaped too.
void AppendMessageField(std::string& out, std::string_view field) {
  for (const char c : field) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\\': out += "\\\\"; break;
      default:
        if (IsControl(c)) {
          AppendControlEscaped(out, c);
        } else {
          out.push_back(c);
        }
    }
  }
}

}  // namespace

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

void AppendControlEscaped(std::string& out, char c) {
  if (c == '\0') {
    out += "\\0";
    return;
  }
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
  out += escaped;
}

void AppendShownControls(std::string& out, std::string_view text) {
  for (const char c : text) {
    if (IsControl(c)) {
      AppendControlEscaped(out, c);
    } else {
      out.push_back(c);
    }
  }
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
    } else if (message[i] != '\t' && IsControl(message[i])) {
      AppendControlEscaped(line, message[i]);
    } else {
      line.push_back(message[i]);
    }
  }
  line.push_back('\n');
  return line;
}

void WriteUnopenedLines(const SearchResult& result, const OutputSink& write) {
  PieceWriter out(write);
  result.unopened.ForEachAlike([&](std::string_view project, std::string_view name, bool isList,
                                   PageFailureReason reason, std::string_view detail) {
    std::string& text = out.Text();
    text += isList ? "morvex-scan: page list not opened: " : "morvex-scan: not opened: ";
    AppendMessageField(text, project);
    text += '\t';
    AppendMessageField(text, name);
    text += '\t';
    AppendMessageField(text, DescribePageFailure(reason, detail));
    text += '\n';
    out.MaybeFlush();
  });
  out.Flush();
}

namespace {

std::string Counted(int64_t count, std::string_view one, std::string_view many) {
  return GroupThousands(count) + " " + std::string(count == 1 ? one : many);
}

}  // namespace

std::string RunCounts(const SearchResult& result, bool bShowAll, const FindingSelection* selection) {
  const int64_t scanned = result.unopened.Tried() - result.unopened.Count();
  const int32_t reported = SelectedCount(result.findings, selection);
  std::string line = reported == 0 ? "no collisions" : Counted(reported, "collision", "collisions");
  if (selection != nullptr) line += " beyond the baseline";
  // "0 of 5 pages" would say the same less plainly.
  if (!bShowAll || reported == 0) return line + " in " + Counted(scanned, "page", "pages") + " scanned";
  std::set<std::pair<std::string_view, std::string_view>> pages;
  ForEachSelected(result.findings, selection, [&](int32_t i) {
    if (result.findings.FieldCount(i) >= 2) pages.emplace(result.findings.Field(i, 0), result.findings.Field(i, 1));
  });
  return line + " on " + GroupThousands(static_cast<int64_t>(pages.size())) + " of " +
         Counted(scanned, "page", "pages") + " scanned";
}

int ExitStatus(const SearchResult& result, const FindingSelection* selection) {
  switch (result.outcome) {
    case RunOutcome::kCompleted:
      if (result.unopened.NothingScanned()) return 2;
      return SelectedCount(result.findings, selection) > 0 ? 1 : 0;
    case RunOutcome::kCancelled: return 130;
    case RunOutcome::kProjectListMissing:
    case RunOutcome::kUnexpectedError: return 2;
  }
  return 2;
}

}  // namespace morvex
