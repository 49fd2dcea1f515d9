// Finding fingerprints: the fields that make a finding, hashed so that an edit elsewhere on its page keeps them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FindingsList.h"

namespace morvex {

// Columns of a show-all line that make a finding: project, page, library project, library, Tarvo, property.
inline constexpr std::array<int32_t, 6> kShowAllIdentity = {0, 1, 3, 4, 5, 6};
inline constexpr std::array<int32_t, 4> kUniqueIdentity = {0, 1, 2, 3};
// The name the fingerprint goes by where a format names it beside others (SARIF's partial fingerprints).
inline constexpr std::string_view kFingerprintName = "morvexFinding/v1";

// The fields that make a finding, in a fixed array (a report of hundreds of thousands of findings asks for them
// once each): the first `size` are set.
struct IdentityFields {
  std::array<std::string_view, kShowAllIdentity.size()> fields;
  size_t size = 0;
  const std::string_view* begin() const { return fields.data(); }
  const std::string_view* end() const { return fields.data() + size; }
};

inline IdentityFields IdentityOf(const FindingsList& findings, int32_t index, bool bShowAll) {
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

// What stays the same when a page is edited elsewhere: project, page, library project, library, Tarvo and
// property name; not the AN, not the value. Sixteen hex digits. In --unique reports, which have no project or
// page, the four fields there are.
std::string FindingFingerprint(const FindingsList& findings, int32_t index, bool bShowAll);

}  // namespace morvex
