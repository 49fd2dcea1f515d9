# Sourced by the window smoke tests: a scratch folder, clean-up of what they started, failing and polling.
# The sourcing script sets out (the folder for its screenshots) and fills pid (and wm) as it starts them.

mkdir -p "$out"
work=$(mktemp -d)
pid=
wm=
cleanup() {
  for p in $pid $wm; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  cat "$work/morvex.log" >&2 || true
  exit 1
}

# Polls a condition for up to ten seconds: a loaded machine (or a sanitizer build) maps and paints slowly.
eventually() {
  for _ in $(seq 50); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}
