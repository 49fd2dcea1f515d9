#!/usr/bin/env bash
# morvex-scan on several workers against one and against cat of the site: idle, with one processor kept busy,
# and held to one processor; and peak memory per worker count on the many-findings site against its budget.
# Usage: bench/bench_jobs.sh [BUILD_DIR] [BEFORE_SCAN]
# BEFORE_SCAN, when given, is an older morvex-scan timed in place of --jobs 1 (a build without workers).
# ROUNDS (default 3) and RUNS (default 3) set how many interleaved hyperfine rounds of how many runs each are
# taken; SHAPES (default "default many-findings few-huge-pages") which sites.
set -euo pipefail

build=${1:-build}
scan="$build/bin/morvex-scan"
before=${2:-}
sitegen="$build/bench/morvex-sitegen"
rounds=${ROUNDS:-3}
runs=${RUNS:-3}
source "$(dirname "$0")/site.sh"
require_built "$scan" "$sitegen"
require_installed hyperfine python3 /usr/bin/time taskset
one="$scan --jobs 1"
[ -n "$before" ] && one="$before"

declare -A shape_of=(
  [default]="100 100 200 4"
  [many-findings]="100 100 200 45"
  [few-huge-pages]="10 10 20000 4"
)
work=$(mktemp -d)
busy=
trap '[ -n "$busy" ] && kill $busy 2>/dev/null; rm -rf "$work"' EXIT


for name in ${SHAPES:-default many-findings few-huge-pages}; do
  read -r projects pages objects collisions <<< "${shape_of[$name]}"
  site="${TMPDIR:-/tmp}/morvex-bench-$name"
  prepare_site > /dev/null
  timed_rounds "idle-$name" cat "find $site -type f -exec cat {} +" one "$one $site" jobs "$scan $site"
done

site="${TMPDIR:-/tmp}/morvex-bench-default"
taskset -c 0 bash -c 'while :; do :; done' &
busy=$!
timed_rounds "busy-default" cat "find $site -type f -exec cat {} +" one "$one $site" jobs "$scan $site"
kill $busy
wait $busy 2>/dev/null || true
busy=
# Held to one processor the default is one worker: the same work as --jobs 1 must cost the same.
timed_rounds "one-processor" one "taskset -c 0 $one $site" jobs "taskset -c 0 $scan $site"

site="${TMPDIR:-/tmp}/morvex-bench-many-findings"
if [ -d "$site" ]; then
  for jobs in 1 2 8; do
    warm_site
    /usr/bin/time -v -o "$work/rusage" "$scan" --jobs "$jobs" "$site" > "$work/report" 2> /dev/null || true
    echo "$jobs $(stat -c %s "$work/report") $(awk -F: '/Maximum resident/ {gsub(/ /, "", $2); print $2}' "$work/rusage")" \
      >> "$work/memory"
  done
fi

python3 - "$work" "$(dirname "$0")" <<'PY'
import sys
from pathlib import Path

sys.path.insert(0, sys.argv[2])
import bench_results

work = Path(sys.argv[1])

def medians(label):
    return bench_results.medians(work, label)

def verdict(ok):
    return "ok" if ok else "MISS"

for shape, target in {"default": 1.2, "many-findings": 1.5, "few-huge-pages": 6.0}.items():
    if not list(work.glob(f"idle-{shape}-*.json")):
        continue
    med, n = medians(f"idle-{shape}")
    print(f"idle {shape}: cat {med['cat']:.3f} s, one worker {med['one']:.3f} s ({med['one'] / med['cat']:.2f}x cat), "
          f"workers {med['jobs']:.3f} s ({med['jobs'] / med['cat']:.2f}x cat, target <= {target} "
          f"{verdict(med['jobs'] / med['cat'] <= target)}), medians of {n}")
med, n = medians("busy-default")
print(f"one processor busy, default: cat {med['cat']:.3f} s, one worker {med['one']:.3f} s, workers {med['jobs']:.3f} s "
      f"(workers/one {med['jobs'] / med['one']:.2f}, target <= 1 {verdict(med['jobs'] <= med['one'])}), medians of {n}")
med, n = medians("one-processor")
ratio = med["jobs"] / med["one"]
print(f"taskset -c 0, default: one worker {med['one']:.3f} s, default jobs {med['jobs']:.3f} s "
      f"(ratio {ratio:.3f}, target <= 1.05 {verdict(ratio <= 1.05)}), medians of {n}")
memory = work / "memory"
if memory.exists():
    for line in memory.read_text().split("\n"):
        if line:
            jobs, report, peak_kb = map(int, line.split())
            budget = 64 * 2**20 + 2 * report
            print(f"many-findings --jobs {jobs}: peak {peak_kb / 1024:.1f} MiB, budget {budget / 2**20:.1f} MiB "
                  f"{verdict(peak_kb * 1024 <= budget)}")
PY
