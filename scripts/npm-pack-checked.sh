# Sourced by the fetch scripts: one npm package's tarball, fetched into a scratch folder and checked against the
# sha256 it was pinned with, so a changed package is refused rather than tested with.
# npm_pack_checked PACKAGE FILE SHA256 WORK: fetches PACKAGE (name@version) with npm pack into WORK as WORK/FILE.
npm_pack_checked() {
  local package=$1 file=$2 sha256=$3 work=$4
  if ! command -v npm >/dev/null 2>&1; then
    echo "$(basename "$0" .sh): npm is needed to fetch $package" >&2
    exit 1
  fi
  (cd "$work" && npm pack --silent "$package" >/dev/null)
  echo "$sha256  $work/$file" | sha256sum --check --quiet
}
