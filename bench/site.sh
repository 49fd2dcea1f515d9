# Sourced by the whole-run benchmarks: one generated site per shape, shared between them, with a warm cache.
# The caller sets site and sitegen; PROJECTS, PAGES, OBJECTS, SEED and COLLISIONS (default 100, 100, 200, 42, 4)
# pick the shape. A caller that prepares several shapes reassigns site, projects, pages, objects and collisions.

projects=${PROJECTS:-100}
pages=${PAGES:-100}
objects=${OBJECTS:-200}
seed=${SEED:-42}
collisions=${COLLISIONS:-4}

# Stop the benchmark, naming what is missing, unless every program it needs is built and every tool installed.
require_built() {
  local tool
  for tool; do [ -e "$tool" ] || { echo "missing $tool: build it first" >&2; exit 2; }; done
}
require_installed() {
  local tool
  for tool; do command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 2; }; done
}

# Regenerates only when the stamp says the site on disk has another shape. Arguments are further options of
# the generator (--page-files none, ...), part of the shape as well.
prepare_site() {
  local stamp="$site/.shape"
  local shape="$projects $pages $objects $seed $collisions${*:+ $*}"
  if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$shape" ]; then
    rm -rf "$site"
    "$sitegen" --projects "$projects" --pages "$pages" --objects "$objects" --seed "$seed" \
      --collisions "$collisions" "$@" "$site"
    echo "$shape" > "$stamp"
  fi
  warm_site
}

# Reads every file so the next command finds the site in memory; this machine drops its page cache quickly.
warm_site() {
  find "$site" -type f -exec cat {} + > /dev/null
}

# timed_rounds LABEL NAME COMMAND...: $rounds hyperfine rounds of $runs runs each into $work/LABEL-N.json, the
# cache of $site warmed before every run. Rounds take the commands in turn in another order each, so a
# neighbour's burst of load falls on all of them.
timed_rounds() {
  local label=$1
  shift
  local names=() commands=()
  while (($#)); do names+=("$1"); commands+=("$2"); shift 2; done
  for ((round = 1; round <= rounds; round++)); do
    local order=() i n=${#names[@]}
    for ((i = 0; i < n; i++)); do
      local k=$(((i + round) % n))
      order+=(-n "${names[k]}" "${commands[k]}")
    done
    hyperfine -N -i --style none --warmup 1 --runs "$runs" --prepare "find $site -type f -exec cat {} +" \
      --export-json "$work/$label-$round.json" "${order[@]}" > /dev/null 2> "$work/hyperfine.log" ||
      { cat "$work/hyperfine.log" >&2; exit 2; }
  done
}
