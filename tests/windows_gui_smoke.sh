#!/usr/bin/env bash
# Smoke test of morvex.exe under Wine in a virtual X display with openbox: an empty settings key, the folder
# browser, a typed site folder, Start, the message boxes answered, the results box copied with Ctrl+A and
# Ctrl+C and compared with morvex-scan.exe's report, the settings written on close. Leaves main.png,
# browser.png and progress.png in OUT_DIR. Exits 77 when Wine, a virtual display or openbox is missing.
# Usage: tests/windows_gui_smoke.sh MORVEX_EXE SCAN_EXE CLIPBOARD_EXE SITE OUT_DIR
set -uo pipefail

morvex=$1
scan=$2
clipboard=$3
site_unix=$4
out=$5

if [ -z "${MORVEX_SMOKE_ON_DISPLAY:-}" ]; then
  for tool in wine wineserver winepath xvfb-run openbox xdotool xprop import; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
  done
  MORVEX_SMOKE_ON_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

mkdir -p "$out"
out=$(cd "$out" && pwd)
# A prefix of the test's own, kept between runs: creating one takes a while, and the user's is left alone.
export WINEPREFIX="$out/wineprefix"
# One made before wine32 was installed lacks its 32-bit side, and no program starts there any more.
if [ -d "$WINEPREFIX/drive_c/windows/syswow64" ] && [ ! -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
  rm -rf "$WINEPREFIX"
fi
export WINEDEBUG=-all
# The loader ctest starts these programs with (for x64 the 64-bit one, whose process is the program's own).
wine_loader=${MORVEX_WINE_LOADER:-wine}
export WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
wm=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$wm" ] && { kill "$wm" 2>/dev/null; wait "$wm" 2>/dev/null; }
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

eventually() {  # polls a condition for up to SECONDS (default 20)
  local tries=$(( ${EVENTUALLY_SECONDS:-20} * 5 ))
  for _ in $(seq "$tries"); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

openbox --sm-disable > "$work/openbox.log" 2>&1 &
wm=$!
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
eventually wm_running || { echo "skipped: openbox did not take the display"; exit 77; }

wineboot -i > "$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; echo "skipped: no Wine prefix could be made"; exit 77; }
wineserver -p 2>/dev/null
wine reg delete 'HKCU\Software\VB and VBA Program Settings\Morvex' /f > /dev/null 2>&1

size_of() { xdotool getwindowgeometry "$1" 2>/dev/null | awk '/Geometry/ {print $2}'; }
# The visible "Morvex" windows: the progress window (112 high at 96 dpi, 312 wide or wider where the desktop's
# font needs more for its first line) and the message boxes.
is_progress_size() {
  local size=$1
  [ "${size#*x}" = 112 ] && [ "${size%x*}" -ge 312 ] 2>/dev/null && [ "${size%x*}" -le 420 ]
}
progress_window() {
  local id
  for id in $(xdotool search --onlyvisible --name '^Morvex$' 2>/dev/null); do
    is_progress_size "$(size_of "$id")" && echo "$id"
  done
  return 0
}
boxes() {
  local id
  for id in $(xdotool search --onlyvisible --name '^Morvex$' 2>/dev/null); do
    is_progress_size "$(size_of "$id")" || echo "$id"
  done
  return 0
}

"$wine_loader" "$morvex" > "$work/morvex.log" 2>&1 &
morvex_pid=$!
main=$(EVENTUALLY_SECONDS=60 eventually xdotool search --onlyvisible --name 'Veltra Tarvo Reserved Keyword Search v' |
  head -1)
[ -n "$main" ] || fail "the main window did not appear"
[ "$(size_of "$main")" = 560x472 ] || fail "main window client area $(size_of "$main"), expected 560x472"
sleep 1
import -window root "$out/main.png"

# Browse (client 472,32, 73x25), then Escape: the empty path box stays empty.
before=$(xdotool search --onlyvisible --name '.' 2>/dev/null | sort)
xdotool mousemove --window "$main" 508 44 click 1
browser_up() {
  comm -13 <(echo "$before") <(xdotool search --onlyvisible --name '.' 2>/dev/null | sort) | grep -q .
}
eventually browser_up || fail "the folder browser did not open"
sleep 1
import -window root "$out/browser.png"
browser=$(comm -13 <(echo "$before") <(xdotool search --onlyvisible --name '.' 2>/dev/null | sort) | head -1)
xdotool windowactivate --sync "$browser" key Escape
browser_gone() { ! xdotool getwindowgeometry "$browser" >/dev/null 2>&1 || [ -z "$(xdotool search --onlyvisible --name '.' | grep -x "$browser")" ]; }
eventually browser_gone || fail "the folder browser did not close on Escape"

# The path box (client 16,32, 449x25) has the focus on start; type the site's Windows path and Start.
site=$(winepath -w "$site_unix")
xdotool windowactivate --sync "$main"
xdotool mousemove --window "$main" 240 44 click 1
xdotool type --delay 2 "$site"
started=$(date +%s.%N)
xdotool mousemove --window "$main" 508 76 click 1

answered=0
progress_seen=
quiet_since=$(date +%s)
while :; do
  box=$(boxes | head -1)
  progress=$(progress_window | head -1)
  if [ -n "$progress" ] && [ -z "$progress_seen" ]; then
    progress_seen=1
    sleep 0.3
    import -window root "$out/progress.png"
  fi
  if [ -n "$box" ]; then
    xdotool windowactivate --sync "$box" key Return 2>/dev/null
    answered=$((answered + 1))
    quiet_since=$(date +%s)
  elif [ -n "$progress" ]; then
    quiet_since=$(date +%s)
  elif [ $(( $(date +%s) - quiet_since )) -ge 2 ] && [ "$answered" -gt 0 ]; then
    break
  fi
  [ $(( $(date +%s) - ${started%.*} )) -lt 180 ] || fail "the run did not end"
  sleep 0.2
done
[ -n "$progress_seen" ] || fail "no progress window during the run"
echo "run answered $answered boxes"

# Ctrl+A and Ctrl+C in the results box (client 16,104, 529x353), as a user copies the report.
xdotool windowactivate --sync "$main"
xdotool mousemove --window "$main" 280 280 click 1
xdotool key --window "$main" ctrl+a ctrl+c
sleep 0.5
"$wine_loader" "$clipboard" > "$work/copied.txt" || fail "the clipboard could not be read"
"$wine_loader" "$scan" "$site" > "$work/scan.txt" 2> /dev/null
[ -s "$work/scan.txt" ] || fail "morvex-scan.exe gave no report"
crlf=$(grep -c $'\r$' "$work/copied.txt")
lines=$(wc -l < "$work/copied.txt")
[ "$crlf" -eq "$lines" ] && [ "$lines" -gt 0 ] || fail "copied report: $crlf of $lines lines end in CR LF"
tr -d '\r' < "$work/copied.txt" | cmp -s - "$work/scan.txt" ||
  fail "the results box differs from morvex-scan.exe's report: $(tr -d '\r' < "$work/copied.txt" | diff - "$work/scan.txt" | head -5)"
echo "results box: $lines lines, the same as morvex-scan.exe's report"

# Closing writes the settings; an earlier tool of the same name reads them as strings.
xdotool windowactivate --sync "$main" key alt+F4
ended() { ! kill -0 "$morvex_pid" 2>/dev/null; }
eventually ended || fail "morvex.exe did not end when its window closed"
settings=$(wine reg query 'HKCU\Software\VB and VBA Program Settings\Morvex\Settings' 2>/dev/null | tr -d '\r')
grep -q "UserPath *REG_SZ *${site//\\/\\\\}\$" <<< "$settings" || fail "UserPath not written: $settings"
grep -q 'ShowInstances *REG_SZ *1$' <<< "$settings" || fail "ShowInstances not written: $settings"
grep -q 'IgnoreBuiltInProjects *REG_SZ *1$' <<< "$settings" || fail "IgnoreBuiltInProjects not written: $settings"
echo "settings written on close; screenshots in $out"
