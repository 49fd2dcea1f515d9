#!/usr/bin/env bash
# Installs every Debian package that building, testing, benchmarking and fuzzing need; quiet when all is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev libgl-dev
  libicu-dev libsimdjson-dev libcli11-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  xvfb xauth xdotool imagemagick openbox x11-utils
  libshp-dev shapelib python3 python3-dbf python3-jsonschema hyperfine
  librsvg2-bin wixl msitools lintian desktop-file-utils zip unzip
  chromium chromium-driver python3-selenium
)

# npm fetches the SARIF schema and validator below; Debian's, where the machine has none of its own.
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

# Another apt run (unattended upgrades, a parallel job) may hold the lock for a while: wait rather than fail.
wait_for_dpkg_lock() {
  command -v fuser >/dev/null 2>&1 || return 0  # apt's own lock timeout below still applies
  local waited=0
  while "${sudo_cmd[@]}" fuser /var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock >/dev/null 2>&1; do
    if [ $waited -ge 900 ]; then echo "bootstrap: dpkg lock still held after 15 minutes" >&2; return 1; fi
    sleep 5; waited=$((waited + 5))
  done
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  wait_for_dpkg_lock
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=900 update -qq
  wait_for_dpkg_lock
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
"$(dirname "$0")/fetch-sarif-schema.sh"
"$(dirname "$0")/fetch-sarif-multitool.sh"
