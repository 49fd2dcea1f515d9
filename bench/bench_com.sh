#!/usr/bin/env bash
# morvex-scan.exe under Wine through our in-process COM page server (morvex-pages.dll, --page-server), with one
# worker and with two, against the same program's built-in page-file server with one, side by side in one
# hyperfine run on the default generated site, and what one automation call through COM costs.
# Usage: bench/bench_com.sh [BUILD_DIR] [WINDOWS_BUILD_DIR] [SITE_DIR]
# Needs the Linux build's morvex-sitegen, the Windows build's morvex-scan.exe and morvex-pages.dll
# (scripts/build-windows.sh) and hyperfine. It registers the DLL in the Windows build's Wine prefix for the
# length of the run, restarts that prefix's Wine server and stops it at the end.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build=$(realpath "${1:-$root/build}")
windows=$(realpath "${2:-$root/build-windows}")
site=${3:-${TMPDIR:-/tmp}/morvex-bench-site}
sitegen="$build/bench/morvex-sitegen"
source "$(dirname "$0")/site.sh"

require_built "$sitegen" "$windows/bin/morvex-scan.exe" "$windows/bin/morvex-pages.dll"
require_installed hyperfine

prepare_site
site=$(realpath "$site")

export WINEPREFIX="$windows/wine-prefix" WINEDEBUG=-all
wineserver -k 2>/dev/null || true
results=$(mktemp)
source "$root/scripts/wine.sh"
dll=$(windows_path "$windows/bin/morvex-pages.dll")
trap 'wine regsvr32 /s /u "$dll" >/dev/null 2>&1 || true; rm -f "$results"; wineserver -k 2>/dev/null || true' EXIT
# A lasting Wine server, so that a program start costs milliseconds, as a start does on Windows.
wineserver -p
wine cmd /c exit
wine regsvr32 /s "$dll"

scan="$(wine_loader_of "$windows") '$windows/bin/morvex-scan.exe'"
target=$(windows_path "$site")
# Both give the same report; the scan exits 1 on a site with collisions, which a generated site always has.
cmp <(eval "$scan '$target'" 2>/dev/null) <(eval "$scan --page-server Morvex.PageFiles '$target'" 2>/dev/null) ||
  { echo "the two servers' reports differ" >&2; exit 1; }
hyperfine --warmup 2 --runs "${RUNS:-10}" -i --prepare "find '$site' -type f -exec cat {} + > /dev/null" \
  --export-json "$results" \
  -n built-in "$scan --jobs 1 '$target' > /dev/null 2>&1" \
  -n com "$scan --page-server Morvex.PageFiles '$target' > /dev/null 2>&1" \
  -n com-jobs-2 "$scan --page-server Morvex.PageFiles --jobs 2 '$target' > /dev/null 2>&1"

# The calls one run makes, counted from the pages themselves.
python3 - "$results" "$site" "$root/search/ReservedKeywords.cpp" "$root/bench" <<'PY'
import json, sys
sys.path.insert(0, sys.argv[4])
from bench_results import automation_calls
median = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
pages, calls = automation_calls(sys.argv[2], sys.argv[3])
builtin, com = median["built-in"], median["com"]
print(f"median: built-in {builtin:.3f} s, through COM {com:.3f} s, ratio {com / builtin:.2f} (target <= 1.5)")
print(f"{pages} pages, {calls} automation calls: {(com - builtin) / calls * 1e9:.0f} ns more per call through COM")
two = median["com-jobs-2"]
print(f"through COM, two workers {two:.3f} s against one {com:.3f} s: {com / two:.2f}x faster (target >= 1.6)")
PY
