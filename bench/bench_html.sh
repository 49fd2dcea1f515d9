#!/usr/bin/env bash
# The HTML report on the many-findings shape: morvex-scan writing it against writing the TSV report (hyperfine,
# interleaved rounds, medians), the two files' sizes, and the page's timings in Chromium headless.
# Usage: bench/bench_html.sh [BUILD_DIR]
# ROUNDS (default 3) and RUNS (default 3) set how many interleaved hyperfine rounds of how many runs each are taken;
# BROWSER_RUNS (default 5) how many fresh loads the browser times.
set -euo pipefail

build=${1:-build}
scan="$build/bin/morvex-scan"
sitegen="$build/bench/morvex-sitegen"
rounds=${ROUNDS:-3}
runs=${RUNS:-3}
source "$(dirname "$0")/site.sh"

require_built "$scan" "$sitegen"
require_installed hyperfine /usr/bin/python3 chromium chromedriver

# The many-findings shape of bench_shapes.sh: about 290,000 placements, some 18 MB of TSV.
projects=100 pages=100 objects=200 collisions=45
site=${SITE:-"${TMPDIR:-/tmp}/morvex-bench-many-findings"}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prepare_site > /dev/null

timed_rounds html tsv "$scan -q -o $work/report.tsv $site" html "$scan -q --format html -o $work/report.html $site"

# Medians over every run of every round; the ratios against their budgets.
/usr/bin/python3 - "$work" <<'PY'
import glob, json, os, statistics, sys
work = sys.argv[1]
times = {}
for path in glob.glob(os.path.join(work, 'html-*.json')):
    for result in json.load(open(path))['results']:
        times.setdefault(result['command'], []).extend(result['times'])
tsv, html = statistics.median(times['tsv']), statistics.median(times['html'])
tsv_bytes = os.path.getsize(os.path.join(work, 'report.tsv'))
html_bytes = os.path.getsize(os.path.join(work, 'report.html'))
placements = sum(1 for _ in open(os.path.join(work, 'report.tsv'), 'rb')) - 1
print(f'{placements} placements, {len(times["tsv"])} runs each')
print(f'write   tsv {tsv:.3f} s   html {html:.3f} s   ratio {html / tsv:.2f} (budget 1.30)')
print(f'size    tsv {tsv_bytes} B   html {html_bytes} B   ratio {html_bytes / tsv_bytes:.2f} (budget 1.50)')
PY
echo "browser (budgets: load 1500 ms, filter 200 ms, open 200 ms):"
/usr/bin/python3 "$(dirname "$0")/bench_html_browser.py" "$work/report.html" "${BROWSER_RUNS:-5}"
