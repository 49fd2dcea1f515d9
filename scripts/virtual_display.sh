# Sourced by the scripts that run Windows programs with windows under Wine: a virtual X display of their own.
# start_virtual_display exports DISPLAY and leaves the server's process in virtual_display_pid.

start_virtual_display() {
  local display_file
  display_file=$(mktemp)
  # The server picks a free display number and writes it down once it accepts connections.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  virtual_display_pid=$!
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -1 "$display_file")"
  rm -f "$display_file"
}
