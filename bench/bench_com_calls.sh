#!/usr/bin/env bash
# What one page-server call costs under Wine, and how far two calling threads, each with a server of its own,
# scale: a BSTR made and freed, our server linked in, our in-process COM server (morvex-pages.dll) and our local
# COM server (morvex-pages-local.exe), each with one thread and with two, in ROUNDS interleaved rounds (default 5),
# medians; with the wineserver's processor time per out-of-process call and, from the calls a page takes, the time
# a 20,000-page site takes at 100 us a call on one worker and on eight.
# Usage: bench/bench_com_calls.sh [BUILD_DIR] [WINDOWS_BUILD_DIR]
# Needs the Linux build's morvex-sitegen and the Windows build's morvex-com-calls.exe, morvex-pages.dll and
# morvex-pages-local.exe (scripts/build-windows.sh). It registers both servers in the Windows build's Wine prefix,
# or in WINEPREFIX when set (the x64 build's for build-windows-x86, whose tests share it), for the length of the
# run, restarts that prefix's Wine server and stops it at the end.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build=$(realpath "${1:-$root/build}")
windows=$(realpath "${2:-$root/build-windows}")
sitegen="$build/bench/morvex-sitegen"
rounds=${ROUNDS:-5}
source "$(dirname "$0")/site.sh"
calls="$windows/bin/morvex-com-calls.exe"
require_built "$sitegen" "$calls" "$windows/bin/morvex-pages.dll" "$windows/bin/morvex-pages-local.exe"

# One page of the default shape (200 objects), and a site of each shape whose calls a page takes are counted.
work=$(mktemp -d)
site="$work/page" projects=1 pages=1 objects=200
prepare_site > /dev/null

export WINEPREFIX="${WINEPREFIX:-$windows/wine-prefix}" WINEDEBUG=-all
wineserver -k 2>/dev/null || true
source "$root/scripts/wine.sh"
loader=$(wine_loader_of "$windows")
dll=$(windows_path "$windows/bin/morvex-pages.dll")
trap 'wine regsvr32 /s /u "$dll" >/dev/null 2>&1 || true; $loader "$windows/bin/morvex-pages-local.exe" /UnregServer \
  >/dev/null 2>&1 || true; rm -rf "$work"; wineserver -k 2>/dev/null || true' EXIT
wineserver -p
wine cmd /c exit
wine regsvr32 /s "$dll"
$loader "$windows/bin/morvex-pages-local.exe" /RegServer

target=$(windows_path "$site")
wineserver_ticks() { awk '{print $14 + $15}' "/proc/$(pgrep -n -x wineserver64 || pgrep -n -x wineserver)/stat"; }
for ((round = 1; round <= rounds; round++)); do
  # Each walk of a page in-process is some 1,160 calls; out of process one walk takes seconds.
  $loader "$calls" "$target" Station_0001 Page_0001 "${WALKS:-1000}" @bstr "" Morvex.PageFiles >> "$work/in-process"
  before=$(wineserver_ticks)
  $loader "$calls" "$target" Station_0001 Page_0001 "${LOCAL_WALKS:-2}" Morvex.LocalPageFiles >> "$work/local"
  echo "$(($(wineserver_ticks) - before))" >> "$work/wineserver-ticks"
done

for shape in "50" "200"; do
  site="$work/shape-$shape" projects=2 pages=10 objects=$shape
  prepare_site > /dev/null
done

python3 - "$work" "$root/search/ReservedKeywords.cpp" "$root/bench" "$(getconf CLK_TCK)" <<'PY'
import os, re, statistics, sys
from pathlib import Path
sys.path.insert(0, sys.argv[3])
from bench_results import automation_calls

work = Path(sys.argv[1])
line = re.compile(r"^(.*), (\d) threads?:(.*);\s+(\d+) calls a second in all \((\d+) calls\)")
per_thread = re.compile(r"(\d+) ns wall, (\d+) ns processor a call")
runs = {}
for name in ("in-process", "local"):
    for text in (work / name).read_text().splitlines():
        match = line.match(text)
        if not match:
            continue
        who, threads, figures, rate, total = match.groups()
        threads = int(threads)
        pairs = [tuple(map(int, pair)) for pair in per_thread.findall(figures)]
        entry = runs.setdefault((who, threads), {"wall": [], "cpu": [], "rate": [], "calls": int(total)})
        entry["wall"].append(statistics.mean(p[0] for p in pairs))
        entry["cpu"].append(statistics.mean(p[1] for p in pairs))
        entry["rate"].append(int(rate))

def us(ns):
    return f"{ns / 1000:.2f} us" if ns >= 1000 else f"{ns:.0f} ns"

# Our server without COM shares nothing between its threads: how far it scales is what the machine gives two
# threads at that moment, against which the others are read.
machine = None
for who in dict.fromkeys(key[0] for key in runs):
    one, two = runs.get((who, 1)), runs.get((who, 2))
    if not one or not two:
        continue
    median = {k: {f: statistics.median(v[f]) for f in ("wall", "cpu", "rate")} for k, v in (("1", one), ("2", two))}
    scaling = median['2']['rate'] / median['1']['rate']
    if who.startswith("(our server"):
        machine = scaling
    against = f", {scaling / machine:.2f} of what the machine gave" if machine and not who.startswith("(") else ""
    print(f"{who}: one thread {us(median['1']['wall'])} a call ({us(median['1']['cpu'])} processor), two threads "
          f"{us(median['2']['wall'])} ({us(median['2']['cpu'])} processor) each; two threads do "
          f"{scaling:.2f}x the calls a second of one{against} (medians of {len(one['rate'])})")

ticks = [int(t) for t in (work / "wineserver-ticks").read_text().split()]
local_calls = runs[("Morvex.LocalPageFiles", 1)]["calls"] + runs[("Morvex.LocalPageFiles", 2)]["calls"]
server_ms = statistics.median(ticks) * 1000 / int(sys.argv[4]) / local_calls
print(f"out of process, the wineserver's processor time: {server_ms * 1000:.0f} us a call (median of {len(ticks)}); "
      f"it serves one request at a time, so no number of workers passes {1000 / server_ms:.0f} calls a second")

for shape in ("50", "200"):
    pages, calls = automation_calls(work / f"shape-{shape}", sys.argv[2])
    per_page = calls / pages
    one = 20000 * per_page * 100e-6
    print(f"{shape} objects a page: {per_page:.0f} calls a page; 20,000 pages at 100 us a call: {one / 60:.1f} min on "
          f"one worker, {one / 8 / 60:.1f} min on eight workers with eight processors (calls scaling freely)")
PY
