#!/usr/bin/env bash
# Smoke test of the real morvex window on a virtual X display: it opens, and with a site, a run shows progress.
# Usage: tests/smoke_window.sh MORVEX OUT_DIR [SITEGEN]
# With SITEGEN, the generated site lacks one page list half way through, so the run halts on a message with its
# progress window up until the test answers it. Leaves main.png (and progress.png with SITEGEN) in OUT_DIR.
# Exits 77 when no virtual display can be had.
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

source "$(dirname "$0")/smoke_common.sh"
geometry_is() { [ "$(xdotool getwindowgeometry "$1" | awk '/Geometry/ {print $2}')" = "$2" ]; }
painted_screenshot() {
  import -window root "$1" && [ "$(convert "$1" -format '%k' info:)" -gt 4 ]
}
size_of() { xdotool getwindowgeometry "$1" 2>/dev/null | awk '/Geometry/ {print $2}'; }
# The progress window and the message boxes of a run share the caption "Morvex"; only the size tells them apart.
# A window may vanish between the search and the size query; its failed query then just leaves it out.
morvex_windows() { xdotool search --onlyvisible --name '^Morvex$' 2>/dev/null || true; }
progress_window() {
  local id
  for id in $(morvex_windows); do
    [ "$(size_of "$id")" = 312x112 ] && echo "$id"
  done
  return 0
}
boxes() {
  local id size
  for id in $(morvex_windows); do
    size=$(size_of "$id")
    [ -n "$size" ] && [ "$size" != 312x112 ] && echo "$id"
  done
  return 0
}
# "left top width height" of a window on the screen.
rect_of() {
  xdotool getwindowgeometry "$1" 2>/dev/null \
    | awk '/Position/ {split($2, p, ",")} /Geometry/ {split($2, g, "x")} END {print p[1], p[2], g[1], g[2]}'
}
# Whether two windows share no pixel: a box that merely shrank or moved a little could still hide part of the bar.
apart() {
  local a b
  read -r -a a <<< "$(rect_of "$1")"
  read -r -a b <<< "$(rect_of "$2")"
  [ "${#a[@]}" -eq 4 ] && [ "${#b[@]}" -eq 4 ] || return 1
  [ $((a[0] + a[2])) -le "${b[0]}" ] || [ $((b[0] + b[2])) -le "${a[0]}" ] ||
    [ $((a[1] + a[3])) -le "${b[1]}" ] || [ $((b[1] + b[3])) -le "${a[1]}" ]
}
box_up() { [ -n "$(boxes)" ]; }
no_box_up() { [ -z "$(boxes)" ]; }
done_up() { [ -z "$(progress_window)" ] && box_up; }
# The bar is pure blue; none means the screenshot shows no progress, or that something still covers the bar.
bar_in_screenshot() {
  import -window root "$1" || return 1
  blue=$(convert "$1" -fill black +opaque 'rgb(0,0,255)' -fill white -opaque 'rgb(0,0,255)' \
           -format '%[fx:int(mean*w*h)]' info:)
  [ "$blue" -gt 0 ]
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
  # Without its page list, the middle project stops the run on a message that waits for OK.
  rm "$site/p0030/pages.dbf"
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
  # The run stops on the missing page list in the middle of the site and waits for OK, so the progress window
  # stays up at half way for as long as the checks below need it.
  eventually box_up || fail "no message about the missing page list during the run"
  box=$(boxes | head -1)
  progress=$(progress_window | head -1)
  if [ -z "$progress" ]; then
    sizes=$(for id in $(morvex_windows); do size_of "$id"; done | tr '\n' ' ')
    fail "progress window is not 312x112: the Morvex windows up with the message measure $sizes"
  fi
  # The box is centred over the progress window; without a window manager nothing else moves it aside.
  xdotool windowmove "$box" 0 0
  eventually apart "$box" "$progress" || fail "the message box still covers the progress window: $(rect_of "$box")"
  eventually bar_in_screenshot "$out/progress.png" || fail "no progress bar in the screenshot"
  echo "progress window $progress up, 312x112, $blue bar pixels, screenshot $out/progress.png"

  # Without a window manager the keyboard goes to the window under the pointer: OK has it by default.
  xdotool mousemove --window "$box" 10 10 key Return
  box_gone() { ! boxes | grep -qx "$box"; }
  eventually box_gone || fail "Return did not close the message about the missing page list"
  eventually done_up || fail "the run did not end with its Done message"
  box=$(boxes | head -1)
  xdotool mousemove --window "$box" 10 10 key Return
  eventually no_box_up || fail "Return did not close the Done message"
  kill -0 "$pid" || fail "morvex ended during the run"
  echo "OK closed the missing page list message and the Done message; the run completed"
fi
