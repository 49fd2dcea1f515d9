#!/usr/bin/env bash
# The Windows programs under Wine against the Linux ones, side by side in one hyperfine run: the scan of a
# generated site and the dump of a 1,000,000-record table. Then one search through the Win32 windows against
# the Windows scan, on the default site and on the many-findings one, in interleaved rounds: Start to the
# report shown, the longest the window's message loop waits while the results box takes the report, Ctrl+A and
# Ctrl+C of the whole report, and each program's peak memory.
# Usage: bench/bench_windows.sh [BUILD_DIR] [WINDOWS_BUILD_DIR] [SITE_DIR]
# RUNS (default 10) sets the first comparison's runs; ROUNDS (default 3) and WINDOW_RUNS (default 3) the window
# comparison's rounds and runs per round, and the window's own figures are the medians over ROUNDS runs of it.
# WINDOW_ONLY=1 runs the window comparison alone, which needs only morvex-sitegen of the Linux build.
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

window_only=${WINDOW_ONLY:-0}
require_built "$sitegen" "$windows/bin/morvex-scan.exe" "$windows/bin/morvex-bench-window.exe"
[ "$window_only" = 1 ] || require_built "$build/bin/morvex-scan" "$build/bin/morvex-dbf" \
  "$build/bench/morvex_bench_make_table" "$windows/bin/morvex-dbf.exe"
require_installed hyperfine

if [ "$window_only" != 1 ]; then
  prepare_site
  site=$(realpath "$site")
  table="$(dirname "$site")/morvex-bench-million.dbf"
  [ -f "$table" ] || "$build/bench/morvex_bench_make_table" "$table" 1000000
fi

# A lasting Wine server of the build's own prefix, or of WINEPREFIX when set (the x64 build's for
# build-windows-x86, whose tests share it), so that a program start costs milliseconds, as a start does on
# Windows. The windows need a display from the session's start: the first program makes the
# session's desktop on the display it finds.
export WINEPREFIX="${WINEPREFIX:-$windows/wine-prefix}" WINEDEBUG=-all
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
# The scan exits 1 on a site with collisions, which a generated site always has.
[ "$window_only" = 1 ] || {
warm="find '$site' -type f -exec cat {} + > /dev/null; cat '$table' > /dev/null"
hyperfine --warmup 2 --runs "${RUNS:-10}" -i --prepare "$warm" --export-json "$results" \
  -n scan-linux "'$build/bin/morvex-scan' '$site' > /dev/null 2>&1" \
  -n scan-wine "$wine '$windows/bin/morvex-scan.exe' '$(windows_path "$site")' > /dev/null 2>&1" \
  -n dbf-linux "'$build/bin/morvex-dbf' '$table' > /dev/null" \
  -n dbf-wine "$wine '$windows/bin/morvex-dbf.exe' '$(windows_path "$table")' > /dev/null"

python3 - "$results" <<'PY'
import json, sys
median = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
for what in ("scan", "dbf"):
    linux, wine = median[what + "-linux"], median[what + "-wine"]
    print(f"median {what}: Linux {linux:.3f} s, Wine {wine:.3f} s, ratio {wine / linux:.2f}")
PY
}

# One search through the windows against the scan, per site shape: wall time in interleaved hyperfine rounds,
# then each program's peak resident memory (the Wine process's, which holds the program) and the window's own
# figures from runs of their own.
rounds=${ROUNDS:-3}
runs_per_round=${WINDOW_RUNS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work" "$results"; wineserver -k 2>/dev/null || true; kill "$wm" "$virtual_display_pid" 2>/dev/null || true' EXIT
for shape in "default 100 100 200 4" "many-findings 100 100 200 45"; do
  read -r name projects pages objects collisions <<< "$shape"
  site="$(dirname "$site")/morvex-bench-$name"
  prepare_site > /dev/null
  site=$(realpath "$site")
  scan_command="$wine '$windows/bin/morvex-scan.exe' '$(windows_path "$site")' > /dev/null 2>&1"
  # The window's process as a user's run: Start, the report shown, closed; without the copy timed below.
  window_command="$wine '$windows/bin/morvex-bench-window.exe' --no-copy '$(windows_path "$site")' > /dev/null 2>&1"
  for ((round = 1; round <= rounds; round++)); do
    if ((round % 2)); then order=(-n scan "$scan_command" -n window "$window_command")
    else order=(-n window "$window_command" -n scan "$scan_command"); fi
    hyperfine -i --style none --warmup 1 --runs "$runs_per_round" --prepare "find '$site' -type f -exec cat {} + > /dev/null" \
      --export-json "$work/$name-$round.json" "${order[@]}" > /dev/null
  done
  python3 - "$work" "$name" "$rounds" "$wine" "$windows" "$(windows_path "$site")" "$root/bench" "$site" <<'PY'
import os, statistics, subprocess, sys, time
work, name, rounds, wine, windows, site, bench, site_path = sys.argv[1:9]
sys.path.insert(0, bench)
import bench_results

def peak_and_output(command):
    """Runs one program, returning its peak resident memory in bytes (of the one process Wine runs it in) and
    its standard output."""
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    output = process.stdout.read()
    _, _, usage = os.wait4(process.pid, 0)
    return usage.ru_maxrss * 1024, output

scan_peaks, scan_walls, window_peaks, figures = [], [], [], {}


def warm():
    subprocess.run(["bash", "-c", 'source "$1/site.sh"; site=$2; warm_site', "warm", bench, site_path], check=False)


for _ in range(int(rounds)):
    warm()
    started = time.perf_counter()
    scan_peaks.append(peak_and_output([wine, f"{windows}/bin/morvex-scan.exe", site])[0])
    scan_walls.append(time.perf_counter() - started)
    warm()
    peak, output = peak_and_output([wine, f"{windows}/bin/morvex-bench-window.exe", "--no-copy", site])
    window_peaks.append(peak)
    # The copy's own figures from a run of their own: its paste, inside the same process, adds the clipboard's
    # UTF-16 to the peak, which in use is the pasting program's.
    copy_output = peak_and_output([wine, f"{windows}/bin/morvex-bench-window.exe", site])[1]
    for run, keys in ((output, None), (copy_output, ("copy_all", "paste"))):
        for pair in run.split():
            key, _, value = pair.partition("=")
            if (keys is None and key not in ("copy_all", "paste")) or (keys is not None and key in keys):
                figures.setdefault(key, []).append(float(value))
median, fewest = bench_results.medians(work, name)
scan, window = median["scan"], median["window"]
target = 1.1 if name == "default" else 1.5
fig = {key: statistics.median(values) for key, values in figures.items()}
# What the targets name: the press of Start to the report shown, by the window's own clock, against the scan's
# whole process run just before it. The window's own start and close come before Start and after the user has
# the report.
scan_alone = statistics.median(scan_walls)
print(f"{name}: Start to shown {fig['start_to_shown']:.3f} s against the scan's {scan_alone:.3f} s, ratio "
      f"{fig['start_to_shown'] / scan_alone:.2f} (target <= {target}); medians of {rounds} taken in turn")
print(f"{name}: whole processes: scan {scan:.3f} s, window from its start to the report shown and closed "
      f"{window:.3f} s, ratio {window / scan:.2f}; medians of {fewest} runs each")
print(f"{name}: inside the window: Start to shown {fig['start_to_shown']:.3f} s (run {fig['run']:.3f} s), "
      f"longest message-loop wait {fig['loop_wait']:.3f} s (target <= 0.2), "
      f"Ctrl+A and Ctrl+C {fig['copy_all']:.3f} s (target <= 0.5), then the first paste "
      f"{fig['paste']:.3f} s, {int(fig['characters'])} characters")
scan_peak, window_peak = statistics.median(scan_peaks), statistics.median(window_peaks)
print(f"{name}: peak memory: scan {scan_peak / 2**20:.0f} MiB, window {window_peak / 2**20:.0f} MiB, "
      f"ratio {window_peak / scan_peak:.2f} (target <= 2)")
PY
done
