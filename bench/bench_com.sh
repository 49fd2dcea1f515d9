#!/usr/bin/env bash
# morvex-scan.exe under Wine through our in-process COM page server (morvex-pages.dll, --page-server), with one
# worker and with two, against the same program's built-in page-file server with one and with two, in ROUNDS
# interleaved hyperfine rounds (default 3) of RUNS runs each (default 3), medians, on the default generated site
# (PROJECTS, PAGES, OBJECTS pick another shape), and what one automation call through COM costs.
# Usage: bench/bench_com.sh [BUILD_DIR] [WINDOWS_BUILD_DIR] [SITE_DIR]
# Needs the Linux build's morvex-sitegen, the Windows build's morvex-scan.exe and morvex-pages.dll
# (scripts/build-windows.sh) and hyperfine. It registers the DLL in the Windows build's Wine prefix, or in
# WINEPREFIX when set (the x64 build's for build-windows-x86, whose tests share it), for the length of the run,
# restarts that prefix's Wine server and stops it at the end.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build=$(realpath "${1:-$root/build}")
windows=$(realpath "${2:-$root/build-windows}")
site=${3:-${TMPDIR:-/tmp}/morvex-bench-site}
sitegen="$build/bench/morvex-sitegen"
source "$(dirname "$0")/site.sh"

require_built "$sitegen" "$windows/bin/morvex-scan.exe" "$windows/bin/morvex-pages.dll"
require_installed hyperfine

prepare_site
site=$(realpath "$site")

export WINEPREFIX="${WINEPREFIX:-$windows/wine-prefix}" WINEDEBUG=-all
wineserver -k 2>/dev/null || true
work=$(mktemp -d)
source "$root/scripts/wine.sh"
dll=$(windows_path "$windows/bin/morvex-pages.dll")
trap 'wine regsvr32 /s /u "$dll" >/dev/null 2>&1 || true; rm -rf "$work"; wineserver -k 2>/dev/null || true' EXIT
# A lasting Wine server, so that a program start costs milliseconds, as a start does on Windows.
wineserver -p
wine cmd /c exit
wine regsvr32 /s "$dll"

scan="$(wine_loader_of "$windows") '$windows/bin/morvex-scan.exe'"
target=$(windows_path "$site")
# Both give the same report; the scan exits 1 on a site with collisions, which a generated site always has.
cmp <(eval "$scan '$target'" 2>/dev/null) <(eval "$scan --page-server Morvex.PageFiles '$target'" 2>/dev/null) ||
  { echo "the two servers' reports differ" >&2; exit 1; }
# Rounds take the commands in turn in another order each, so a neighbour's burst of load falls on all of them.
names=(built-in built-in-jobs-2 com com-jobs-2)
commands=("$scan --jobs 1 '$target'" "$scan --jobs 2 '$target'" "$scan --page-server Morvex.PageFiles '$target'"
          "$scan --page-server Morvex.PageFiles --jobs 2 '$target'")
for ((round = 1; round <= ${ROUNDS:-3}; round++)); do
  order=()
  for ((i = 0; i < ${#names[@]}; i++)); do
    k=$(((i + round) % ${#names[@]}))
    order+=(-n "${names[k]}" "${commands[k]} > /dev/null 2>&1")
  done
  hyperfine --style none --warmup 1 --runs "${RUNS:-3}" -i --prepare "find '$site' -type f -exec cat {} + > /dev/null" \
    --export-json "$work/com-$round.json" "${order[@]}" > /dev/null 2> "$work/hyperfine.log" ||
    { cat "$work/hyperfine.log" >&2; exit 2; }
done

# Where each run's processor time goes, thread by thread (sampled from /proc every 50 ms, so to some 50 ms): what
# two free processors would make of it, however busy the machine is now.
thread_times() {
  local name=$1 command=$2 pid="" task times
  (eval "$command > /dev/null 2>&1") &
  local running=$!
  declare -A cpu=()
  while kill -0 "$running" 2>/dev/null; do
    [ -n "$pid" ] || pid=$(pgrep -n -f 'morvex-scan\.exe' || true)
    if [ -n "$pid" ]; then
      for task in /proc/"$pid"/task/*; do
        times=$(cat "$task/schedstat" 2>/dev/null) && cpu[${task##*/}]=${times%% *}
      done
    fi
    sleep 0.05
  done
  wait "$running" || true
  echo "$name ${cpu[*]}" >> "$work/threads"
}
for ((round = 1; round <= ${ROUNDS:-3}; round++)); do
  for ((i = 0; i < ${#names[@]}; i++)); do
    k=$(((i + round) % ${#names[@]}))
    find "$site" -type f -exec cat {} + > /dev/null
    thread_times "${names[k]}" "${commands[k]}"
  done
done

# The calls one run makes, counted from the pages themselves.
python3 - "$work" "$site" "$root/search/ReservedKeywords.cpp" "$root/bench" <<'PY'
import statistics, sys
sys.path.insert(0, sys.argv[4])
from bench_results import automation_calls, medians
median, runs = medians(sys.argv[1], "com")
print(f"medians of {runs} interleaved runs each")
pages, calls = automation_calls(sys.argv[2], sys.argv[3])
builtin, com = median["built-in"], median["com"]
print(f"median: built-in {builtin:.3f} s, through COM {com:.3f} s, ratio {com / builtin:.2f} (target <= 1.5)")
print(f"{pages} pages, {calls} automation calls: {(com - builtin) / calls * 1e9:.0f} ns more per call through COM")
two = median["com-jobs-2"]
print(f"through COM, two workers {two:.3f} s against one {com:.3f} s: {com / two:.2f}x faster (target >= 1.6)")
builtin_two = median["built-in-jobs-2"]
print(f"built-in, two workers {builtin_two:.3f} s against one {builtin:.3f} s: {builtin / builtin_two:.2f}x faster")

# On two free processors a run takes at least its busiest thread's time and at least half of all its threads' time.
bounds, shown = {}, {}
for line in open(f"{sys.argv[1]}/threads"):
    name, *nanoseconds = line.split()
    busy = sorted((int(n) / 1e9 for n in nanoseconds if int(n) > 20e6), reverse=True)
    bounds.setdefault(name, []).append(max(busy[0], sum(busy) / 2))
    shown.setdefault(name, ", ".join(f"{t:.2f}" for t in busy))
for name, busy in shown.items():
    print(f"{name}: processor time of the threads above 20 ms, first run: {busy} s")
bound = {name: statistics.median(values) for name, values in bounds.items()}
for server in ("built-in", "com"):
    print(f"{server}: on two free processors two workers would be at most {bound[server] / bound[server + '-jobs-2']:.2f}x "
          f"faster than one, the start apart (medians of {len(bounds[server])})")
PY
