#!/usr/bin/env bash
# Whole-process benchmark of morvex-scan over several site shapes: time against cat, peak memory per output
# format against its budget, and the window against morvex-scan; one table at the end.
# The busy-machine shapes time the same scans while a busy loop holds one processor the whole time, one of them
# on a site of listed pages without page files, and the scan pinned to one processor against the same scan with
# reading ahead off (MORVEX_READ_AHEAD=0).
# Usage: bench/bench_shapes.sh [BUILD_DIR]
# ROUNDS (default 3) and RUNS (default 3) set how many interleaved hyperfine rounds of how many runs each are taken.
set -euo pipefail

build=${1:-build}
scan="$build/bin/morvex-scan"
window="$build/bin/morvex-bench-window"
sitegen="$build/bench/morvex-sitegen"
rounds=${ROUNDS:-3}
runs=${RUNS:-3}
source "$(dirname "$0")/site.sh"

require_built "$scan" "$window" "$sitegen"
require_installed hyperfine python3 /usr/bin/time

# name, projects, pages per project, objects per page (0: the generator's default of 200), collisions per mille.
# 45 per mille gives about 300,000 findings on 2,000,000 objects, some 17 MB of TSV report.
shapes=(
  "default 100 100 0 4"
  "many-findings 100 100 0 45"
  "many-projects 1000 10 0 4"
  "few-huge-pages 10 10 20000 4"
)
# Sites that the window is timed on as well; the rest would only lengthen the run.
window_shapes=" default many-findings "

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

# Rounds alternate which command goes first, so a neighbour's burst of load does not fall on one side only.
# Every timed run starts from a warm cache: the machine drops pages between runs of a few seconds.
timed_rounds() {
  local label=$1 first_name=$2 first_cmd=$3 second_name=$4 second_cmd=$5
  for ((round = 1; round <= rounds; round++)); do
    local pair=(-n "$first_name" "$first_cmd" -n "$second_name" "$second_cmd")
    ((round % 2 == 0)) && pair=(-n "$second_name" "$second_cmd" -n "$first_name" "$first_cmd")
    # morvex-scan exits 1 on findings, hence -i; -N spares the shell, hyperfine discards the output.
    hyperfine -N -i --style none --warmup 1 --runs "$runs" \
      --prepare "find $site -type f -exec cat {} +" \
      --export-json "$work/$label-$round.json" "${pair[@]}" > /dev/null 2> "$work/hyperfine.log" ||
      { cat "$work/hyperfine.log" >&2; exit 2; }
  done
}

for entry in "${shapes[@]}"; do
  read -r name projects pages objects collisions <<< "$entry"
  ((objects == 0)) && objects=${OBJECTS:-200}
  site="${TMPDIR:-/tmp}/morvex-bench-$name"
  echo "== $name: $projects projects x $pages pages x $objects objects, $collisions collisions per mille" >&2
  prepare_site > /dev/null
  files=$(find "$site" -type f ! -name .shape | wc -l)

  timed_rounds "time-$name" cat "find $site -type f -exec cat {} +" scan "$scan $site"

  for output in tsv unique json json-v2 sarif; do
    case $output in
      tsv) args=() ;;
      unique) args=(--unique) ;;
      json) args=(--format json) ;;
      json-v2) args=(--format json-v2) ;;
      sarif) args=(--format sarif) ;;
    esac
    warm_site
    /usr/bin/time -v -o "$work/rusage" "$scan" "${args[@]}" "$site" > "$work/report" 2> /dev/null || true
    peak_kb=$(awk -F: '/Maximum resident/ {gsub(/ /, "", $2); print $2}' "$work/rusage")
    bytes=$(stat -c %s "$work/report")
    # Findings are counted from the show-all report (one line each after the header), not taken from the
    # generator, so the figure is what the scan really listed.
    [ "$output" = tsv ] && findings=$(($(wc -l < "$work/report") - 1))
    echo "$name $output $files $findings $bytes $peak_kb" >> "$work/rows"
  done
  rm -f "$work/report"

  if [[ $window_shapes == *" $name "* ]]; then
    timed_rounds "window-$name" scan "$scan $site" window "$window $site"
  fi
  # The review outputs stream as the report does: the largest report says what they cost on top of it.
  if [ "$name" = many-findings ]; then
    timed_rounds "sarif-$name" scan "$scan $site" sarif "$scan --format sarif $site"
  fi
done

# A busy machine: a loop holds the first processor throughout, as another program on a workstation would.
taskset -c 0 bash -c 'while :; do :; done' &
busy=$!
# The loop has been stopped already on the way through; under set -e a failing kill here would end the script
# with its status before the work folder is removed.
trap 'kill $busy 2>/dev/null || true; rm -rf "$work"' EXIT
for name in default many-findings; do
  site="${TMPDIR:-/tmp}/morvex-bench-$name"
  warm_site
  timed_rounds "busy-$name" cat "find $site -type f -exec cat {} +" scan "$scan $site"
done
site="${TMPDIR:-/tmp}/morvex-bench-no-page-files"
projects=100 pages=4000 objects=1 collisions=4
prepare_site --page-files none > /dev/null
hyperfine -N -i --style none --warmup 1 --runs "$runs" --export-json "$work/busy-missing-1.json" \
  -n scan "$scan $site" > /dev/null 2> "$work/hyperfine.log" || { cat "$work/hyperfine.log" >&2; exit 2; }
kill $busy
wait $busy 2>/dev/null || true

# One processor: reading ahead can only take turns with the scan, so it must cost nothing there.
site="${TMPDIR:-/tmp}/morvex-bench-default"
warm_site
timed_rounds "one-core" scan "taskset -c 1 $scan $site" inline "taskset -c 1 env MORVEX_READ_AHEAD=0 $scan $site"

python3 - "$work" "$(dirname "$0")" <<'PY'
import sys
from pathlib import Path

sys.path.insert(0, sys.argv[2])
import bench_results

work = Path(sys.argv[1])
scan_target = {"default": 1.2, "many-findings": 1.5, "many-projects": 2.0, "few-huge-pages": 6.0}
busy_target = {"default": 3.0, "many-findings": 4.0}
window_target = {"default": 1.2, "many-findings": 1.5}

def medians(label):
    return bench_results.medians(work, label)

def verdict(value, target):
    return "-" if target is None else ("ok" if value <= target else "MISS")

header = ["shape", "output", "files", "findings", "report B", "cat s", "scan s", "scan/cat", "target",
          "peak MiB", "B/finding", "budget MiB", "in budget"]
rows, samples = [], 0
for line in (work / "rows").read_text().split("\n"):
    if not line:
        continue
    shape, output, files, findings, report, peak_kb = line.split()
    findings, report, peak = int(findings), int(report), int(peak_kb) * 1024
    budget = 64 * 2**20 + 2 * report
    timing = ["-"] * 4
    if output == "tsv":
        med, samples = medians(f"time-{shape}")
        ratio = med["scan"] / med["cat"]
        target = scan_target.get(shape)
        timing = [f"{med['cat']:.3f}", f"{med['scan']:.3f}", f"{ratio:.2f}",
                  f"<= {target} {verdict(ratio, target)}" if target else "figure"]
    rows.append([shape, output, files, str(findings), str(report), *timing, f"{peak / 2**20:.1f}",
                 str(peak // findings) if findings else "-", f"{budget / 2**20:.1f}",
                 "yes" if peak <= budget else "NO"])

widths = [max(len(row[i]) for row in rows + [header]) for i in range(len(header))]
for row in [header] + rows:
    print("  ".join(cell.rjust(width) for cell, width in zip(row, widths)))
print(f"medians of {samples} runs each; B/finding is peak memory over show-all findings; "
      f"budget is 64 MiB + 2 x that output's report")

print()
for shape, target in window_target.items():
    if not list(work.glob(f"window-{shape}-*.json")):
        continue
    med, samples = medians(f"window-{shape}")
    ratio = med["window"] / med["scan"]
    print(f"{shape}: window {med['window']:.3f} s, morvex-scan {med['scan']:.3f} s, window/scan {ratio:.2f} "
          f"(target <= {target} {verdict(ratio, target)}), medians of {samples} runs")

print()
if list(work.glob("sarif-many-findings-*.json")):
    med, samples = medians("sarif-many-findings")
    ratio = med["sarif"] / med["scan"]
    print(f"many-findings: --format sarif {med['sarif']:.3f} s, TSV {med['scan']:.3f} s, sarif/tsv {ratio:.2f} "
          f"(target <= 1.3 {verdict(ratio, 1.3)}), medians of {samples} runs")
for shape, target in busy_target.items():
    med, samples = medians(f"busy-{shape}")
    ratio = med["scan"] / med["cat"]
    print(f"busy {shape}: scan {med['scan']:.3f} s, cat {med['cat']:.3f} s, scan/cat {ratio:.2f} "
          f"(target <= {target} {verdict(ratio, target)}), medians of {samples} runs")
med, samples = medians("busy-missing")
print(f"busy, 400,000 listed pages without files: scan {med['scan']:.3f} s (target < 5 {verdict(med['scan'], 5.0)})")
med, samples = medians("one-core")
ratio = med["scan"] / med["inline"]
print(f"one processor: scan {med['scan']:.3f} s, reading ahead off {med['inline']:.3f} s, ratio {ratio:.2f} "
      f"(target <= 1.1 {verdict(ratio, 1.1)}), medians of {samples} runs")
PY

# Part of the window's time is the results box taking the report, which no code of ours can shorten; one run
# per window shape says how much, so the ratio above can be read without it.
for name in $window_shapes; do
  site="${TMPDIR:-/tmp}/morvex-bench-$name"
  [ -d "$site" ] || continue
  floor=$(QT_QPA_PLATFORM=offscreen "$window" "$site" --box-floor 2>/dev/null | sed -n 's/^the box alone takes \(.*\) s for the same text$/\1/p')
  echo "$name: the results box alone takes ${floor:-?} s to take the report"
done
