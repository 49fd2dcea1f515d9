# Sourced by the fetch scripts: one npm package's tarball, fetched into a scratch folder and checked against the
# sha256 it was pinned with, so a changed package is refused rather than tested with.
# npm_pack_checked SPEC FILE SHA256 WORK: fetches SPEC (name@version) with npm pack into WORK as WORK/FILE.
npm_pack_checked() {
  local spec=$1 file=$2 sha256=$3 work=$4
  if ! command -v npm >/dev/null 2>&1; then
    echo "$(basename "$0" .sh): npm is needed to fetch $spec" >&2
    exit 1
  fi
  (cd "$work" && npm pack --silent "$spec" >/dev/null)
  echo "$sha256  $work/$file" | sha256sum --check --quiet
}
