// Reading a finding's fields by meaning, and saying it in words.
#include "FindingView.h"

namespace morvex {

FindingView ViewOf(const FindingsList& findings, int32_t index, bool bShowAll) {
  const int32_t count = findings.FieldCount(index);
  const auto field = [&](int32_t column) {
    return column < count ? findings.Field(index, column) : std::string_view();
  };
  FindingView view;
  const int32_t base = bShowAll ? 3 : 0;  // where the library project's column is
  if (bShowAll) {
    view.project = field(0);
    view.page = field(1);
    view.an = field(2);
  }
  view.libraryProject = field(base);
  view.library = field(base + 1);
  view.tarvo = field(base + 2);
  view.property = field(base + 3);
  return view;
}

std::string DescribeFinding(const FindingView& finding, bool bShowAll) {
  std::string text;
  if (bShowAll) text.append("Object ").append(finding.an).append(": ");
  text.append("Tarvo \"").append(finding.tarvo).append("\" of library \"").append(finding.library);
  text.append("\" in project \"").append(finding.libraryProject).append("\" has a property named \"");
  text.append(finding.property).append("\", a reserved property name.");
  return text;
}

}  // namespace morvex
