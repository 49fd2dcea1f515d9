#!/usr/bin/env bash
# Builds every release artifact into dist/: the Debian packages (morvex-cli and morvex), the installer and the
# portable zip of each Windows build there is (build-windows for x64, build-windows-x86 for x86), and SHA256SUMS
# over them all.
# Builds what is missing first; an existing build folder is brought up to date, not rebuilt.
set -euo pipefail
cd "$(dirname "$0")/.."

linux_build=${MORVEX_LINUX_BUILD:-build}
windows_builds=(build-windows build-windows-x86)
jobs=${MORVEX_JOBS:-2}

scripts/bootstrap.sh
if [ ! -f "$linux_build/build.ninja" ]; then
  cmake -S . -B "$linux_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVEX_WARNINGS_AS_ERRORS=ON
fi
cmake --build "$linux_build" --parallel "$jobs"
if [ ! -f build-windows/build.ninja ]; then
  WINEPREFIX=${WINEPREFIX:-$PWD/build-windows/wine-prefix} WINEDEBUG=-all scripts/build-windows.sh build-windows
fi

# shellcheck source=/dev/null
source "$linux_build/generated/package.env"
version=$MORVEX_VERSION
# The changelog is the one thing a release writes by hand beside the version: it must have the release's entry.
changelog_version=$(sed -n '1s/^morvex (\([^)]*\)).*/\1/p' packaging/debian/changelog)
if [ "$changelog_version" != "$version" ]; then
  echo "package: packaging/debian/changelog starts at $changelog_version, the project is at $version" >&2
  exit 2
fi

rm -rf dist
mkdir -p dist

# The Debian packages.
rm -f "$linux_build"/cpack/*.deb
(cd "$linux_build" && cpack --config CPackConfig.cmake >/dev/null)
cp "$linux_build/cpack/morvex-cli_${version}_amd64.deb" "$linux_build/cpack/morvex_${version}_amd64.deb" dist/

# Windows: an installer and a zip for each build folder there is.
for dir in "${windows_builds[@]}"; do
  [ -f "$dir/build.ninja" ] || continue
  # Only what ships: the test programs are the Windows test run's to build.
  cmake --build "$dir" --parallel "$jobs" --target morvex morvex-scan morvex-dbf morvex-pages >/dev/null
  # shellcheck source=/dev/null
  source "$dir/generated/package.env"
  if [ "$MORVEX_VERSION" != "$version" ]; then
    echo "package: $dir is at version $MORVEX_VERSION, the project at $version; reconfigure it" >&2
    exit 2
  fi
  arch=$MORVEX_ARCHITECTURE
  scripts/make-msi.sh "$dir" "dist/Morvex-$version-$arch.msi"

  case $arch in x64) zip_name=morvex-$version-win64 ;; *) zip_name=morvex-$version-win32 ;; esac
  stage=$(mktemp -d)
  scripts/stage-windows-programs.sh "$dir" "$stage/$zip_name"
  scripts/stage-windows-notices.sh "$stage/$zip_name"
  if [ -f "$stage/$zip_name/morvex-pages.dll" ]; then
    case $arch in x64) registry_view=64 ;; *) registry_view=32 ;; esac
    sed -e "s/@MORVEX_PAGES_CLSID@/$MORVEX_PAGES_CLSID/" \
        -e "s/@MORVEX_PAGES_THREADING_MODEL@/$MORVEX_PAGES_THREADING_MODEL/" \
        -e "s/@MORVEX_PAGES_REGISTRY_VIEW@/$registry_view/" \
        -e 's/$/\r/' packaging/windows/register-pages.cmd.in >"$stage/$zip_name/register-pages.cmd"
  fi
  # One time stamp for every entry and no extra fields, so that the same programs give the same zip.
  touch -d "@${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}" "$stage/$zip_name" "$stage/$zip_name"/*
  (cd "$stage" && zip -qrX "$OLDPWD/dist/$zip_name.zip" "$zip_name")
  rm -rf "$stage"
done

(cd dist && sha256sum -- *.deb *.msi *.zip >SHA256SUMS)
echo "package: dist/ holds $(cd dist && ls | tr '\n' ' ')"
