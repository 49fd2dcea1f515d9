#!/usr/bin/env bash
# Times the table reader against shapelib's dBase reader and plain cat on a 1,000,000-record table, as whole
# processes in one hyperfine run, and reports medians, ratios and peak memory.
# Usage: bench/bench_tables.sh [BUILD_DIR] [WORK_DIR]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
work="${2:-${TMPDIR:-/tmp}/morvex-bench-tables}"
mkdir -p "$work"

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVEX_BUILD_UI=OFF
fi
cmake --build "$build" --target morvex_bench_make_table morvex_bench_dbase_read morvex_bench_shapelib_read -j2

table="$work/million.dbf"
if [ ! -f "$table" ]; then
  "$build/bench/morvex_bench_make_table" "$table" 1000000
fi

ours="$build/bench/morvex_bench_dbase_read $table"
ours_copies="$build/bench/morvex_bench_dbase_read $table --element"
shapelib="$build/bench/morvex_bench_shapelib_read $table"
plain="cat $table > /dev/null"

hyperfine --warmup 2 --runs "${RUNS:-10}" --export-json "$work/hyperfine.json" \
  -n clsDBase "$ours" -n clsDBase-element "$ours_copies" -n shapelib "$shapelib" -n cat "$plain"

peak() {  # peak resident set in KiB of one run
  /usr/bin/time -v sh -c "$1" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}'
}
file_kib=$(( $(stat -c %s "$table") / 1024 ))
ours_kib=$(peak "$ours")
copies_kib=$(peak "$ours_copies")
shapelib_kib=$(peak "$shapelib")

python3 - "$work/hyperfine.json" "$file_kib" "$ours_kib" "$copies_kib" "$shapelib_kib" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
median = {name: results[name]["median"] * 1000 for name in results}
file_kib, ours_kib, copies_kib, shapelib_kib = (int(v) for v in sys.argv[2:6])
cpu = {name: (results[name]["user"] + results[name]["system"]) * 1000 for name in results}
# On a shared machine the processor time (user + system) is the steadier figure; both are shown.
for name in ("clsDBase", "clsDBase-element", "shapelib", "cat"):
    print(f"median {name:17} {median[name]:8.1f} ms   (cpu {cpu[name]:6.1f} ms)")
print(f"shapelib / clsDBase          {median['shapelib'] / median['clsDBase']:5.2f}x  (target >= 2)")
print(f"shapelib / clsDBase-element  {median['shapelib'] / median['clsDBase-element']:5.2f}x")
print(f"cpu shapelib / clsDBase      {cpu['shapelib'] / cpu['clsDBase']:5.2f}x")
print(f"clsDBase / cat               {median['clsDBase'] / median['cat']:5.2f}x")
print(f"peak memory clsDBase {ours_kib / 1024:.0f} MiB = {ours_kib / file_kib:.2f}x the file (target <= 3); "
      f"with --element {copies_kib / file_kib:.2f}x; shapelib {shapelib_kib / 1024:.0f} MiB; file {file_kib / 1024:.0f} MiB")
PY
