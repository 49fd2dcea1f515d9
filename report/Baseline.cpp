// The baseline file: fingerprints with counts and fields, written and read back strictly.
#include "Baseline.h"

#include <simdjson.h>

#include <unordered_map>
#include <utility>

#include "Fingerprint.h"
#include "JsonText.h"

namespace morvex {

namespace {

constexpr int64_t kBaselineFormat = 1;

}  // namespace

Baseline MakeBaseline(const FindingsList& findings, bool bShowAll) {
  Baseline baseline;
  baseline.showAll = bShowAll;
  for (int32_t i = 0; i < findings.Count(); ++i) {
    const IdentityFields fields = IdentityOf(findings, i, bShowAll);
    BaselineEntry& entry = baseline.entries[FingerprintOf(fields)];
    if (entry.count++ == 0) entry.fields.assign(fields.begin(), fields.end());
  }
  return baseline;
}

void WriteBaseline(const Baseline& baseline, const OutputSink& write) {
  PieceWriter out(write);
  out.Text() += "{\"morvexBaseline\": " + std::to_string(kBaselineFormat) + ", \"report\": ";
  AppendJsonString(out.Text(), baseline.showAll ? "show-all" : "unique");
  out.Text() += ", \"findings\": [";
  bool first = true;
  for (const auto& [fingerprint, entry] : baseline.entries) {
    std::string& text = out.Text();
    text += first ? "\n  {\"fingerprint\": " : ",\n  {\"fingerprint\": ";
    first = false;
    AppendJsonString(text, fingerprint);
    text += ", \"count\": " + std::to_string(entry.count) + ", \"fields\": [";
    for (size_t f = 0; f < entry.fields.size(); ++f) {
      if (f > 0) text += ", ";
      AppendJsonString(text, entry.fields[f]);
    }
    text += "]}";
    out.MaybeFlush();
  }
  out.Text() += first ? "]}\n" : "\n]}\n";
  out.Flush();
}

std::optional<Baseline> ParseBaseline(std::string_view text, std::string& error) {
  simdjson::dom::parser parser;
  simdjson::padded_string padded(text);
  simdjson::dom::element root;
  if (const simdjson::error_code code = parser.parse(padded).get(root)) {
    error = std::string("not valid JSON: ") + simdjson::error_message(code);
    return std::nullopt;
  }
  simdjson::dom::object top;
  int64_t format = 0;
  if (root.get_object().get(top) || top["morvexBaseline"].get_int64().get(format)) {
    error = "not a morvex-scan baseline (no \"morvexBaseline\" member)";
    return std::nullopt;
  }
  if (format != kBaselineFormat) {
    error = "a baseline of format " + std::to_string(format) + ", which this morvex-scan does not read";
    return std::nullopt;
  }
  Baseline baseline;
  std::string_view report;
  simdjson::dom::array findings;
  if (top["report"].get_string().get(report) || (report != "show-all" && report != "unique") ||
      top["findings"].get_array().get(findings)) {
    error = "damaged: \"report\" must be \"show-all\" or \"unique\" and \"findings\" an array";
    return std::nullopt;
  }
  baseline.showAll = report == "show-all";
  const size_t fieldCount = baseline.showAll ? kShowAllIdentity.size() : kUniqueIdentity.size();
  size_t index = 0;
  for (const simdjson::dom::element item : findings) {
    ++index;
    std::string_view fingerprint;
    int64_t count = 0;
    simdjson::dom::array fields;
    BaselineEntry entry;
    bool ok = !item["fingerprint"].get_string().get(fingerprint) && !item["count"].get_int64().get(count) &&
              count > 0 && !item["fields"].get_array().get(fields);
    if (ok) {
      for (const simdjson::dom::element field : fields) {
        std::string_view value;
        if (field.get_string().get(value)) {
          ok = false;
          break;
        }
        entry.fields.emplace_back(value);
      }
    }
    // The fingerprint is the fields' own: a hand edit of one without the other would silently match nothing.
    if (!ok || entry.fields.size() != fieldCount || FingerprintOf(entry.fields) != fingerprint) {
      error = "damaged: entry " + std::to_string(index) +
              " needs a \"fingerprint\" that matches its \"fields\" and a positive \"count\"";
      return std::nullopt;
    }
    entry.count = count;
    if (!baseline.entries.emplace(std::string(fingerprint), std::move(entry)).second) {
      error = "damaged: entry " + std::to_string(index) + " repeats a fingerprint";
      return std::nullopt;
    }
  }
  return baseline;
}

BaselineComparison CompareWithBaseline(const FindingsList& findings, bool bShowAll, const Baseline& baseline) {
  BaselineComparison comparison;
  std::unordered_map<std::string, int64_t> seen;
  for (int32_t i = 0; i < findings.Count(); ++i) {
    const std::string fingerprint = FindingFingerprint(findings, i, bShowAll);
    const int64_t count = ++seen[fingerprint];
    const auto known = baseline.entries.find(fingerprint);
    if (known == baseline.entries.end() || count > known->second.count) comparison.fresh.push_back(i);
  }
  for (const auto& [fingerprint, entry] : baseline.entries) {
    const auto now = seen.find(fingerprint);
    const int64_t count = now == seen.end() ? 0 : now->second;
    if (count < entry.count) comparison.fixed.push_back({entry.fields, entry.count, count});
  }
  return comparison;
}

}  // namespace morvex
