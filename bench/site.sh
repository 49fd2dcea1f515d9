# Sourced by the whole-run benchmarks: one generated site per shape, shared between them, with a warm cache.
# The caller sets site and sitegen; PROJECTS, PAGES, OBJECTS and SEED (default 100, 100, 200, 42) pick the shape.

projects=${PROJECTS:-100}
pages=${PAGES:-100}
objects=${OBJECTS:-200}
seed=${SEED:-42}

# Regenerates only when the stamp says the site on disk has another shape.
prepare_site() {
  local stamp="$site/.shape"
  local shape="$projects $pages $objects $seed"
  if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$shape" ]; then
    rm -rf "$site"
    "$sitegen" --projects "$projects" --pages "$pages" --objects "$objects" --seed "$seed" "$site"
    echo "$shape" > "$stamp"
  fi
  # Warm the page cache so every command reads from memory.
  find "$site" -type f -exec cat {} + > /dev/null
}
