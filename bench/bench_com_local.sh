#!/usr/bin/env bash
# What one automation call costs when the page server runs in a process of its own: morvex-scan.exe under Wine
# through our local COM server (morvex-pages-local.exe) on two generated sites that differ only in their number
# of pages, in one hyperfine run beside the built-in page-file server on the larger. The difference of the two
# medians over the difference of the calls made is the cost of a call, free of the server's start.
# Usage: bench/bench_com_local.sh [BUILD_DIR] [WINDOWS_BUILD_DIR] [SITE_DIR] [-- MORVEX_SCAN_OPTIONS...]
# Options after -- go to every run (--jobs 2, say). The larger site is PROJECTS x PAGES x OBJECTS (default
# 2 x 10 x 200: the objects per page of the default benchmark site, 20 pages, some 23,000 calls), the smaller
# has SMALL_PAGES pages per project (default 2); RUNS runs each (default 3).
# Needs the Linux build's morvex-sitegen, the Windows build's morvex-scan.exe and morvex-pages-local.exe
# (scripts/build-windows.sh) and hyperfine. It registers the local server in the Windows build's Wine prefix, or in
# WINEPREFIX when set (the x64 build's for build-windows-x86, whose tests share it), for the length of the run,
# restarts that prefix's Wine server and stops it at the end.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
positional=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do positional+=("$1"); shift; done
[ $# -gt 0 ] && shift
scan_options=("$@")
build=$(realpath "${positional[0]:-$root/build}")
windows=$(realpath "${positional[1]:-$root/build-windows}")
site=${positional[2]:-${TMPDIR:-/tmp}/morvex-bench-local-site}
sitegen="$build/bench/morvex-sitegen"
PROJECTS=${PROJECTS:-2} PAGES=${PAGES:-10} OBJECTS=${OBJECTS:-200}
source "$(dirname "$0")/site.sh"

server="$windows/bin/morvex-pages-local.exe"
require_built "$sitegen" "$windows/bin/morvex-scan.exe" "$server"
require_installed hyperfine

small_site="$site-small"
large_pages=$pages
site_large=$site
site=$small_site pages=${SMALL_PAGES:-2}
prepare_site
small_site=$(realpath "$site")
site=$site_large pages=$large_pages
prepare_site
site=$(realpath "$site")

export WINEPREFIX="${WINEPREFIX:-$windows/wine-prefix}" WINEDEBUG=-all
wineserver -k 2>/dev/null || true
results=$(mktemp)
source "$root/scripts/wine.sh"
loader=$(wine_loader_of "$windows")
trap '$loader "$server" /UnregServer >/dev/null 2>&1 || true; rm -f "$results"; wineserver -k 2>/dev/null || true' EXIT
# A lasting Wine server, so that a program start costs milliseconds, as a start does on Windows.
wineserver -p
wine cmd /c exit
$loader "$server" /RegServer

options=""
for option in "${scan_options[@]}"; do options+=" $(printf '%q' "$option")"; done
scan="$loader '$windows/bin/morvex-scan.exe'$options"
target=$(windows_path "$site")
small_target=$(windows_path "$small_site")
# Both give the same report; the scan exits 1 on a site with collisions, which a generated site always has.
cmp <(eval "$scan '$target'" 2>/dev/null) <(eval "$scan --page-server Morvex.LocalPageFiles '$target'" 2>/dev/null) ||
  { echo "the two servers' reports differ" >&2; exit 1; }
hyperfine --warmup 1 --runs "${RUNS:-3}" -i --prepare "find '$site' '$small_site' -type f -exec cat {} + > /dev/null" \
  --export-json "$results" \
  -n built-in "$scan '$target' > /dev/null 2>&1" \
  -n local-small "$scan --page-server Morvex.LocalPageFiles '$small_target' > /dev/null 2>&1" \
  -n local "$scan --page-server Morvex.LocalPageFiles '$target' > /dev/null 2>&1"

# The calls counted from the pages as bench_com.sh counts them.
python3 - "$results" "$site" "$small_site" "$root/search/ReservedKeywords.cpp" "${scan_options[*]}" "$root/bench" <<'PY'
import json, sys
sys.path.insert(0, sys.argv[6])
from bench_results import automation_calls
median = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
pages, calls = automation_calls(sys.argv[2], sys.argv[4])
small_pages, small_calls = automation_calls(sys.argv[3], sys.argv[4])
builtin, local, small = median["built-in"], median["local"], median["local-small"]
per_call = (local - small) / (calls - small_calls)
print(f"options: {sys.argv[5] or '(none)'}")
print(f"median: built-in {builtin:.3f} s on {pages} pages; local server {small:.3f} s on {small_pages} pages "
      f"({small_calls} calls), {local:.3f} s on {pages} pages ({calls} calls, {calls / pages:.0f} a page)")
print(f"one call out of process: {per_call * 1e6:.0f} us; one page: {per_call * calls / pages * 1e3:.0f} ms; "
      f"start and end of the server and the program: {small - per_call * small_calls:.2f} s")
PY
