#!/usr/bin/env bash
# The Windows console programs as processes under Wine: the example site, tables, bad input and awkward paths,
# each compared with the committed report or with what the Linux programs answer.
set -uo pipefail

app_dir=$1      # holds morvex-scan.exe and morvex-dbf.exe
source_dir=$2   # the repository
linux_app_dir=${3:-}  # the Linux build's program folder, when there is one to compare with

export WINEDEBUG=-all
# The loader ctest starts these programs with: for x64 the 64-bit one, since "wine" starts a 64-bit program from
# a 32-bit process once wine32 is installed, and the Ctrl-C case needs the program's own process id.
wine_loader=${MORVEX_WINE_LOADER:-wine}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Runs a program; leaves status, stdout and stderr in $status, $work/out and $work/err.
run() {
  "$wine_loader" "$@" >"$work/out" 2>"$work/err"
  status=$?
}

expect_status() {
  [ "$status" -eq "$1" ] || fail "$2: status $status, expected $1 ($(head -c 300 "$work/err"))"
}

source "$source_dir/scripts/wine.sh"

scan="$app_dir/morvex-scan.exe"
dbf="$app_dir/morvex-dbf.exe"
site_unix="$source_dir/examples/site"
site=$(windows_path "$site_unix")

# The example site: the committed reports, the one message, the separator of the platform.
run "$scan" "$site"
expect_status 1 "example site"
cmp -s "$work/out" "$source_dir/tests/data/scan/example_site.tsv" || fail "example site report differs"
[ "$(cat "$work/err")" = "morvex-scan: Cannot open page list: $site\\leitstand\\pages.dbf
morvex-scan: 1 of 6 pages could not be opened: 1 missing; 1 of 3 page lists could not be opened: 1 missing; --list-unopened names them
morvex-scan: 12 collisions on 5 of 5 pages scanned" ] ||
  fail "example site message: $(cat "$work/err")"
run "$scan" --unique --include-built-in "$site"
expect_status 1 "unique"
cmp -s "$work/out" "$source_dir/tests/data/scan/example_site_unique.tsv" || fail "unique report differs"
run "$scan" --format json --unique --include-built-in "$site"
expect_status 1 "unique json"
cmp -s "$work/out" "$source_dir/tests/data/scan/example_site_unique.json" || fail "unique json differs"

# Wrong options and missing folders end with status 2 and one line on stderr, as on Linux.
run "$scan" --no-such-option "$site"
expect_status 2 "unknown option"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "unknown option: not one line"
run "$scan" "$site\\missing"
expect_status 2 "missing folder"
run "$dbf" "$site\\missing.dbf"
expect_status 2 "missing table"
run "$scan" --version
expect_status 0 "version"

# A folder named with characters outside every ANSI code page, and one nested past 260 characters.
unicode="$work/Anlage Ärger 日本 ✓"
mkdir -p "$unicode"
cp -r "$site_unix/." "$unicode/"
run "$scan" --unique --include-built-in "$(windows_path "$unicode")"
expect_status 1 "Unicode folder"
cmp -s "$work/out" "$source_dir/tests/data/scan/example_site_unique.tsv" || fail "Unicode folder report differs"
deep="$work"
while [ ${#deep} -lt 300 ]; do deep="$deep/a-rather-long-folder-name-$((${#deep} % 97))"; done
mkdir -p "$deep"
cp -r "$site_unix/." "$deep/"
deep_windows=$(windows_path "$deep")
[ ${#deep_windows} -gt 260 ] || fail "the long path is only ${#deep_windows} characters"
run "$scan" --unique --include-built-in "$deep_windows"
expect_status 1 "long path"
cmp -s "$work/out" "$source_dir/tests/data/scan/example_site_unique.tsv" || fail "long path report differs"
run "$dbf" "$deep_windows\\master.dbf"
expect_status 0 "table under a long path"

# Tables: the same dump as the Linux program, byte for byte, where that program is at hand.
for table in master.dbf klaeranlage/pages.dbf; do
  run "$dbf" "$(windows_path "$site_unix/$table")"
  expect_status 0 "dump of $table"
  if [ -n "$linux_app_dir" ] && [ -x "$linux_app_dir/morvex-dbf" ]; then
    "$linux_app_dir/morvex-dbf" "$site_unix/$table" >"$work/linux" 2>/dev/null
    cmp -s "$work/out" "$work/linux" || fail "dump of $table differs from Linux"
  fi
done
run "$dbf" --codepage 866 "$(windows_path "$source_dir/tests/data/pages_cp866.dbf")"
expect_status 0 "dump in code page 866"
if [ -n "$linux_app_dir" ] && [ -x "$linux_app_dir/morvex-dbf" ]; then
  "$linux_app_dir/morvex-dbf" --codepage 866 "$source_dir/tests/data/pages_cp866.dbf" >"$work/linux" 2>/dev/null
  cmp -s "$work/out" "$work/linux" || fail "code page 866 dump differs from Linux"
fi

# Ctrl-C and a reader that closes the pipe early need output larger than a pipe holds and a run that takes a
# while: a site and a table made by the Linux build's generators.
bench_dir="${linux_app_dir:+$linux_app_dir/../bench}"
if [ -n "$bench_dir" ] && [ -x "$bench_dir/morvex-sitegen" ] && [ -x "$bench_dir/morvex_bench_make_table" ]; then
  big_site="$work/big-site"
  "$bench_dir/morvex-sitegen" --projects 40 --pages 100 --objects 100 "$big_site" >/dev/null
  big_table="$work/big.dbf"
  "$bench_dir/morvex_bench_make_table" "$big_table" 20000 >/dev/null

  # Both programs end quietly with status 2, as on Linux; Windows reports the closed pipe as an error of its
  # own, not as EPIPE.
  "$wine_loader" "$scan" "$(windows_path "$big_site")" 2>"$work/err" | head -c 1 >/dev/null
  status=${PIPESTATUS[0]}
  expect_status 2 "scan into a closed pipe"
  [ ! -s "$work/err" ] || fail "scan into a closed pipe: $(head -c 300 "$work/err")"
  "$wine_loader" "$dbf" "$(windows_path "$big_table")" 2>"$work/err" | head -c 1 >/dev/null
  status=${PIPESTATUS[0]}
  expect_status 2 "dump into a closed pipe"
  [ ! -s "$work/err" ] || fail "dump into a closed pipe: $(head -c 300 "$work/err")"

  # Wine hands SIGINT to the console control handler, which cancels after the page in hand; the partial
  # report is the start of the full one.
  run "$scan" "$(windows_path "$big_site")"
  expect_status 1 "large site"
  cp "$work/out" "$work/full"
  "$wine_loader" "$scan" "$(windows_path "$big_site")" >"$work/out" 2>"$work/err" &
  child=$!
  # The handler is in place once the run has a file of the site open (the table of projects comes first);
  # a signal before that would end the process the default way.
  for _ in $(seq 2000); do
    ls -l "/proc/$child/fd" 2>/dev/null | grep -q "$big_site/" && break
    sleep 0.005
  done
  kill -INT "$child"
  wait "$child"
  status=$?
  if [ "$status" -eq 1 ]; then
    echo "note: the scan finished before the interrupt arrived; Ctrl-C not checked" >&2
  else
    expect_status 130 "Ctrl-C"
    [ "$(stat -c %s "$work/out")" -lt "$(stat -c %s "$work/full")" ] || fail "Ctrl-C: the report is not partial"
    cmp -s -n "$(stat -c %s "$work/out")" "$work/out" "$work/full" || fail "Ctrl-C: the partial report differs"
  fi
else
  echo "note: no Linux build's generators; closed pipe and Ctrl-C not checked" >&2
fi

# A baseline named through a link goes to the file the link leads to, and the link stays; Wine shows a Unix
# link as that file itself. (windows_path would resolve the link, so only its folder goes through it.)
mkdir -p "$work/baseline/real"
echo old >"$work/baseline/real/base.json"
ln -s real/base.json "$work/baseline/link.json"
run "$scan" --write-baseline "$(windows_path "$work/baseline")\\link.json" "$site"
expect_status 0 "baseline through a link"
[ -L "$work/baseline/link.json" ] || fail "baseline through a link: the link was replaced by a file"
grep -q morvexBaseline "$work/baseline/real/base.json" || fail "baseline through a link: its file was not written"

# An export never writes into the site, however the two folders are spelt: through a drive letter made for the
# test onto the site's parent (as subst or a mapped share does on Windows), or through a link into the site.
export_site="$work/sites/example"
mkdir -p "$work/sites" "$work/elsewhere"
cp -r "$site_unix" "$export_site"
ln -s "$export_site" "$work/elsewhere/into-site"
dosdevices="${WINEPREFIX:-$HOME/.wine}/dosdevices"
letter=""
for candidate in m n o p q r s t u v w x y; do
  if [ ! -e "$dosdevices/$candidate:" ] && [ ! -L "$dosdevices/$candidate:" ]; then letter=$candidate; break; fi
done
if [ -n "$letter" ] && ln -s "$work/sites" "$dosdevices/$letter:"; then
  trap 'rm -f "$dosdevices/$letter:"; rm -rf "$work"' EXIT
  drive=${letter^^}
  export_cases=(
    "$drive:\\example\\out|$(windows_path "$export_site")|out through the letter"
    "$(windows_path "$export_site")\\out|$drive:\\example|site through the letter"
    "$(windows_path "$work/elsewhere")\\into-site\\out|$(windows_path "$export_site")|out through a link into the site"
  )
  for export_case in "${export_cases[@]}"; do
    IFS='|' read -r out_dir site_dir what <<<"$export_case"
    run "$scan" --export "$out_dir" "$site_dir"
    expect_status 2 "export $what"
    grep -q "an export never writes into the site" "$work/err" || fail "export $what: $(head -c 300 "$work/err")"
    [ ! -e "$export_site/out" ] || fail "export $what: wrote into the site"
    rm -rf "$export_site/out"
  done
else
  echo "note: no free drive letter in $dosdevices; exports through a letter not checked" >&2
fi

# Hostile tables end by an exit status, never a crash: 0 for what reads, 2 for what is refused.
for table in "$source_dir"/fuzz/corpus/fuzz_dbase/*; do
  run "$dbf" "$(windows_path "$table")"
  [ "$status" -le 2 ] || fail "hostile table $(basename "$table"): status $status"
done

if [ "$failures" -gt 0 ]; then
  echo "$failures checks failed" >&2
  exit 1
fi
echo "all console checks passed"
