#!/usr/bin/env bash
# Whole-process benchmark of the page-file lookup when pages miss their exact file name: 10 projects of 2,000
# listed pages without page files in folders of 4,000 other files, and 5 projects of 2,000 pages whose files
# are named in upper case against the same site with exact names. A run must cost pages plus files, never
# their product. Usage: bench/bench_listing.sh [BUILD_DIR] [OTHER_MORVEX_SCAN]
# With a second morvex-scan (an older build, say), the missing-pages site is timed with both side by side.
set -euo pipefail

build=${1:-build}
other=${2:-}
scan="$build/bin/morvex-scan"
sitegen="$build/bench/morvex-sitegen"
runs=${RUNS:-5}
source "$(dirname "$0")/site.sh"
require_built "$scan" "$sitegen"
require_installed hyperfine

base="${TMPDIR:-/tmp}/morvex-bench-listing"
site=$base/missing projects=10 pages=2000 objects=1
prepare_site --page-files none --other-files 4000 > /dev/null
site=$base/exact projects=5 objects=200
prepare_site > /dev/null
site=$base/upper
prepare_site --page-files upper > /dev/null
warm="find $base -type f -exec cat {} +"

missing=(-n missing "$scan $base/missing")
[ -n "$other" ] && missing+=(-n missing-other "$other $base/missing")
hyperfine -N -i --warmup 1 --runs "$runs" --prepare "$warm" "${missing[@]}"
hyperfine -N -i --warmup 1 --runs "$runs" --prepare "$warm" \
  -n exact-names "$scan $base/exact" -n upper-case-files "$scan $base/upper"
