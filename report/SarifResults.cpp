// The results of a SARIF log, a finding or a group of placements each, their repeated parts made once.
#include "SarifResults.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Fingerprint.h"
#include "FindingView.h"
#include "JsonText.h"
#include "PlacementGroups.h"
#include "ReservedKeywords.h"

namespace morvex {

namespace {

// Appends {"name": "name", "fullyQualifiedName": "parts joined by /", "kind": "kind"}, every text escaped already.
void AppendLogicalLocation(std::string& out, std::string_view name, std::initializer_list<std::string_view> parts,
                           std::string_view kind) {
  out += "{\"name\": \"";
  out += name;
  out += "\", \"fullyQualifiedName\": \"";
  bool firstPart = true;
  for (const std::string_view part : parts) {
    if (!firstPart) out += '/';
    firstPart = false;
    out += part;
  }
  out += "\", \"kind\": \"";
  out += kind;
  out += "\"}";
}

std::string EscapedJson(std::string_view text) {
  std::string escaped;
  AppendJsonText(escaped, text);
  return escaped;
}

// Writes the results. A dense site has hundreds of thousands of placements on far fewer pages and templates,
// and most of a location's bytes are its page's or its template's: those parts are made once, when the page or
// the template changes, and copied whole into each location.
class SarifResults {
 public:
  SarifResults(SarifPlaces& places, const SarifOptions& options) : places_(places), options_(options) {
    for (size_t i = 0; i < ReservedKeywords.size(); ++i) {
      ruleNames_.push_back(EscapedJson(ReservedKeywords[i]));
      AppendRuleHead(ruleHeads_.emplace_back(), ruleNames_.back(), i);
    }
  }

  // A result for a finding of a --show-all list: one placement, or the placements of one template property on
  // one page (`group`, in report order, the finding first).
  void AppendPlacements(std::string& out, const FindingsList& findings, std::span<const int32_t> group) {
    const int32_t first = group.front();
    const int32_t listed = static_cast<int32_t>(std::min<size_t>(group.size(), kMostLocations));
    AppendHead(out, findings, first, 3);
    if (group.size() > 1) {
      out += " It is placed ";
      out += std::to_string(group.size());
      out += " times on this page.";
    }
    out += "\"}, \"locations\": [";
    for (int32_t i = 0; i < listed; ++i) {
      if (i > 0) out += ", ";
      AppendPlacementLocation(out, findings, group[static_cast<size_t>(i)], i == 0);
    }
    AppendFingerprints(out, IdentityOf(findings, first, true));
    out += page_.propertiesHead;
    if (options_.perPlacement) {
      out += ", \"an\": \"";
      AppendJsonText(out, Field(findings, first, 2));
      out += '"';
    }
    out += ", ";
    out += template_->propertiesHead;
    out += escapedProperty_;
    out += '"';
    if (options_.perPlacement) {
      out += ", \"value\": \"";
      AppendJsonText(out, Field(findings, first, 7));
      out += '"';
    } else {
      out += ", \"placements\": ";
      out += std::to_string(group.size());
      if (group.size() > kMostLocations) {
        out += ", \"placementsNotListed\": ";
        out += std::to_string(group.size() - kMostLocations);
      }
    }
    out += "}}";
    mostLocations_ = std::max<int64_t>(mostLocations_, listed);
  }

  // A result for a finding of a --unique list, at the page of its first placement where that is known.
  void AppendUnique(std::string& out, const FindingsList& findings, int32_t index) {
    AppendHead(out, findings, index, 0);
    out += "\"}, \"locations\": [{";
    const UniquePlacements* unique = options_.unique;
    if (unique != nullptr && static_cast<size_t>(index) < unique->first.size()) {
      const int32_t placement = unique->first[static_cast<size_t>(index)];
      bool outside = false;
      if (places_.AppendPageLocation(out, Field(unique->placements, placement, 0),
                                     Field(unique->placements, placement, 1), PlaceOf(placement), &outside))
        out += ", ";
      outsideRoot_ += outside ? 1 : 0;
    }
    out += "\"logicalLocations\": [";
    out += template_->logical;
    out += "]}";
    AppendFingerprints(out, IdentityOf(findings, index, false));
    out += template_->propertiesHead;
    out += escapedProperty_;
    out += "\"}}";
    mostLocations_ = std::max<int64_t>(mostLocations_, 1);
  }

  int64_t MostLocations() const { return mostLocations_; }
  int64_t OutsideRoot() const { return outsideRoot_; }
  // Off where no two results can share a fingerprint, each then its first.
  void CountOccurrences(bool count) { countOccurrences_ = count; }

 private:
  static constexpr size_t kMostLocations = 1000;

  static std::string_view Field(const FindingsList& findings, int32_t index, int32_t column) {
    return column < findings.FieldCount(index) ? findings.Field(index, column) : std::string_view();
  }

  const ObjectPlace* PlaceOf(int32_t placement) {
    static const ObjectPlace kUnknown;
    const std::vector<ObjectPlace>* places = options_.places;
    if (places == nullptr || static_cast<size_t>(placement) >= places->size()) return &kUnknown;
    return &(*places)[static_cast<size_t>(placement)];
  }

  // From the result's start to the end of the message's first sentence; `base` is the library project's column.
  void AppendHead(std::string& out, const FindingsList& findings, int32_t index, int32_t base) {
    const std::string_view property = Field(findings, index, base + 3);
    if (base > 0) UsePage(Field(findings, index, 0), Field(findings, index, 1));
    template_ = &TemplateOf(Field(findings, index, base), Field(findings, index, base + 1),
                            Field(findings, index, base + 2));
    escapedProperty_.clear();
    AppendJsonText(escapedProperty_, property);
    if (const std::optional<size_t> rule = ReservedKeywordIndex(property)) {
      out += ruleHeads_[*rule];
    } else {
      AppendRuleHead(out, escapedProperty_, std::nullopt);
    }
    out += template_->messageHead;
    out += escapedProperty_;
    out += "\\\", a reserved property name.";
  }

  // The first location names the page and the template; the others, the same template on the same page, only
  // their object, to keep a log of many placements small.
  void AppendPlacementLocation(std::string& out, const FindingsList& findings, int32_t placement, bool full) {
    out += '{';
    // The list's own views: the places keep them as keys.
    bool outside = false;
    if (places_.AppendPageLocation(out, Field(findings, placement, 0), Field(findings, placement, 1),
                                   PlaceOf(placement), &outside))
      out += ", ";
    if (full && outside) ++outsideRoot_;
    out += "\"logicalLocations\": [";
    if (full) out += page_.logical;
    escapedAn_.clear();
    AppendJsonText(escapedAn_, Field(findings, placement, 2));
    out += "{\"name\": \"";
    out += escapedAn_;
    out += "\", \"fullyQualifiedName\": \"";
    out += page_.qualifiedPrefix;
    out += escapedAn_;
    out += "\", \"kind\": \"object\"}";
    if (full) {
      out += ", ";
      out += template_->logical;
    }
    out += "], \"properties\": {\"an\": \"";
    out += escapedAn_;
    out += "\", \"value\": \"";
    AppendJsonText(out, Field(findings, placement, 7));
    out += "\"}}";
  }

  // Our own fingerprint, and the line hash code-scanning services match alerts by, made from it: the n-th
  // result of a fingerprint gets ":n", so no two results share one.
  void AppendFingerprints(std::string& out, const IdentityFields& identity) {
    FingerprintHash hash;
    for (const std::string_view field : identity) hash.Add(field);
    fingerprint_.clear();
    hash.AppendText(fingerprint_);
    // Keyed by the hash the text spells: a dense log has hundreds of thousands of results.
    const int32_t occurrence = countOccurrences_ ? ++occurrences_[hash.Value()] : 1;
    out += "], \"partialFingerprints\": {\"";
    out += kFingerprintName;
    out += "\": \"";
    out += fingerprint_;
    out += "\", \"primaryLocationLineHash\": \"";
    out += fingerprint_;
    out += ':';
    out += std::to_string(occurrence);
    out += "\"}, \"properties\": {";
  }

  static void AppendRuleHead(std::string& out, std::string_view escapedProperty, std::optional<size_t> rule) {
    out += "        {\"ruleId\": \"";
    out += kRulePrefix;
    out += escapedProperty;
    out += '"';
    if (rule) {
      out += ", \"ruleIndex\": ";
      out += std::to_string(*rule);
    }
    out += ", \"level\": \"warning\", \"message\": {\"text\": \"Tarvo \\\"";
  }

  struct PagePart {
    std::string project, page;    // as in the findings, to tell when the page changes
    std::string logical;          // the project's and the page's logical locations, each followed by ", "
    std::string qualifiedPrefix;  // "project/page/", escaped
    std::string propertiesHead;   // "project" and "page"
  };

  // The logical locations and properties of one template, and its part of the message.
  struct TemplatePart {
    std::array<std::string, 3> raw;  // library project, library, Tarvo
    std::string messageHead;         // from the Tarvo's name up to the property's
    std::string logical;             // its logical locations
    std::string propertiesHead;      // up to the property's value
  };

  void UsePage(std::string_view project, std::string_view page) {
    if (pageKnown_ && project == page_.project && page == page_.page) return;
    pageKnown_ = true;
    page_.project.assign(project);
    page_.page.assign(page);
    const std::string escapedProject = EscapedJson(project), escapedPage = EscapedJson(page);
    page_.logical.clear();
    AppendLogicalLocation(page_.logical, escapedProject, {escapedProject}, "namespace");
    page_.logical += ", ";
    AppendLogicalLocation(page_.logical, escapedPage, {escapedProject, escapedPage}, "module");
    page_.logical += ", ";
    page_.qualifiedPrefix = escapedProject + "/" + escapedPage + "/";
    page_.propertiesHead = "\"project\": \"" + escapedProject + "\", \"page\": \"" + escapedPage + "\"";
  }

  const TemplatePart& TemplateOf(std::string_view libProject, std::string_view library, std::string_view tarvo) {
    if (template_ != nullptr && template_->raw[0] == libProject && template_->raw[1] == library &&
        template_->raw[2] == tarvo)
      return *template_;
    key_.clear();
    for (const std::string_view text : {libProject, library, tarvo}) {
      key_ += std::to_string(text.size());
      key_ += ':';
      key_ += text;
    }
    // A site with more templates than this is rare; starting over keeps the memory bounded there.
    if (templates_.size() >= kMostTemplatesKept) {
      templates_.clear();
      template_ = nullptr;
    }
    const auto [entry, added] = templates_.try_emplace(key_);
    TemplatePart& part = entry->second;
    if (added) {
      part.raw = {std::string(libProject), std::string(library), std::string(tarvo)};
      const std::string p = EscapedJson(libProject), l = EscapedJson(library), t = EscapedJson(tarvo);
      part.messageHead = t + "\\\" of library \\\"" + l + "\\\" in project \\\"" + p +
                         "\\\" has a property named \\\"";
      AppendLogicalLocation(part.logical, p, {p}, "namespace");
      part.logical += ", ";
      AppendLogicalLocation(part.logical, l, {p, l}, "module");
      part.logical += ", ";
      AppendLogicalLocation(part.logical, t, {p, l, t}, "type");
      part.propertiesHead = "\"libraryProject\": \"" + p + "\", \"library\": \"" + l + "\", \"tarvo\": \"" + t +
                            "\", \"property\": \"";
    }
    return part;
  }

  static constexpr size_t kMostTemplatesKept = 4096;
  SarifPlaces& places_;
  const SarifOptions& options_;
  bool pageKnown_ = false;
  PagePart page_;
  std::unordered_map<std::string, TemplatePart> templates_;
  const TemplatePart* template_ = nullptr;
  std::vector<std::string> ruleHeads_, ruleNames_;  // per rule
  std::string key_, escapedProperty_, escapedAn_;
  std::unordered_map<uint64_t, int32_t> occurrences_;
  std::string fingerprint_;  // reused: a dense log spells hundreds of thousands
  bool countOccurrences_ = true;
  int64_t mostLocations_ = 0;
  int64_t outsideRoot_ = 0;
};

}  // namespace

SarifShape WriteSarifResults(PieceWriter& out, const SearchResult& result, bool bShowAll,
                             const FindingSelection* selection, const SarifOptions& options, SarifPlaces& places) {
  SarifShape shape;
  bool first = true;
  SarifResults results(places, options);
  const auto next = [&] {
    out.Text() += first ? "\n" : ",\n";
    first = false;
    ++shape.results;
  };
  if (!bShowAll) {
    ForEachSelected(result.findings, selection, [&](int32_t i) {
      next();
      results.AppendUnique(out.Text(), result.findings, i);
      out.MaybeFlush();
    });
  } else if (options.perPlacement) {
    ForEachSelected(result.findings, selection, [&](int32_t i) {
      next();
      results.AppendPlacements(out.Text(), result.findings, std::span<const int32_t>(&i, 1));
      out.MaybeFlush();
    });
  } else {
    const PlacementGroups groups = GroupPlacements(result.findings, selection);
    results.CountOccurrences(groups.hashesShared);
    for (size_t g = 0; g < groups.Count(); ++g) {
      next();
      results.AppendPlacements(out.Text(), result.findings, groups.Group(g));
      out.MaybeFlush();
    }
  }
  shape.mostLocations = results.MostLocations();
  shape.outsideRoot = results.OutsideRoot();
  return shape;
}

}  // namespace morvex
