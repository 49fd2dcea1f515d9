#!/usr/bin/env bash
# Cross-builds the Windows programs and test programs with MinGW-w64: installs what is missing, fetches the
# third-party sources Debian ships, configures a Release build in BUILD_DIR (default build-windows), builds.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build-windows}
third_party="$build_dir/third-party"
jobs=${MORVEX_JOBS:-2}

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 libcli11-dev googletest libsimdjson-dev)
packages+=(mingw-w64-tools)  # widl, for the page server's type library
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  echo "build-windows: installing ${missing[*]}" >&2
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=900 update -qq
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# simdjson's single-file build, from Debian's source package of the very version the Linux build links.
simdjson_version=$(dpkg-query -W -f='${Version}' libsimdjson-dev)
simdjson_dir="$third_party/simdjson-$simdjson_version"
if [ ! -f "$simdjson_dir/simdjson.cpp" ]; then
  mkdir -p "$third_party/download"
  fetch() { (cd "$third_party/download" && apt-get source --download-only -qq "simdjson=$simdjson_version") >/dev/null 2>&1; }
  if ! fetch; then
    # Source packages come from a deb-src entry for the same mirror and suites as the binary packages.
    if ! grep -rqs "deb-src" /etc/apt/sources.list /etc/apt/sources.list.d/; then
      echo "build-windows: adding a deb-src entry for Debian's source packages" >&2
      if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed -e 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
          "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/morvex-deb-src.sources >/dev/null
      else
        grep -E '^deb ' /etc/apt/sources.list | sed -e 's/^deb /deb-src /' |
          "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/morvex-deb-src.list >/dev/null
      fi
    fi
    "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=900 update -qq
    fetch
  fi
  upstream=${simdjson_version%-*}
  archive=$(ls "$third_party/download"/simdjson_"${upstream#*:}".orig.tar.* | head -n 1)
  mkdir -p "$simdjson_dir"
  tar -xf "$archive" -C "$simdjson_dir" --strip-components=2 --wildcards '*/singleheader/simdjson.cpp' \
    '*/singleheader/simdjson.h'
fi

# CLI11 is header-only; a folder of its own keeps Linux's /usr/include away from the cross compiler.
cli11_dir="$third_party/cli11"
if [ ! -f "$cli11_dir/CLI/CLI.hpp" ]; then
  mkdir -p "$cli11_dir"
  cp -r /usr/include/CLI "$cli11_dir/"
fi

cmake -S . -B "$build_dir" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DMORVEX_WARNINGS_AS_ERRORS=ON -DMORVEX_BUILD_UI=OFF -DMORVEX_BUILD_BENCH=OFF \
  -DMORVEX_SIMDJSON_SOURCE_DIR="$PWD/$simdjson_dir" \
  -DMORVEX_CLI11_INCLUDE_DIR="$PWD/$cli11_dir" \
  -DMORVEX_GTEST_SOURCE_DIR=/usr/src/googletest
# The build runs the test programs under Wine to list their cases, several at once. The first Wine program of
# a fresh prefix creates it and starts its server; two doing that side by side can fail, so one small program
# does it alone first, and the server stays up while the build lasts.
export WINEDEBUG=${WINEDEBUG:--all}
wine cmd /c exit > /dev/null 2>&1 || true
wineserver -p30 > /dev/null 2>&1 || true
cmake --build "$build_dir" --parallel "$jobs"
