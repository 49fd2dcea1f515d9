// The SARIF log's frame: the tool and its rules, the base folder, the results, the pages that did not open.
#include "SarifReport.h"

#include "FindingView.h"
#include "JsonText.h"
#include "PageFailure.h"
#include "ReservedKeywords.h"
#include "SarifPlaces.h"
#include "SarifResults.h"
#include "Version.h"

namespace morvex {

namespace {

constexpr std::string_view kBaseId = "SITE";
constexpr std::string_view kRootBaseId = "ROOT";
// Where a reader learns more about the tool: its manual page, installed with it.
constexpr std::string_view kInformationUri = "man:morvex-scan(1)";

void AppendProperty(std::string& out, std::string_view name, std::string_view value, bool first = false) {
  if (!first) out += ", ";
  AppendJsonString(out, name);
  out += ": ";
  AppendJsonString(out, value);
}

void AppendRules(std::string& out) {
  out += "\"rules\": [";
  for (size_t i = 0; i < ReservedKeywords.size(); ++i) {
    const std::string name(ReservedKeywords[i]);
    out += i == 0 ? "\n" : ",\n";
    out += "        {";
    AppendProperty(out, "id", std::string(kRulePrefix) + name, true);
    AppendProperty(out, "name", "TarvoPropertyNamed" + name);
    out += ", \"shortDescription\": {";
    AppendProperty(out, "text", "A Tarvo property is named \"" + name + "\", a reserved property name.", true);
    out += "}, \"fullDescription\": {";
    AppendProperty(out, "text",
                   "\"" + name + "\" is one of the property names the package reserves for its own objects. A Tarvo "
                   "template property of that name collides with it: what a page shows or does for that property "
                   "depends on which of the two the package takes.", true);
    out += "}, \"help\": {";
    AppendProperty(out, "text",
                   "Rename the property \"" + name + "\" in the Tarvo template (its library project and library "
                   "are in the result) and in the pages that place it, then scan again.", true);
    out += "}, \"defaultConfiguration\": {\"level\": \"warning\"}}";
  }
  out += "\n      ]";
}

void AppendNotification(std::string& out, const UnopenedPages::Entry& entry, SarifPlaces& places) {
  const std::string description = DescribePageFailure(entry.reason, entry.detail);
  out += "          {\"level\": \"warning\", \"descriptor\": {\"id\": \"page-not-opened\"}, \"message\": {";
  AppendProperty(out, "text",
                 "Page \"" + std::string(entry.page) + "\" of project \"" + std::string(entry.project) +
                     "\" could not be opened: " + description + ".",
                 true);
  out += "}";
  std::string location;
  if (places.AppendPageLocation(location, entry.project, entry.page, nullptr))
    out += ", \"locations\": [{" + location + "}]";
  out += ", \"properties\": {";
  AppendProperty(out, "project", entry.project, true);
  AppendProperty(out, "page", entry.page);
  AppendProperty(out, "reason", PageFailureId(entry.reason));
  out += "}}";
}

// A page list that could not be read: none of its project's pages were tried, which the log says in words.
void AppendListNotification(std::string& out, const UnopenedPages::PageList& list, SarifPlaces& places) {
  const std::string description = DescribePageFailure(list.reason, list.detail);
  out += "          {\"level\": \"error\", \"descriptor\": {\"id\": \"page-list-not-opened\"}, ";
  out += "\"message\": {";
  AppendProperty(out, "text",
                 "The page list of project \"" + list.project +
                     "\" could not be opened, so none of its pages were scanned: " + description + ".",
                 true);
  out += "}";
  if (!list.path.empty()) {
    out += ", \"locations\": [{";
    places.AppendFileLocation(out, list.path);
    out += "}]";
  }
  out += ", \"properties\": {";
  AppendProperty(out, "project", list.project, true);
  AppendProperty(out, "pageList", list.path);
  AppendProperty(out, "reason", PageFailureId(list.reason));
  out += "}}";
}

}  // namespace

SarifShape WriteSarif(const SearchResult& result, bool bShowAll, std::string_view siteFolder,
                      const OutputSink& write, const FindingSelection* selection, const SarifOptions& options) {
  SarifShape shape;
  if (!RunHasReport(result)) return shape;
  const bool bFromRoot = !options.files.folder.empty();
  const std::string_view baseFolder = bFromRoot ? std::string_view(options.files.folder) : siteFolder;
  const std::string_view baseId = bFromRoot ? kRootBaseId : kBaseId;
  SarifPlaces places(result, siteFolder, options.files, baseId);
  PieceWriter out(write);
  std::string& head = out.Text();
  head += "{\n  \"$schema\": \"https://json.schemastore.org/sarif-2.1.0.json\",\n  \"version\": \"2.1.0\",\n";
  head += "  \"runs\": [{\n    \"tool\": {\"driver\": {\"name\": \"morvex-scan\", ";
  AppendProperty(head, "version", kVersionText, true);
  AppendProperty(head, "semanticVersion", kVersionText);
  AppendProperty(head, "informationUri", kInformationUri);
  head += ",\n      ";
  AppendRules(head);
  head += "}},\n    \"originalUriBaseIds\": {";
  AppendJsonString(head, baseId);
  head += ": {\"uri\": ";
  std::string baseUri = FileUri(baseFolder);
  if (!baseUri.ends_with('/')) baseUri += '/';
  AppendJsonString(head, baseUri);
  head += "}},\n    \"results\": [";
  shape = WriteSarifResults(out, result, bShowAll, selection, options, places);
  out.Text() += shape.results == 0 ? "],\n" : "\n    ],\n";
  // A cancelled run, or one whose export failed, is a run that did not finish its work.
  out.Text() += std::string("    \"invocations\": [{\"executionSuccessful\": ") +
                (RunIsComplete(result) && !result.unopened.NothingScanned() ? "true" : "false") +
                ", \"toolExecutionNotifications\": [";
  bool firstNotification = true;
  result.unopened.ForEachInRunOrder(
      [&](const UnopenedPages::PageList& list) {
        out.Text() += firstNotification ? "\n" : ",\n";
        firstNotification = false;
        AppendListNotification(out.Text(), list, places);
      },
      [&](const UnopenedPages::Entry& entry) {
        out.Text() += firstNotification ? "\n" : ",\n";
        firstNotification = false;
        AppendNotification(out.Text(), entry, places);
        out.MaybeFlush();
      });
  out.Text() += firstNotification ? "]}]\n  }]\n}\n" : "\n      ]}]\n  }]\n}\n";
  out.Flush();
  return shape;
}

std::vector<std::string> SarifLimitWarnings(const SarifShape& shape, uint64_t gzipBytes, bool bShowAll,
                                            const SarifLimits& limits, bool bGzipExact) {
  // What narrows a log: a show-all log shrinks to one result per template property, any log to what is new.
  const std::string narrower = bShowAll ? "--unique gives one result per template property"
                                        : "--baseline leaves only the findings beyond a baseline";
  std::vector<std::string> warnings;
  if (shape.results > limits.results) {
    warnings.push_back("the SARIF log holds " + std::to_string(shape.results) + " results, more than the " +
                       std::to_string(limits.results) + " code-scanning services take in a run; " + narrower);
  }
  if (shape.mostLocations > limits.locations) {
    warnings.push_back("a result of the SARIF log has " + std::to_string(shape.mostLocations) +
                       " locations, more than the " + std::to_string(limits.locations) +
                       " code-scanning services take; without --sarif-results placement a result lists at most " +
                       std::to_string(limits.locations));
  }
  if (gzipBytes > limits.gzipBytes) {
    warnings.push_back("the SARIF log is " + std::string(bGzipExact ? "" : "about ") +
                       std::to_string(gzipBytes) + " bytes gzip-compressed, more than the " +
                       std::to_string(limits.gzipBytes) + " code-scanning services take; " + narrower);
  }
  return warnings;
}

}  // namespace morvex
