#!/usr/bin/env bash
# Installs what is missing, builds the command-line scan and runs it on the bundled example site.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target morvex-scan >/dev/null
status=0
build/bin/morvex-scan "$@" examples/site || status=$?
# 1 only says that collisions were found, which is what the example site is for.
[ "$status" -le 1 ] || exit "$status"
