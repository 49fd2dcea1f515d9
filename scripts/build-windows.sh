#!/usr/bin/env bash
# Cross-builds the Windows programs and test programs with MinGW-w64, 64-bit (x64) and 32-bit (x86): installs
# what is missing, fetches the third-party sources Debian ships, configures a Release build of each, builds.
#   scripts/build-windows.sh [BUILD_DIR [ARCH...]]
# x64 builds in BUILD_DIR (default build-windows), x86 in BUILD_DIR-x86; both unless ARCHs are named.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build-windows}
shift $(($# > 0 ? 1 : 0))
architectures=("$@")
[ ${#architectures[@]} -gt 0 ] || architectures=(x64 x86)
for arch in "${architectures[@]}"; do
  case $arch in
    x64 | x86) ;;
    *) echo "build-windows: unknown architecture '$arch' (x64 or x86)" >&2; exit 2 ;;
  esac
done
third_party="$build_dir/third-party"
jobs=${MORVEX_JOBS:-2}

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# wine32 is Wine's 32-bit side, which runs the x86 programs; it exists for the i386 architecture only.
packages=(cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wine32:i386
          libcli11-dev googletest libsimdjson-dev libz-mingw-w64-dev)
packages+=(mingw-w64-tools)  # widl, for the page server's type library
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  echo "build-windows: installing ${missing[*]}" >&2
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "build-windows: adding the i386 architecture for wine32" >&2
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
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

export WINEDEBUG=${WINEDEBUG:--all}
# One 64-bit prefix runs both architectures, as 64-bit Windows does: the 32-bit programs on its WoW64 side.
# A prefix made before wine32 was installed has that side empty (syswow64), and there every Wine program
# fails to start, 64-bit ones too: "wine" now goes through the 32-bit loader, which needs that side's
# kernel32. Wine's own update fills it, run from the 64-bit loader in the mode Wine creates prefixes in.
wine_prefix=${WINEPREFIX:-$HOME/.wine}
if [ -d "$wine_prefix/drive_c/windows/syswow64" ] && [ ! -e "$wine_prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
  echo "build-windows: adding the 32-bit side to the Wine prefix $wine_prefix" >&2
  WINEBOOTSTRAPMODE=1 /usr/lib/wine/wine64 wineboot -u > /dev/null 2>&1
fi
# The build runs the test programs under Wine to list their cases, several at once. The first Wine program of
# a fresh prefix creates it and starts its server; two doing that side by side can fail, so one small program
# does it alone first, and the server stays up while the build lasts.
wine cmd /c exit > /dev/null 2>&1 || true
wineserver -p30 > /dev/null 2>&1 || true

for arch in "${architectures[@]}"; do
  case $arch in
    x64) arch_dir=$build_dir toolchain=mingw-w64-x86_64.cmake ;;
    x86) arch_dir=$build_dir-x86 toolchain=mingw-w64-i686.cmake ;;
  esac
  cmake -S . -B "$arch_dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$toolchain" \
    -DCMAKE_BUILD_TYPE=Release \
    -DMORVEX_WARNINGS_AS_ERRORS=ON -DMORVEX_BUILD_UI=OFF -DMORVEX_BUILD_BENCH=OFF \
    -DMORVEX_SIMDJSON_SOURCE_DIR="$PWD/$simdjson_dir" \
    -DMORVEX_CLI11_INCLUDE_DIR="$PWD/$cli11_dir" \
    -DMORVEX_GTEST_SOURCE_DIR=/usr/src/googletest
  cmake --build "$arch_dir" --parallel "$jobs"
done
