#!/usr/bin/env bash
# Remakes tests/data/code_pages_windows.tsv from the Windows converter under Wine (after scripts/build-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${1:-build-windows}
WINEDEBUG=-all wine "$build_dir/tests/morvex-dump-code-pages.exe" | tr -d '\r' >tests/data/code_pages_windows.tsv
echo "tests/data/code_pages_windows.tsv: $(grep -vc "^#" tests/data/code_pages_windows.tsv) bytes, from $(wine --version 2>/dev/null)"
