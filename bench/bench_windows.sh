#!/usr/bin/env bash
# The Windows programs under Wine against the Linux ones, side by side in one hyperfine run: the scan of a
# generated site, one search through the Win32 windows against the Windows scan, and the dump of a
# 1,000,000-record table.
# Usage: bench/bench_windows.sh [BUILD_DIR] [WINDOWS_BUILD_DIR] [SITE_DIR]
# Needs the Linux build's morvex-scan, morvex-dbf, morvex-sitegen and morvex_bench_make_table, the Windows
# build's morvex-scan.exe, morvex-dbf.exe and morvex-bench-window.exe (scripts/build-windows.sh), Xvfb and
# openbox. It restarts the Windows build's Wine server on a virtual display of its own and stops it at the end.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build=$(realpath "${1:-$root/build}")
windows=$(realpath "${2:-$root/build-windows}")
site=${3:-${TMPDIR:-/tmp}/morvex-bench-site}
sitegen="$build/bench/morvex-sitegen"
source "$(dirname "$0")/site.sh"

require_built "$build/bin/morvex-scan" "$build/bin/morvex-dbf" "$sitegen" "$build/bench/morvex_bench_make_table" \
  "$windows/bin/morvex-scan.exe" "$windows/bin/morvex-dbf.exe" "$windows/bin/morvex-bench-window.exe"
require_installed hyperfine

prepare_site
site=$(realpath "$site")
table="$(dirname "$site")/morvex-bench-million.dbf"
[ -f "$table" ] || "$build/bench/morvex_bench_make_table" "$table" 1000000

# A lasting Wine server of the build's own prefix, so that a program start costs milliseconds, as a start
# does on Windows. The windows need a display from the session's start: the first program makes the
# session's desktop on the display it finds.
export WINEPREFIX="$windows/wine-prefix" WINEDEBUG=-all
wineserver -k 2>/dev/null || true
source "$root/scripts/virtual_display.sh"
start_virtual_display
# Without a window manager Wine waits two seconds for every window it hides to be withdrawn.
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
results=$(mktemp)
trap 'rm -f "$results"; wineserver -k 2>/dev/null || true; kill "$wm" "$virtual_display_pid" 2>/dev/null || true' EXIT
wineserver -p
wine cmd /c exit

source "$root/scripts/wine.sh"
wine=$(wine_loader_of "$windows")
warm="find '$site' -type f -exec cat {} + > /dev/null; cat '$table' > /dev/null"
# The scan exits 1 on a site with collisions, which a generated site always has.
hyperfine --warmup 2 --runs "${RUNS:-10}" -i --prepare "$warm" --export-json "$results" \
  -n scan-linux "'$build/bin/morvex-scan' '$site' > /dev/null 2>&1" \
  -n scan-wine "$wine '$windows/bin/morvex-scan.exe' '$(windows_path "$site")' > /dev/null 2>&1" \
  -n window-wine "$wine '$windows/bin/morvex-bench-window.exe' '$(windows_path "$site")' > /dev/null 2>&1" \
  -n scan-wine-unique "$wine '$windows/bin/morvex-scan.exe' --unique '$(windows_path "$site")' > /dev/null 2>&1" \
  -n window-wine-unique "$wine '$windows/bin/morvex-bench-window.exe' --unique '$(windows_path "$site")' > /dev/null 2>&1" \
  -n dbf-linux "'$build/bin/morvex-dbf' '$table' > /dev/null" \
  -n dbf-wine "$wine '$windows/bin/morvex-dbf.exe' '$(windows_path "$table")' > /dev/null"

python3 - "$results" <<'PY'
import json, sys
median = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
for what in ("scan", "dbf"):
    linux, wine = median[what + "-linux"], median[what + "-wine"]
    print(f"median {what}: Linux {linux:.3f} s, Wine {wine:.3f} s, ratio {wine / linux:.2f}")
# The full report is mostly the results box's layout, which under Wine costs several server round trips a line;
# the unique report is the run itself.
for report in ("", "-unique"):
    scan, window = median["scan-wine" + report], median["window-wine" + report]
    print(f"median under Wine{report or ' -show-all'}: scan {scan:.3f} s, windows {window:.3f} s, "
          f"ratio {window / scan:.2f} (target <= 1.3)")
PY
# Where a window run's time goes: the run against the results box taking the report.
wine "$windows/bin/morvex-bench-window.exe" "$(windows_path "$site")" 2>/dev/null || true
wine "$windows/bin/morvex-bench-window.exe" --unique "$(windows_path "$site")" 2>/dev/null || true
