#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice (a plain build and an ASan+UBSan build),
# the tests of the core, whose page server reads ahead on a thread of its own, under ThreadSanitizer, and the
# Windows build's tests and console programs under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DMORVEX_WARNINGS_AS_ERRORS=ON "$@"
  cmake --build "$dir" --parallel "$jobs"
  ctest --test-dir "$dir" --output-on-failure --parallel "$jobs"
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Qt's own libraries are not instrumented; LeakSanitizer would report their one-time allocations.
ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp \
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DMORVEX_SANITIZE=ON -DMORVEX_BUILD_BENCH=OFF
# The windows are left out: Qt's own libraries are not instrumented, and the threads live in the core.
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
run_suite build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVEX_SANITIZE_THREAD=ON -DMORVEX_BUILD_UI=OFF \
  -DMORVEX_BUILD_BENCH=OFF
# Windows: cross-built for x64 and x86, run under Wine. A Wine prefix of the build's own, so that the one Wine
# server kept for the whole run (a start then costs milliseconds instead of seconds) is nobody else's to start
# or stop.
# The console test compares the dumps with the plain build's Linux programs above.
export WINEPREFIX=$PWD/build-windows/wine-prefix WINEDEBUG=-all
scripts/build-windows.sh build-windows
# The window tests need a display, and it must be there when the session starts: the first program makes
# the session's desktop, on the display it finds or on none for good. A virtual one of the run's own.
source scripts/virtual_display.sh
start_virtual_display
wineserver -p
trap 'wineserver -k || true; kill "$virtual_display_pid" 2>/dev/null || true' EXIT
# The first program of a Wine session starts the session's own processes; two test programs started side by
# side at that moment can stall for good (seen every time with Wine 8 here), so one program goes first alone.
wine cmd /c exit
ctest --test-dir build-windows --output-on-failure --parallel "$jobs"
# The 32-bit build runs in the same 64-bit prefix, on Wine's 32-bit side, as 32-bit programs do on 64-bit
# Windows; a prefix of its own would cost its creation and a second session for nothing.
ctest --test-dir build-windows-x86 --output-on-failure --parallel "$jobs"

# Packages: every release file built into dist/ from the builds above, then installed, unpacked and run as a
# user would (the installers under Wine in the same prefix and session as the Windows tests).
scripts/package.sh
scripts/test-packages.sh
