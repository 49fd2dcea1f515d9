#!/usr/bin/env bash
# Benchmark of one search through the windows against morvex-scan on the same site: Start to the report drawn in
# the box by the window's own clock, and the whole processes side by side, on the default and the dense
# (many-findings) site, offscreen and on a virtual X display under openbox; the window's own figures on the dense
# site (the longest the event loop waits while the box takes the report, Ctrl+A and Ctrl+C); the window's peak
# memory against morvex-scan's; and a check that Cancel stops the run within one page.
# Usage: bench/bench_window.sh [BUILD_DIR] [BEFORE_WINDOW]
# BEFORE_WINDOW, when given, is an older morvex-bench-window timed beside this one. ROUNDS (default 3) and RUNS
# (default 3) set how many interleaved hyperfine rounds of how many runs each are taken; PLATFORMS (default
# "offscreen xcb") which Qt platforms; xcb is left out where Xvfb or openbox is missing.
set -euo pipefail

build=${1:-build}
before=${2:-}
window="$build/bin/morvex-bench-window"
scan="$build/bin/morvex-scan"
sitegen="$build/bench/morvex-sitegen"
rounds=${ROUNDS:-3}
runs=${RUNS:-3}
here=$(dirname "$0")
source "$here/site.sh"
source "$here/../scripts/virtual_display.sh"

require_built "$window" "$scan" "$sitegen"
require_installed hyperfine python3 /usr/bin/time

declare -A shape_of=([default]="100 100 200 4" [many-findings]="100 100 200 45")
work=$(mktemp -d)
virtual_display_pid=
window_manager_pid=
trap '[ -n "$window_manager_pid" ] && kill $window_manager_pid 2>/dev/null; [ -n "$virtual_display_pid" ] &&
      kill $virtual_display_pid 2>/dev/null; rm -rf "$work"' EXIT

platforms=${PLATFORMS:-offscreen xcb}
if [[ " $platforms " == *" xcb "* ]]; then
  if command -v Xvfb > /dev/null && command -v openbox > /dev/null; then
    start_virtual_display
    openbox > /dev/null 2>&1 &
    window_manager_pid=$!
    sleep 1
  else
    echo "Xvfb or openbox missing: xcb left out" >&2
    platforms=${platforms//xcb/}
  fi
fi


for name in default many-findings; do
  read -r projects pages objects collisions <<< "${shape_of[$name]}"
  site="${TMPDIR:-/tmp}/morvex-bench-$name"
  prepare_site > /dev/null
  for platform in $platforms; do
    # Both run with their defaults: every placement listed, built-in projects skipped.
    commands=(scan "$scan $site" window "env QT_QPA_PLATFORM=$platform $window $site")
    [ -n "$before" ] && commands+=(before "env QT_QPA_PLATFORM=$platform $before $site")
    timed_rounds "$platform-$name" "${commands[@]}"
  done
done

# What the targets name: from the press of Start to the report drawn, by the window's own clock, against the whole
# morvex-scan process, taken in turn on a warm cache. The hyperfine figures above hold the window's start-up as
# well, which comes before anyone can press Start.
for name in default many-findings; do
  site="${TMPDIR:-/tmp}/morvex-bench-$name"
  for platform in $platforms; do
    for ((run = 1; run <= rounds * runs; run++)); do
      warm_site
      started=$(date +%s%N)
      "$scan" "$site" > /dev/null 2>&1 || true
      echo "scan $(( $(date +%s%N) - started ))" >> "$work/shown-$platform-$name"
      warm_site
      QT_QPA_PLATFORM=$platform "$window" "$site" 2> /dev/null |
        sed -n 's/.* shown \([0-9.]*\) s.*/shown \1/p' >> "$work/shown-$platform-$name"
    done
  done
done

# The window's own clocks and the peak memory, on the dense site.
for platform in $platforms; do
  for ((run = 1; run <= rounds * runs; run++)); do
    warm_site
    QT_QPA_PLATFORM=$platform "$window" "$site" --copy-all 2> /dev/null >> "$work/clocks-$platform"
  done
done
for ((run = 1; run <= rounds; run++)); do
  for program in scan window; do
    warm_site
    command=("$scan" "$site")
    [ "$program" = window ] && command=(env QT_QPA_PLATFORM=offscreen "$window" "$site")
    /usr/bin/time -v -o "$work/rusage" "${command[@]}" > /dev/null 2>&1 || true
    echo "$program $(awk -F: '/Maximum resident/ {gsub(/ /, "", $2); print $2}' "$work/rusage")" >> "$work/memory"
  done
done

python3 - "$work" "$here" "$platforms" "${before:+before}" <<'PY'
import json
import re
import statistics
import sys
from pathlib import Path

sys.path.insert(0, sys.argv[2])
import bench_results

work, platforms, with_before = Path(sys.argv[1]), sys.argv[3].split(), sys.argv[4] == "before"

def verdict(ok):
    return "ok" if ok else "MISS"

for platform in platforms:
    for shape, target in {"default": 1.1, "many-findings": 1.2}.items():
        med, n = bench_results.medians(work, f"{platform}-{shape}")
        ratio = med["window"] / med["scan"]
        runs = {"scan": [], "shown": []}
        for entry in (work / f"shown-{platform}-{shape}").read_text().split("\n"):
            if entry:
                what, value = entry.split()
                runs[what].append(float(value) / (1e9 if what == "scan" else 1))
        scan_alone, shown = statistics.median(runs["scan"]), statistics.median(runs["shown"])
        print(f"{platform} {shape}: Start to shown {shown:.3f} s against morvex-scan {scan_alone:.3f} s, ratio "
              f"{shown / scan_alone:.2f} (target <= {target} {verdict(shown / scan_alone <= target)}), medians of "
              f"{min(len(runs['scan']), len(runs['shown']))} taken in turn")
        line = (f"  whole processes, start-up included: morvex-scan {med['scan']:.3f} s, window {med['window']:.3f} s, "
                f"ratio {ratio:.2f}")
        if with_before:
            line += f"; before {med['before']:.3f} s, ratio {med['before'] / med['scan']:.2f}"
        print(line + f", medians of {n}")
        # On a shared machine the wall clock wanders with the neighbours' load; CPU time shows the work itself.
        cpu = {}
        for path in work.glob(f"{platform}-{shape}-*.json"):
            for result in json.loads(path.read_text())["results"]:
                cpu.setdefault(result["command"], []).append(result["user"] + result["system"])
        cpu = {command: statistics.median(values) for command, values in cpu.items()}
        print(f"  CPU: morvex-scan {cpu['scan']:.3f} s, window {cpu['window']:.3f} s, ratio "
              f"{cpu['window'] / cpu['scan']:.2f}" + (f"; before {cpu['before']:.3f} s, ratio "
              f"{cpu['before'] / cpu['scan']:.2f}" if with_before else ""))
    clocks = (work / f"clocks-{platform}").read_text()
    waits = [float(v) for v in re.findall(r"while the box takes the report ([\d.]+) s", clocks)]
    shown = [float(v) for v in re.findall(r"shown ([\d.]+) s", clocks)]
    copies = [float(a) + float(c) for a, c in re.findall(r"Ctrl\+A ([\d.]+) s, Ctrl\+C ([\d.]+) s", clocks)]
    wrong = clocks.count("does NOT hold")
    wait, copy = statistics.median(waits), statistics.median(copies)
    print(f"{platform} many-findings, in the window: Start to shown {statistics.median(shown):.3f} s, event loop "
          f"waits {wait:.3f} s from the search's return until the box has taken the report (target <= 0.2 {verdict(wait <= 0.2)}), Ctrl+A then "
          f"Ctrl+C {copy:.3f} s (target <= 0.5 {verdict(copy <= 0.5 and wrong == 0)}), clipboard wrong {wrong} "
          f"times, medians of {len(waits)}")
peaks = {}
for line in (work / "memory").read_text().split("\n"):
    if line:
        program, kb = line.split()
        peaks.setdefault(program, []).append(int(kb))
scan, window = statistics.median(peaks["scan"]), statistics.median(peaks["window"])
print(f"many-findings peak memory: morvex-scan {scan / 1024:.1f} MiB, window {window / 1024:.1f} MiB, ratio "
      f"{window / scan:.2f} (target <= 2 {verdict(window <= 2 * scan)}), medians of {len(peaks['scan'])}")
PY

# A press of Cancel posted while page N is shown must end the run after that very page.
site="${TMPDIR:-/tmp}/morvex-bench-default"
for page in 1 50 2500; do
  QT_QPA_PLATFORM=offscreen "$window" "$site" --cancel-after-page "$page" 2>/dev/null | tail -1
done
