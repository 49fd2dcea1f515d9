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
if ! command -v npm >/dev/null 2>&1; then
  echo "fetch-sarif-multitool: npm is needed to fetch the SARIF Multitool" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "@microsoft/sarif-multitool-linux@$version" >/dev/null)
echo "$sha256  $work/$package" | sha256sum --check --quiet
mkdir -p "$work/unpacked"
tar -xzf "$work/$package" -C "$work/unpacked"
chmod +x "$work/unpacked/package/Sarif.Multitool"
mkdir -p .deps
rm -rf "$dest"
mv "$work/unpacked/package" "$dest"
