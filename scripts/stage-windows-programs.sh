#!/usr/bin/env bash
# Copies the programs a Windows package ships from a build folder into DEST, stripped of their symbol tables with
# the build's own strip: scripts/stage-windows-programs.sh BUILD_DIR DEST. The DLL comes along when it was built.
set -euo pipefail
build_dir=$1
dest=$2

strip_tool=$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$build_dir/CMakeCache.txt")
mkdir -p "$dest"
for program in morvex.exe morvex-scan.exe morvex-dbf.exe morvex-pages.dll; do
  [ -f "$build_dir/bin/$program" ] || [ "$program" = morvex-pages.dll ] || {
    echo "stage-windows-programs: $build_dir/bin/$program is missing" >&2
    exit 2
  }
  [ -f "$build_dir/bin/$program" ] || continue
  "$strip_tool" -o "$dest/$program" "$build_dir/bin/$program"
done
