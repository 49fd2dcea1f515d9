// Fingerprints of findings, the SARIF log and the baseline file of morvex-scan.
#include "ReviewOutput.h"

#include <simdjson.h>

#include <array>
#include <algorithm>
#include <filesystem>
#include <span>
#include <unordered_map>
#include <utility>

#include "OutputPieces.h"
#include "PageFailure.h"
#include "ReservedKeywords.h"
#include "Version.h"
#include "basFileTools.h"

namespace morvex {

namespace {

// Columns of a show-all line that make a finding: project, page, library project, library, Tarvo, property.
constexpr std::array<int32_t, 6> kShowAllIdentity = {0, 1, 3, 4, 5, 6};
constexpr std::array<int32_t, 4> kUniqueIdentity = {0, 1, 2, 3};
constexpr std::string_view kFingerprintName = "morvexFinding/v1";
constexpr std::string_view kRulePrefix = "reserved-property-name/";
constexpr std::string_view kBaseId = "SITE";
constexpr std::string_view kRootBaseId = "ROOT";
// Where a reader learns more about the tool: its manual page, installed with it.
constexpr std::string_view kInformationUri = "man:morvex-scan(1)";
constexpr int64_t kBaselineFormat = 1;

// The fields that make a finding, in a fixed array (a report of hundreds of thousands of findings asks for them
// once each): the first `size` are set.
struct IdentityFields {
  std::array<std::string_view, kShowAllIdentity.size()> fields;
  size_t size = 0;
  const std::string_view* begin() const { return fields.data(); }
  const std::string_view* end() const { return fields.data() + size; }
};

IdentityFields IdentityOf(const FindingsList& findings, int32_t index, bool bShowAll) {
  IdentityFields identity;
  const int32_t count = findings.FieldCount(index);
  const auto take = [&](const auto& columns) {
    for (const int32_t column : columns)
      identity.fields[identity.size++] = column < count ? findings.Field(index, column) : std::string_view();
  };
  if (bShowAll) {
    take(kShowAllIdentity);
  } else {
    take(kUniqueIdentity);
  }
  return identity;
}

// FNV-1a over each field's length and bytes, so that no two splits of the same bytes hash alike. The state
// after the leading fields can be kept and carried on for each finding that shares them.
class FingerprintHash {
 public:
  void Add(std::string_view field) {
    uint64_t length = field.size();
    for (int i = 0; i < 8; ++i, length >>= 8) Mix(static_cast<unsigned char>(length & 0xFF));
    for (const char c : field) Mix(static_cast<unsigned char>(c));
  }
  uint64_t Value() const { return hash_; }
  void AppendText(std::string& out) const {
    static constexpr char kHex[] = "0123456789abcdef";
    char text[16];
    uint64_t hash = hash_;
    for (int i = 15; i >= 0; --i, hash >>= 4) text[i] = kHex[hash & 0xF];
    out.append(text, sizeof text);
  }

 private:
  void Mix(unsigned char byte) {
    hash_ ^= byte;
    hash_ *= 0x100000001b3ULL;
  }
  uint64_t hash_ = 0xcbf29ce484222325ULL;
};

template <typename Fields>
std::string FingerprintOf(const Fields& fields) {
  FingerprintHash hash;
  for (const auto& field : fields) hash.Add(field);
  std::string text;
  hash.AppendText(text);
  return text;
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

void AppendPercentEncoded(std::string& out, std::string_view text, std::string_view keep) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char byte : text) {
    const auto c = static_cast<unsigned char>(byte);
    if (IsUnreserved(c) || keep.find(byte) != std::string_view::npos) {
      out.push_back(byte);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
}

std::string Utf8Generic(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

constexpr std::string_view kPageFileExtension = ".json";

// A path made absolute, with its links resolved as far as it exists.
std::filesystem::path ResolvedPath(std::string_view text) {
  std::error_code error;
  std::filesystem::path made = std::filesystem::absolute(ToNativePath(text), error);
  if (error) made = ToNativePath(text);
  std::filesystem::path resolved = std::filesystem::weakly_canonical(made, error);
  return (error ? made : resolved).lexically_normal();
}

// The path from base to path, a segment at a time; nothing when the path does not lie inside the base.
std::optional<std::vector<std::string>> RelativeSegments(std::string_view base, std::string_view path) {
  // Compared resolved: a root and a site given one relative and one absolute, or reached through different
  // links, would otherwise never lie inside one another.
  const std::filesystem::path relative = ResolvedPath(path).lexically_relative(ResolvedPath(base));
  if (relative.empty() || relative.is_absolute()) return std::nullopt;
  std::vector<std::string> segments;
  for (const std::filesystem::path& segment : relative) {
    std::string text = Utf8Generic(segment);
    if (text == "." || text.empty()) continue;  // the base folder itself
    if (text == "..") return std::nullopt;
    segments.push_back(std::move(text));
  }
  return segments;
}

std::string EncodedSegments(const std::vector<std::string>& segments) {
  std::string uri;
  for (const std::string& segment : segments) {
    if (!uri.empty()) uri += '/';
    // A colon in the first segment would read as a scheme: every segment gets it encoded.
    AppendPercentEncoded(uri, segment, "");
  }
  return uri;
}

std::string AbsoluteGenericPath(std::string_view path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(ToNativePath(path), error);
  if (error) absolute = ToNativePath(path);
  return Utf8Generic(absolute.lexically_normal());
}

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

// What every result and notification of a project shares, worked out once per project: where its page files are
// as a URI (relative to the base folder, the site's or the repository's, where they lie inside it) and which
// base it is relative to.
class SarifPlaces {
 public:
  SarifPlaces(const SearchResult& result, std::string_view siteFolder, const PageFileRoot& root,
              std::string_view baseId)
      : locations_(result, siteFolder, root), baseId_(baseId) {}

  // Appends "physicalLocation": {...} for the page, with the region when one is given, and true; nothing and
  // false for a project not walked. outside tells whether the page file lies outside the root.
  bool AppendPageLocation(std::string& out, std::string_view project, std::string_view page,
                          const ObjectPlace* region, bool* outside = nullptr) {
    const auto known = prefixes_.find(project);
    const ProjectPrefix* prefix = known != prefixes_.end() ? &known->second : MakePrefix(project);
    if (prefix == nullptr) return false;
    if (outside != nullptr) *outside = !prefix->relative;
    out += "\"physicalLocation\": {\"artifactLocation\": {\"uri\": \"";
    AppendJsonText(out, prefix->uri);
    AppendPercentEncoded(out, locations_.FileName(project, page), "");
    out += '"';
    AppendBaseId(out, prefix->relative);
    out += '}';
    if (region != nullptr) {
      // Without the object's place the page's first line stands for it, as the page is all a reviewer has.
      out += ", \"region\": {\"startLine\": ";
      out += std::to_string(region->line > 0 ? region->line : 1);
      if (region->line > 0 && region->column > 0) {
        out += ", \"startColumn\": ";
        out += std::to_string(region->column);
      }
      out += '}';
    }
    out += '}';
    return true;
  }

  // Appends "physicalLocation": {...} for any other file the run named (a page list), in the pages' form.
  void AppendFileLocation(std::string& out, std::string_view path) {
    bool inside = false;
    const std::string fromRoot = locations_.PathFromRoot(path, &inside);
    out += "\"physicalLocation\": {\"artifactLocation\": {\"uri\": ";
    std::string uri;
    if (inside) {
      // Each segment encoded, the slashes between them kept.
      for (size_t start = 0, end = 0; start <= fromRoot.size(); start = end + 1) {
        end = std::min(fromRoot.find('/', start), fromRoot.size());
        if (start > 0) uri += '/';
        AppendPercentEncoded(uri, std::string_view(fromRoot).substr(start, end - start), "");
      }
    } else {
      uri = FileUri(path);
    }
    AppendJsonString(out, uri);
    AppendBaseId(out, inside);
    out += "}}";
  }

 private:
  struct ProjectPrefix {
    std::string uri;  // ends with "/" unless the project is the base folder itself
    bool relative = false;
  };

  void AppendBaseId(std::string& out, bool relative) const {
    if (!relative) return;
    out += ", \"uriBaseId\": \"";
    out += baseId_;
    out += '"';
  }

  const ProjectPrefix* MakePrefix(std::string_view project) {
    const PageFileLocations::ProjectFolder* folder = locations_.FolderOf(project);
    if (folder == nullptr) return nullptr;
    ProjectPrefix prefix;
    if (folder->insideRoot) {
      prefix.uri = EncodedSegments(folder->segments);
      prefix.relative = true;
    } else {
      prefix.uri = FileUri(folder->folder);
    }
    if (!prefix.uri.empty() && !prefix.uri.ends_with('/')) prefix.uri += '/';
    return &prefixes_.emplace(project, std::move(prefix)).first->second;
  }

  PageFileLocations locations_;
  std::string_view baseId_;
  std::unordered_map<std::string_view, ProjectPrefix> prefixes_;
};

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
    std::string fingerprint;
    hash.AppendText(fingerprint);
    // Keyed by the hash the text spells: a dense log has hundreds of thousands of results.
    const int32_t occurrence = countOccurrences_ ? ++occurrences_[hash.Value()] : 1;
    out += "], \"partialFingerprints\": {\"";
    out += kFingerprintName;
    out += "\": \"";
    out += fingerprint;
    out += "\", \"primaryLocationLineHash\": \"";
    out += fingerprint;
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
  bool countOccurrences_ = true;
  int64_t mostLocations_ = 0;
  int64_t outsideRoot_ = 0;
};

// The placements of each template property on each page, in the order of their first placement, each group's
// in report order. Placements are keyed by their fingerprint's fields, so a page scanned twice still gives
// one result per template property; the fields' hash finds a group, the fields themselves confirm it.
struct PlacementGroups {
  std::vector<int32_t> members;  // group by group
  std::vector<size_t> starts;    // group g is members[starts[g], starts[g + 1])
  bool hashesShared = false;     // two groups' fields hash alike (next to never)
  size_t Count() const { return starts.size() - 1; }
  std::span<const int32_t> Group(size_t g) const {
    return std::span<const int32_t>(members).subspan(starts[g], starts[g + 1] - starts[g]);
  }
};

PlacementGroups GroupPlacements(const FindingsList& findings, const FindingSelection* selection) {
  const auto sameFields = [&](int32_t a, int32_t b) {
    const IdentityFields left = IdentityOf(findings, a, true), right = IdentityOf(findings, b, true);
    return std::equal(left.begin(), left.end(), right.begin(), right.end());
  };
  PlacementGroups groups;
  std::vector<int32_t> firstOf;  // per group, its first placement
  std::vector<int32_t> groupOf;  // per selected placement, in selection order
  // A page's placements come together, so its groups are looked for among its own only; a page met again
  // later (listed twice) starts with the groups it had.
  std::unordered_map<uint64_t, size_t> pageGroups;  // of the current page: the first group of each hash
  std::vector<size_t> sharedHash;                   // groups of the page whose hash an earlier one has
  std::unordered_map<std::string, std::vector<size_t>> groupsOfPage;
  std::string pageKey;
  std::vector<size_t>* currentPage = nullptr;
  std::string_view currentProject, currentPageName;
  std::vector<uint64_t> groupHashes;
  groupOf.reserve(static_cast<size_t>(SelectedCount(findings, selection)));
  ForEachSelected(findings, selection, [&](int32_t i) {
    const IdentityFields identity = IdentityOf(findings, i, true);  // project and page first
    if (currentPage == nullptr || identity.fields[0] != currentProject ||
        identity.fields[1] != currentPageName) {
      currentProject = identity.fields[0];
      currentPageName = identity.fields[1];
      pageKey.assign(currentProject).append(1, '\0').append(currentPageName);
      currentPage = &groupsOfPage[pageKey];
      pageGroups.clear();
      sharedHash.clear();
      for (const size_t group : *currentPage) {
        if (!pageGroups.try_emplace(groupHashes[group], group).second) sharedHash.push_back(group);
      }
    }
    FingerprintHash hash;
    for (const std::string_view field : identity) hash.Add(field);
    const auto [known, added] = pageGroups.try_emplace(hash.Value(), firstOf.size());
    size_t group = known->second;
    if (!added && !sameFields(firstOf[group], i)) {
      group = firstOf.size();
      for (const size_t other : sharedHash) {
        if (sameFields(firstOf[other], i)) {
          group = other;
          break;
        }
      }
      if (group == firstOf.size()) sharedHash.push_back(group);
    }
    if (group == firstOf.size()) {
      firstOf.push_back(i);
      groupHashes.push_back(hash.Value());
      currentPage->push_back(group);
    }
    groupOf.push_back(static_cast<int32_t>(group));
  });
  // Results count the occurrences of their fingerprint: only where two groups' hashes meet is there any to
  // count.
  std::sort(groupHashes.begin(), groupHashes.end());
  groups.hashesShared = std::adjacent_find(groupHashes.begin(), groupHashes.end()) != groupHashes.end();
  groups.starts.assign(firstOf.size() + 1, 0);
  for (const int32_t group : groupOf) ++groups.starts[static_cast<size_t>(group) + 1];
  for (size_t g = 1; g < groups.starts.size(); ++g) groups.starts[g] += groups.starts[g - 1];
  std::vector<size_t> next(groups.starts.begin(), groups.starts.end() - 1);
  groups.members.resize(groupOf.size());
  size_t at = 0;
  ForEachSelected(findings, selection,
                  [&](int32_t i) { groups.members[next[static_cast<size_t>(groupOf[at++])]++] = i; });
  return groups;
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

std::string FindingFingerprint(const FindingsList& findings, int32_t index, bool bShowAll) {
  return FingerprintOf(IdentityOf(findings, index, bShowAll));
}

std::string FileUri(std::string_view path) {
  const std::string generic = AbsoluteGenericPath(path);
  std::string uri = "file://";
  if (generic.starts_with("//")) {
    AppendPercentEncoded(uri, generic.substr(2), "/");  // a share: its server is the URI's host
  } else {
    if (!generic.starts_with("/")) uri += '/';  // a drive letter
    AppendPercentEncoded(uri, generic, "/:");
  }
  return uri;
}

std::optional<std::string> RelativeUri(std::string_view base, std::string_view path) {
  const std::optional<std::vector<std::string>> segments = RelativeSegments(base, path);
  if (!segments) return std::nullopt;
  return EncodedSegments(*segments);
}

std::string ChoosePathRoot(std::string_view given, std::string_view siteFolder) {
  if (!given.empty()) return std::string(given);
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  if (error) return {};
  std::string folder = FromNativePath(current);
  // Run from the site folder itself, the site folder is the root, and says so.
  const std::optional<std::vector<std::string>> segments = RelativeSegments(folder, siteFolder);
  return segments && !segments->empty() ? folder : std::string();
}

std::string OutsideRootWarning(int64_t findings, std::string_view root, std::string_view siteFolder,
                               bool bLeftOut) {
  std::string line = std::to_string(findings) + (findings == 1 ? " finding lies" : " findings lie") +
                     " in page files outside the root " + std::string(root.empty() ? siteFolder : root);
  line += bLeftOut ? ", and GitLab takes no path outside the repository: left out of the report"
                   : ": named by absolute paths";
  return line + "; --root names a folder that holds them";
}

PageFileLocations::PageFileLocations(const SearchResult& result, std::string_view siteFolder,
                                     const PageFileRoot& root)
    : root_(root.folder.empty() ? std::string(siteFolder) : root.folder), namer_(root.fileName) {
  for (const auto& [name, folder] : result.projectFolders) folders_.emplace(name, folder);
}

const PageFileLocations::ProjectFolder* PageFileLocations::FolderOf(std::string_view project) {
  if (const auto known = known_.find(project); known != known_.end()) return &known->second;
  const auto folder = folders_.find(project);
  if (folder == folders_.end()) return nullptr;
  ProjectFolder place;
  place.folder = folder->second;
  if (std::optional<std::vector<std::string>> segments = RelativeSegments(root_, folder->second)) {
    place.insideRoot = true;
    place.segments = std::move(*segments);
  }
  return &known_.emplace(project, std::move(place)).first->second;
}

const std::string& PageFileLocations::FileName(std::string_view project, std::string_view page) {
  // Findings come page by page: the last page's name is nearly always the one asked for again.
  if (lastKnown_ && project == lastProject_ && page == lastPage_) return lastName_;
  lastKnown_ = true;
  lastProject_.assign(project);
  lastPage_.assign(page);
  const ProjectFolder* folder = FolderOf(project);
  std::optional<std::string> name;
  if (namer_ && folder != nullptr) name = namer_(folder->folder, page);
  lastName_ = name ? std::move(*name) : std::string(page) + std::string(kPageFileExtension);
  return lastName_;
}

std::optional<std::string> PageFileLocations::PagePath(std::string_view project, std::string_view page) {
  const ProjectFolder* folder = FolderOf(project);
  if (folder == nullptr) return std::nullopt;
  std::string path;
  if (folder->insideRoot) {
    for (const std::string& segment : folder->segments) path.append(segment).append("/");
  } else {
    path = AbsoluteGenericPath(folder->folder);
    if (!path.ends_with('/')) path += '/';
  }
  path.append(FileName(project, page));
  return path;
}

std::string PageFileLocations::PathFromRoot(std::string_view path, bool* inside) const {
  const std::optional<std::vector<std::string>> segments = RelativeSegments(root_, path);
  if (inside != nullptr) *inside = segments.has_value();
  if (!segments) return AbsoluteGenericPath(path);
  std::string joined;
  for (const std::string& segment : *segments) {
    if (!joined.empty()) joined += '/';
    joined += segment;
  }
  return joined;
}

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
  out.Text() += first ? "],\n" : "\n    ],\n";
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

FindingsList UniqueFromPlacements(const FindingsList& placements, std::vector<int32_t>& first) {
  FindingsList unique;
  first.clear();
  for (int32_t i = 0; i < placements.Count(); ++i) {
    const IdentityFields fields = IdentityOf(placements, i, true);
    // Project and page are the first two fields; the template property the other four.
    if (unique.Add({fields.fields[2], fields.fields[3], fields.fields[4], fields.fields[5]})) first.push_back(i);
  }
  return unique;
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
