#!/usr/bin/env bash
# The output formats' room: a unit per format and per shared piece in report/, none of them defined in a front
# end, and no source file of report/ or cli/ past about 400 lines.
#   check_layout.sh SOURCE_DIR
set -uo pipefail
cd "$1" || exit 2
failures=0
fail() { echo "layout: $*" >&2; failures=$((failures + 1)); }

for unit in TsvJsonReport SarifReport SarifResults GithubAnnotations GitlabCodeQuality Baseline HtmlReport \
  Statistics CollisionCounts Fingerprint PageFileLocations JsonText HtmlEscape GzipSize UniquePlacements; do
  [ -f "report/$unit.cpp" ] && [ -f "report/$unit.h" ] || fail "report/$unit.{h,cpp} is missing"
done
# A writer defined in a front end could not be reached by the others.
for writer in WriteTsv WriteJson WriteSarif WriteGithubAnnotations WriteGitlabCodeQuality WriteBaseline WriteHtml \
  StatisticsText FindingFingerprint; do
  found=$(grep -lE "^[A-Za-z].*[ :]$writer\(" cli/*.cpp ui/*/*.cpp 2>/dev/null)
  [ -z "$found" ] || fail "$writer is defined in $found"
done
for file in report/*.cpp report/*.h cli/*.cpp cli/*.h; do
  lines=$(wc -l < "$file")
  [ "$lines" -le 450 ] || fail "$file has $lines lines"
done
exit $((failures > 0))
