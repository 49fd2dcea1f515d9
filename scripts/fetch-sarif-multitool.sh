#!/usr/bin/env bash
# Fetches Microsoft's SARIF Multitool for Linux (npm package "@microsoft/sarif-multitool-linux") into .deps/, for
# the test that validates morvex-scan's SARIF output with a validator written elsewhere; quiet when it is there.
set -euo pipefail
cd "$(dirname "$0")/.."

version=5.7.0
dest=.deps/sarif-multitool-$version
[ -x "$dest/Sarif.Multitool" ] && exit 0

package=microsoft-sarif-multitool-linux-$version.tgz
sha256=27d8e3e96dde578a23b7c45035b8d741fece5731e2700aa068015b8c44d1514e
source scripts/npm-pack-checked.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
npm_pack_checked "@microsoft/sarif-multitool-linux@$version" "$package" "$sha256" "$work"
mkdir -p "$work/unpacked"
tar -xzf "$work/$package" -C "$work/unpacked"
chmod +x "$work/unpacked/package/Sarif.Multitool"
mkdir -p .deps
rm -rf "$dest"
mv "$work/unpacked/package" "$dest"
