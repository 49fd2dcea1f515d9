#!/usr/bin/env bash
# Makes the Windows installer of one Windows build folder with wixl: scripts/make-msi.sh BUILD_DIR OUT.msi [VERSION].
# VERSION defaults to the build's own; the tests give another to make a "next version" of the same programs.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)

build_dir=$(cd "$1" && pwd)
out=$(realpath -m "$2")
# shellcheck source=/dev/null
source "$build_dir/generated/package.env"
version=${3:-$MORVEX_VERSION}

# wixl takes file names relative to where it runs: the programs and the icon are gathered in a scratch folder.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
"$source_dir/scripts/stage-windows-programs.sh" "$build_dir" "$stage"
cp "$build_dir/icon/morvex.ico" "$stage/"
with_pages=no
[ -f "$stage/morvex-pages.dll" ] && with_pages=yes

mkdir -p "$(dirname "$out")"
(cd "$stage" && wixl --arch "$MORVEX_ARCHITECTURE" -o "$out" \
  -D Version="$version" -D Arch="$MORVEX_ARCHITECTURE" -D Publisher="$MORVEX_PUBLISHER" -D BinDir=. \
  -D IconFile=morvex.ico -D WithPages="$with_pages" -D PagesClsid="$MORVEX_PAGES_CLSID" \
  -D PagesThreadingModel="$MORVEX_PAGES_THREADING_MODEL" \
  "$source_dir/packaging/windows/morvex.wxs")
