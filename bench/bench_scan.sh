#!/usr/bin/env bash
# Whole-process benchmark of morvex-scan on a generated site, against cat of every file of that site.
# Usage: bench/bench_scan.sh [BUILD_DIR] [SITE_DIR]
# Prints the hyperfine summary, the medians and their ratio, and the scan's peak memory next to its budget.
set -euo pipefail

build=${1:-build}
site=${2:-${TMPDIR:-/tmp}/morvex-bench-site}
scan="$build/bin/morvex-scan"
sitegen="$build/bench/morvex-sitegen"
source "$(dirname "$0")/site.sh"

require_built "$scan" "$sitegen"
require_installed hyperfine

prepare_site

results=$(mktemp)
trap 'rm -f "$results"' EXIT
# morvex-scan exits 1 when it finds collisions, which a generated site always has.
hyperfine --warmup 2 --min-runs 10 -i --export-json "$results" \
  -n cat "find '$site' -type f -exec cat {} + > /dev/null" \
  -n morvex-scan "'$scan' '$site' > /dev/null 2>&1"

python3 - "$results" <<'PY'
import json, sys
runs = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
cat, scan = runs["cat"]["median"], runs["morvex-scan"]["median"]
print(f"median cat {cat:.3f} s, morvex-scan {scan:.3f} s, ratio {scan / cat:.2f} (target <= 3)")
PY

largest=$(find "$site" -name '*.json' -printf '%s\n' | sort -n | tail -1)
timing=$(mktemp)
/usr/bin/time -v -o "$timing" "$scan" "$site" > /dev/null 2>&1 || true
peak_kb=$(awk -F: '/Maximum resident/ {gsub(/ /, "", $2); print $2}' "$timing")
rm -f "$timing"
budget_kb=$(( 64 * 1024 + largest / 1024 ))
echo "peak memory ${peak_kb} kB, budget ${budget_kb} kB (64 MB + largest page file of ${largest} bytes)"
