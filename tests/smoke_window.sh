#!/usr/bin/env bash
# Smoke test of the real morvex window on a virtual X display: it opens, and with a site, a run shows progress.
# Usage: tests/smoke_window.sh MORVEX OUT_DIR [SITEGEN]
# Leaves main.png (and progress.png with SITEGEN) in OUT_DIR. Exits 77 when no virtual display can be had.
set -euo pipefail

morvex=$1
out=$2
sitegen=${3:-}

if [ -z "${MORVEX_SMOKE_ON_DISPLAY:-}" ]; then
  for tool in xvfb-run xdotool import; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
  done
  MORVEX_SMOKE_ON_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

mkdir -p "$out"
work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# A settings store of the test's own, already pointing at the site, so no typing is needed.
export XDG_CONFIG_HOME="$work/config"
export QT_QPA_PLATFORM=xcb
site=
if [ -n "$sitegen" ] && [ -x "$sitegen" ]; then
  site="$work/site"
  "$sitegen" --projects 40 --pages 100 --objects 40 --seed 7 "$site" > /dev/null
fi
mkdir -p "$XDG_CONFIG_HOME/Morvex"
printf '[Settings]\nUserPath=%s\nShowInstances=1\nIgnoreBuiltInProjects=1\n' "$site" > "$XDG_CONFIG_HOME/Morvex/Morvex.conf"

"$morvex" > "$work/morvex.log" 2>&1 &
pid=$!

main=$(timeout 20 xdotool search --sync --onlyvisible --name 'Veltra Tarvo Reserved Keyword Search v' | head -1) \
  || fail "the main window did not appear"
sleep 0.5
size=$(xdotool getwindowgeometry "$main" | awk '/Geometry/ {print $2}')
[ "$size" = "560x472" ] || fail "main window is $size, not 560x472"
import -window root "$out/main.png"
colours=$(convert "$out/main.png" -format '%k' info:)
[ "$colours" -gt 4 ] || fail "the screenshot is blank ($colours colours)"
echo "main window up, $size, screenshot $out/main.png"

if [ -n "$site" ]; then
  # Start sits at 472,64 with a size of 73×25 in the client area.
  xdotool mousemove --window "$main" 508 76 click 1
  progress=$(timeout 20 xdotool search --sync --onlyvisible --name '^Morvex$' | head -1) \
    || fail "the progress window did not appear"
  sleep 0.4
  import -window root "$out/progress.png"
  psize=$(xdotool getwindowgeometry "$progress" | awk '/Geometry/ {print $2}')
  [ "$psize" = "312x112" ] || fail "progress window is $psize, not 312x112"
  echo "progress window up, $psize, screenshot $out/progress.png"
  kill -0 "$pid" || fail "morvex ended during the run"
fi
