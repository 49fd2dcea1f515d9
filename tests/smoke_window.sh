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

fail() {
  echo "FAIL: $*" >&2
  cat "$work/morvex.log" >&2 || true
  exit 1
}

# Polls a condition for up to ten seconds: a loaded machine (or a sanitizer build) maps and paints slowly.
eventually() {
  for _ in $(seq 50); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}
geometry_is() { [ "$(xdotool getwindowgeometry "$1" | awk '/Geometry/ {print $2}')" = "$2" ]; }
painted_screenshot() {
  import -window root "$1" && [ "$(convert "$1" -format '%k' info:)" -gt 4 ]
}

# A settings store of the test's own, already pointing at the site, so no typing is needed.
export XDG_CONFIG_HOME="$work/config"
export QT_QPA_PLATFORM=xcb
# In a sanitizer build, the X keyboard library reads past a string end inside strndup; that is its business,
# not ours, and strict string checks would stop the window before it opens.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0"
site=
if [ -n "$sitegen" ] && [ -x "$sitegen" ]; then
  site="$work/site"
  "$sitegen" --projects 60 --pages 100 --objects 30 --seed 7 "$site" > /dev/null
fi
mkdir -p "$XDG_CONFIG_HOME/Morvex"
printf '[Settings]\nUserPath=%s\nShowInstances=1\nIgnoreBuiltInProjects=1\n' "$site" > "$XDG_CONFIG_HOME/Morvex/Morvex.conf"

"$morvex" > "$work/morvex.log" 2>&1 &
pid=$!

main=$(timeout 20 xdotool search --sync --onlyvisible --name 'Veltra Tarvo Reserved Keyword Search v' | head -1) \
  || fail "the main window did not appear"
eventually geometry_is "$main" 560x472 || fail "main window is not 560x472"
eventually painted_screenshot "$out/main.png" || fail "the screenshot stays blank"
echo "main window up, 560x472, screenshot $out/main.png"

if [ -n "$site" ]; then
  # Start sits at 472,64 with a size of 73×25 in the client area.
  xdotool mousemove --window "$main" 508 76 click 1
  progress=$(timeout 20 xdotool search --sync --onlyvisible --name '^Morvex$' | head -1) \
    || fail "the progress window did not appear"
  import -window root "$out/progress.png"
  geometry_is "$progress" 312x112 || fail "progress window is not 312x112"
  # The bar is pure blue; a screenshot without any was taken before the first page or after the run.
  blue=$(convert "$out/progress.png" -fill black +opaque 'rgb(0,0,255)' -fill white -opaque 'rgb(0,0,255)' \
           -format '%[fx:int(mean*w*h)]' info:)
  echo "progress window up, 312x112, $blue bar pixels, screenshot $out/progress.png"
  kill -0 "$pid" || fail "morvex ended during the run"
fi
