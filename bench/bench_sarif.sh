#!/usr/bin/env bash
# --format sarif against TSV on the "default" and "many-findings" shapes, interleaved, and optionally an older
# build's --format sarif beside them: what the review log costs on top of the report.
# Usage: bench/bench_sarif.sh [BUILD_DIR] [BEFORE_SCAN]
# ROUNDS (default 3) and RUNS (default 3) set how many interleaved hyperfine rounds of how many runs each are taken.
set -euo pipefail

build=${1:-build}
before=${2:-}
scan="$build/bin/morvex-scan"
sitegen="$build/bench/morvex-sitegen"
rounds=${ROUNDS:-3}
runs=${RUNS:-3}
source "$(dirname "$0")/site.sh"

require_built "$scan" "$sitegen" ${before:+"$before"}
require_installed hyperfine python3
scan=$(realpath "$scan")
sitegen=$(realpath "$sitegen")
[ -n "$before" ] && before=$(realpath "$before")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for entry in "default 4" "many-findings 45"; do
  read -r name collisions <<< "$entry"
  site="${TMPDIR:-/tmp}/morvex-bench-$name"
  projects=100 pages=100 objects=200
  prepare_site > /dev/null
  # Run from the site's parent, as a CI job runs from the repository's top folder: the log's paths start there.
  cd "$(dirname "$site")"
  commands=(tsv "$scan $site" sarif "$scan --format sarif $site")
  [ -n "$before" ] && commands+=(before "$before --format sarif $site")
  timed_rounds "sarif-$name" "${commands[@]}"
  cd "$OLDPWD"
done

python3 - "$work" "$(dirname "$0")" <<'PY'
import sys

sys.path.insert(0, sys.argv[2])
import bench_results

for shape in ("default", "many-findings"):
    med, samples = bench_results.medians(sys.argv[1], f"sarif-{shape}")
    ratio = med["sarif"] / med["tsv"]
    line = (f"{shape}: --format sarif {med['sarif']:.3f} s, TSV {med['tsv']:.3f} s, sarif/tsv {ratio:.2f} "
            f"(target <= 1.3 {'ok' if ratio <= 1.3 else 'MISS'})")
    if "before" in med:
        line += f"; before {med['before']:.3f} s, {med['before'] / med['tsv']:.2f} x TSV"
    print(line + f", medians of {samples} runs")
PY
