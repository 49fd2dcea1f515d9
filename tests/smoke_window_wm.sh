#!/usr/bin/env bash
# Smoke test of the real morvex window under a window manager: frame centring and message boxes above progress.
# Usage: tests/smoke_window_wm.sh MORVEX OUT_DIR SITE
# SITE must hold a project whose page list is missing (the bundled example site does), so that a run shows a
# message while its progress window is up. Runs openbox on a virtual X display; leaves main.png and message.png
# in OUT_DIR. Exits 77 when no virtual display or window manager can be had.
set -euo pipefail

morvex=$1
out=$2
site=$3

if [ -z "${MORVEX_SMOKE_ON_DISPLAY:-}" ]; then
  for tool in xvfb-run openbox xdotool xprop xwininfo import; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
  done
  MORVEX_SMOKE_ON_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
screen_width=1024
screen_height=768

source "$(dirname "$0")/smoke_common.sh"

export XDG_CONFIG_HOME="$work/config"
export XDG_CACHE_HOME="$work/cache"
export QT_QPA_PLATFORM=xcb
# See smoke_window.sh: the X keyboard library's own overread must not stop a sanitizer build.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0"

openbox --sm-disable > "$work/openbox.log" 2>&1 &
wm=$!
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
eventually wm_running || { echo "skipped: openbox did not take the display"; exit 77; }

cp -r "$site" "$work/site"
mkdir -p "$XDG_CONFIG_HOME/Morvex"
printf '[Settings]\nUserPath=%s\nShowInstances=1\nIgnoreBuiltInProjects=1\n' "$work/site" \
  > "$XDG_CONFIG_HOME/Morvex/Morvex.conf"

"$morvex" > "$work/morvex.log" 2>&1 &
pid=$!

# The outer frame as "left top width height": the client's place on the screen widened by the frame extents
# the window manager announces. Fails while the window is not framed yet.
frame_of() {
  local info extents
  info=$(xwininfo -id "$1") || return 1
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
  [ -n "$extents" ] || return 1
  awk -v extents="$extents" '
    /Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF} /Width:/ {w = $NF} /Height:/ {h = $NF}
    END {split(extents, e, ","); print x - e[1], y - e[3], w + e[1] + e[2], h + e[3] + e[4]}' <<< "$info"
}
# Framed around a client of CLIENT_WIDTH×CLIENT_HEIGHT and off the screen's centre by at most a pixel, which the
# pixel grid forces for odd differences. Usage: frame_centred ID CLIENT_WIDTH CLIENT_HEIGHT
frame_centred() {
  local frame
  frame=$(frame_of "$1") || return 1
  read -r left top width height <<< "$frame"
  [ "$width" -gt "$2" ] && [ "$height" -gt "$3" ] || return 1
  local dx=$((2 * left + width - screen_width)) dy=$((2 * top + height - screen_height))
  [ "${dx#-}" -le 2 ] && [ "${dy#-}" -le 2 ]
}
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
size_of() { xdotool getwindowgeometry "$1" | awk '/Geometry/ {print $2}'; }
topmost() { [ "$(xprop -root _NET_CLIENT_LIST_STACKING | awk '{print $NF}')" = "$(printf '0x%x' "$1")" ]; }
active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }
# The visible "Morvex" windows other than the progress window (312x112): the message boxes.
boxes() {
  local id
  for id in $(xdotool search --onlyvisible --name '^Morvex$' 2>/dev/null); do
    [ "$(size_of "$id")" = 312x112 ] || echo "$id"
  done
}
progress_window() {
  local id
  for id in $(xdotool search --onlyvisible --name '^Morvex$' 2>/dev/null); do
    [ "$(size_of "$id")" = 312x112 ] && echo "$id"
  done
  return 0
}
box_up() { [ -n "$(boxes)" ]; }
no_box_up() { [ -z "$(boxes)" ]; }

main=$(timeout 20 xdotool search --sync --onlyvisible --name 'Veltra Tarvo Reserved Keyword Search v' | head -1) \
  || fail "the main window did not appear"
eventually frame_centred "$main" 560 472 || fail "main window frame $(frame_of "$main" || true) is not centred on the screen"
import -window root "$out/main.png"
echo "main window framed $(frame_of "$main") and centred, screenshot $out/main.png"

# Start sits at 472,64 with a size of 73×25 in the client area.
xdotool mousemove --window "$main" 508 76 click 1
eventually box_up || fail "no message box during the run"
box=$(boxes | head -1)
progress=$(progress_window | head -1)
[ -n "$progress" ] && viewable "$progress" || fail "the progress window is not up while the first message shows"
frame_centred "$progress" 312 112 || fail "progress window frame $(frame_of "$progress" || true) is not centred"
eventually topmost "$box" || fail "the message box is not the topmost window: $(xprop -root _NET_CLIENT_LIST_STACKING)"
eventually active "$box" || fail "the message box does not have the keyboard"
import -window root "$out/message.png"
echo "message box $box above progress window $progress and active, screenshot $out/message.png"

# Return reaches OK only if the box really has the keyboard; the run then goes on to its Done.
xdotool key Return
box_gone() { ! viewable "$box"; }
eventually box_gone || fail "Return did not close the message box"
# One page of the example site is missing: the run says so, in front of the progress window, before Done.
summary_up() { [ -n "$(progress_window)" ] && box_up; }
eventually summary_up || fail "no message on the page that could not be opened"
summary=$(boxes | head -1)
eventually topmost "$summary" || fail "the unopened-pages message is not the topmost window"
xdotool key Return
summary_gone() { ! viewable "$summary"; }
eventually summary_gone || fail "Return did not close the unopened-pages message"
done_up() { [ -z "$(progress_window)" ] && box_up; }
eventually done_up || fail "the run did not end with its Done message"
xdotool key Return
eventually no_box_up || fail "Return did not close the Done message"
kill -0 "$pid" || fail "morvex ended during the run"
echo "OK closed the three messages from the keyboard; the run completed"
