#!/usr/bin/env bash
# Whole-process benchmark of one search through the windows (offscreen) against morvex-scan on the same site,
# and a check that Cancel stops the run within one page.
# Usage: bench/bench_window.sh [BUILD_DIR] [SITE_DIR]
set -euo pipefail

build=${1:-build}
site=${2:-${TMPDIR:-/tmp}/morvex-bench-site}
window="$build/bin/morvex-bench-window"
scan="$build/bin/morvex-scan"
sitegen="$build/bench/morvex-sitegen"
source "$(dirname "$0")/site.sh"

require_built "$window" "$scan" "$sitegen"
require_installed hyperfine

prepare_site

export QT_QPA_PLATFORM=offscreen
results=$(mktemp)
trap 'rm -f "$results"' EXIT
# Both run with their defaults: every placement listed, built-in projects skipped. morvex-scan exits 1 on findings.
hyperfine --warmup 1 --min-runs 10 -i --export-json "$results" \
  -n morvex-scan "'$scan' '$site' > /dev/null 2>&1" \
  -n window "'$window' '$site' > /dev/null 2>&1"

python3 - "$results" <<'PY'
import json, sys
runs = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
scan, window = runs["morvex-scan"]["median"], runs["window"]["median"]
print(f"median morvex-scan {scan:.3f} s, window {window:.3f} s, ratio {window / scan:.2f} (target <= 1.5)")
# On a shared machine the wall clock wanders with the neighbours' load; CPU time shows the work itself.
su, wu = runs["morvex-scan"]["user"] + runs["morvex-scan"]["system"], runs["window"]["user"] + runs["window"]["system"]
print(f"mean CPU morvex-scan {su:.3f} s, window {wu:.3f} s, ratio {wu / su:.2f}")
PY

# A press of Cancel posted while page N is shown must end the run after that very page.
for page in 1 50 2500; do
  "$window" "$site" --cancel-after-page "$page" 2>/dev/null | tail -1
done
