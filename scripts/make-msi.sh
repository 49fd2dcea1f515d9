#!/usr/bin/env bash
# Makes the Windows installer of one Windows build folder with wixl: scripts/make-msi.sh BUILD_DIR OUT.msi [VERSION].
# VERSION defaults to the build's own; the tests give another to make a "next version" of the same programs.
# Beside the programs it ships LICENSE and the third-party notices, and sets in the tables what wixl leaves out.
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
"$source_dir/scripts/stage-windows-notices.sh" "$stage"
with_pages=no
[ -f "$stage/morvex-pages.dll" ] && with_pages=yes
# Add/Remove Programs' size: what the installer puts on the disk, in kB rounded up.
size_kb=$(du -k --apparent-size -c "$stage"/* | tail -n 1 | cut -f 1)
cp "$build_dir/icon/morvex.ico" "$stage/"

mkdir -p "$(dirname "$out")"
(cd "$stage" && wixl --arch "$MORVEX_ARCHITECTURE" -o "$out" \
  -D Version="$version" -D Arch="$MORVEX_ARCHITECTURE" -D Publisher="$MORVEX_PUBLISHER" -D BinDir=. \
  -D IconFile=morvex.ico -D WithPages="$with_pages" -D PagesClsid="$MORVEX_PAGES_CLSID" \
  -D PagesThreadingModel="$MORVEX_PAGES_THREADING_MODEL" -D EstimatedSizeKb="$size_kb" \
  "$source_dir/packaging/windows/morvex.wxs")

# What wixl cannot write. The File table's Version of each program: without it Windows Installer takes them for
# unversioned files and, on a repair or an upgrade, decides by dates whether to replace them. It is read from the
# file's own version record, which the build writes from the project's version.
file_version() {  # the FILEVERSION of a PE file's VS_FIXEDFILEINFO, as a.b.c.d
  python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(struct.pack("<I", 0xFEEF04BD))
if at < 0:
    sys.exit(f"make-msi: {sys.argv[1]} has no version record")
ms, ls = struct.unpack_from("<II", data, at + 8)
print(f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}")
PY
}
for file in "$stage"/*.exe "$stage"/*.dll; do
  [ -f "$file" ] || continue
  name=$(basename "$file")
  # A "next version" made of the same programs stands for a release whose programs carry that version: an
  # upgrade replaces them as it would a real release's, instead of keeping files of an equal version.
  if [ "$version" = "$MORVEX_VERSION" ]; then file_version=$(file_version "$file"); else file_version=$version.0; fi
  # The File table's keys are the names with '-' as '_' (the File ids in morvex.wxs).
  msibuild "$out" -q "UPDATE \`File\` SET \`Version\` = '$file_version' WHERE \`File\` = '${name//-/_}'"
done
# wixl writes HKMU as the root 4, which is no root at all; HKMU is -1.
msibuild "$out" -q 'UPDATE `Registry` SET `Root` = -1 WHERE `Root` = 4'
# The install folder's custom action is only right where INSTALLDIR is resolved and before the product is
# registered; stop if wixl placed it elsewhere.
sequence=$(msiinfo export "$out" InstallExecuteSequence | tr -d '\r' | awk -F '\t' '$1 == "SetArpInstallLocation" { print $3 }')
if [ "$sequence" != 1001 ]; then
  echo "make-msi: wixl put SetArpInstallLocation at '$sequence', not right after CostFinalize" >&2
  exit 2
fi
