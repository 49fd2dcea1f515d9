#!/usr/bin/env bash
# Checks the release artifacts in dist/ as a user gets them: SHA256SUMS, the Debian package (lintian, its
# programs run from its unpacked contents, its desktop entry), each portable zip unpacked and run under Wine,
# and each installer installed, installed again, upgraded (over a running morvex.exe where there is a display),
# refused as a downgrade and removed under Wine in the test prefix.
# Run after scripts/package.sh; WINEPREFIX defaults to the Windows build's test prefix.
set -uo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD

export WINEPREFIX=${WINEPREFIX:-$PWD/build-windows/wine-prefix} WINEDEBUG=-all
# Wine would otherwise copy every Start-menu shortcut into the Linux desktop's menus.
export WINEDLLOVERRIDES="winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
# shellcheck source=/dev/null
source "${MORVEX_LINUX_BUILD:-build}/generated/package.env"
version=$MORVEX_VERSION
site_unix=$source_dir/examples/site
expected_report=$source_dir/tests/data/scan/example_site.tsv
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
checks=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
check() {  # check DESCRIPTION COMMAND...: counts the check, reports it when the command fails
  local what=$1
  shift
  checks=$((checks + 1))
  "$@" || fail "$what"
}
source "$source_dir/scripts/wine.sh"
absent() { ! "$@"; }
view=  # the registry view of the package under test: /reg:64, /reg:32, or the process's own
registry_has() { wine reg query "$1" ${view:+"$view"} >/dev/null 2>&1; }
site=$(windows_path "$site_unix")
same_report() { cmp -s "$1" "$expected_report"; }

echo "== SHA256SUMS"
check "SHA256SUMS does not match dist/" bash -c 'cd dist && sha256sum --quiet --check SHA256SUMS'
check "SHA256SUMS does not list every other file in dist/" \
  test "$(wc -l <dist/SHA256SUMS)" -eq "$(ls dist | grep -vc SHA256SUMS)"

echo "== Debian package"
deb=dist/morvex_${version}_amd64.deb
if [ ! -f "$deb" ]; then
  fail "$deb is missing"
else
  # Warnings count as much as errors; an override in the package would carry its reason beside it.
  check "lintian finds errors or warnings in $deb" lintian --fail-on error,warning --tag-display-limit 0 "$deb"
  unpacked=$work/deb
  dpkg-deb -x "$deb" "$unpacked"
  for file in usr/bin/morvex usr/bin/morvex-scan usr/bin/morvex-dbf \
      usr/share/man/man1/morvex.1.gz usr/share/man/man1/morvex-scan.1.gz usr/share/man/man1/morvex-dbf.1.gz \
      usr/share/doc/morvex/copyright usr/share/doc/morvex/changelog.gz usr/share/applications/morvex.desktop \
      usr/share/icons/hicolor/16x16/apps/morvex.png usr/share/icons/hicolor/256x256/apps/morvex.png \
      usr/share/icons/hicolor/scalable/apps/morvex.svg; do
    check "the package lacks /$file" test -s "$unpacked/$file"
  done
  check "the package's version is not $version" test "$(dpkg-deb -f "$deb" Version)" = "$version"
  check "dpkg-shlibdeps found no Qt dependency" grep -q libqt6widgets6 <<<"$(dpkg-deb -f "$deb" Depends)"
  check "the desktop entry does not validate" desktop-file-validate "$unpacked/usr/share/applications/morvex.desktop"
  check "the desktop entry names another icon" grep -qx 'Icon=morvex' "$unpacked/usr/share/applications/morvex.desktop"
  "$unpacked/usr/bin/morvex-scan" "$site_unix" >"$work/deb-report" 2>/dev/null
  check "the packaged morvex-scan ended with $? on the example site" test $? -eq 1
  check "the packaged morvex-scan's report differs" same_report "$work/deb-report"
  check "the packaged morvex-dbf gives another version" \
    test "$("$unpacked/usr/bin/morvex-dbf" --version)" = "$version"
fi

echo "== Portable zips"
# Runs the page server's DLL through its per-user registration from the zip, when the build has the DLL.
check_zip_pages() {
  local folder=$1 arch=$2
  wine cmd /c "$(windows_path "$folder/register-pages.cmd")" >/dev/null 2>&1
  check "$arch zip: register-pages.cmd failed" test $? -eq 0
  view=
  check "$arch zip: register-pages.cmd wrote no per-user class" registry_has 'HKCU\Software\Classes\Morvex.PageFiles'
  # Wine's COM finds classes under HKLM only, so the run itself goes through a per-machine registration.
  wine regsvr32 /s "$(windows_path "$folder/morvex-pages.dll")" >/dev/null 2>&1
  wine "$folder/morvex-scan.exe" --page-server Morvex.PageFiles "$site" >"$work/zip-pages-report" 2>/dev/null
  check "$arch zip: the report through Morvex.PageFiles differs" same_report "$work/zip-pages-report"
  wine regsvr32 /s /u "$(windows_path "$folder/morvex-pages.dll")" >/dev/null 2>&1
  wine cmd /c "$(windows_path "$folder/register-pages.cmd")" /u >/dev/null 2>&1
  view=
  check "$arch zip: register-pages.cmd /u left the class behind" absent registry_has 'HKCU\Software\Classes\Morvex.PageFiles'
}
zips=0
for zip in dist/morvex-"$version"-win*.zip; do
  [ -f "$zip" ] || continue
  zips=$((zips + 1))
  name=$(basename "$zip" .zip)
  unzip -q "$zip" -d "$work/zips"
  folder=$work/zips/$name
  for program in morvex.exe morvex-scan.exe morvex-dbf.exe; do
    check "$name lacks $program" test -s "$folder/$program"
  done
  wine "$folder/morvex-scan.exe" "$site" >"$work/zip-report" 2>/dev/null
  check "$name: morvex-scan.exe ended with $? on the example site" test $? -eq 1
  check "$name: morvex-scan.exe's report differs" same_report "$work/zip-report"
  check "$name: morvex-dbf.exe gives another version" \
    test "$(wine "$folder/morvex-dbf.exe" --version | tr -d '\r')" = "$version"
  if [ -f "$folder/morvex-pages.dll" ]; then check_zip_pages "$folder" "$name"; fi
done
check "no portable zip in dist/" test "$zips" -gt 0

echo "== Installers under Wine"
# msiexec's status comes back cut to 8 bits under Wine: the log's last word on the INSTALL action decides
# (1 succeeded; a failure is 3 on Windows and 0 under Wine).
msi_result=
run_msiexec() {  # run_msiexec LOG ARGS...
  local log=$1
  shift
  rm -f "$log"
  wine msiexec "$@" /qn /l*v "$(windows_path "$log")" >/dev/null 2>&1
  local status=$?
  msi_result=$(grep -a 'Action ended .*: INSTALL\. Return value' "$log" 2>/dev/null | tail -1 |
    sed -e 's/.*Return value \([0-9]*\)\..*/\1/')
  return "$status"
}
# One value of each Morvex entry under a registry key with one subkey per product, in the registry view of the
# package's architecture: morvex_entries KEY NAME_VALUE FIELD.
morvex_entries() {
  wine reg query "$1" /s ${view:+"$view"} 2>/dev/null | tr -d '\r' |
    awk -v name="$2" -v field="$3" '
      function flush() { if (isMorvex && value != "") print value; isMorvex = 0; value = "" }
      /^HKEY/ { flush() }
      $1 == name && $2 == "REG_SZ" && $3 == "Morvex" && NF == 3 { isMorvex = 1 }
      $1 == field && $2 ~ /^REG_/ { value = substr($0, index($0, $2) + length($2)); sub(/^ +/, "", value) }
      END { flush() }'
}
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
installed_versions() { morvex_entries "$uninstall_key" DisplayName DisplayVersion; }
shortcut_exists() {
  # Wine puts a per-machine shortcut in the user's Start menu; Windows in the common one.
  local name=$1
  local found
  found=$(find "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs" \
    "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs \
    -maxdepth 1 -name "$name.lnk" 2>/dev/null)
  [ -n "$found" ]
}
settings_key='HKCU\Software\VB and VBA Program Settings\Morvex\Settings'

test_installer() {
  local msi=$1 arch=$2 build_dir=$3
  local program_files shortcut next_version
  case $arch in
    x64) view=/reg:64 program_files="Program Files" shortcut="Morvex" ;;
    *) view=/reg:32 program_files="Program Files (x86)" shortcut="Morvex (32-bit)" ;;
  esac
  local folder="$WINEPREFIX/drive_c/$program_files/Morvex"
  local with_pages=no
  [ -f "$build_dir/bin/morvex-pages.dll" ] && with_pages=yes
  local class_key="HKLM\\Software\\Classes\\CLSID\\$MORVEX_PAGES_CLSID"
  local log=$work/msiexec-$arch.log

  # A user's settings from an earlier start: the installer must leave them alone.
  wine reg add "$settings_key" /v UserPath /d 'C:\site' /f >/dev/null 2>&1

  run_msiexec "$log" /i "$(windows_path "$msi")"
  check "$arch: install did not succeed (log says ${msi_result:-nothing})" test "$msi_result" = 1
  for program in morvex.exe morvex-scan.exe morvex-dbf.exe; do
    check "$arch: $program is not in $program_files\\Morvex" test -s "$folder/$program"
  done
  check "$arch: no Start-menu shortcut" shortcut_exists "$shortcut"
  check "$arch: Add/Remove Programs shows '$(installed_versions | tr '\n' ' ')', not $version" \
    test "$(installed_versions)" = "$version"
  check "$arch: Add/Remove Programs names another publisher" \
    test "$(morvex_entries "$uninstall_key" DisplayName Publisher)" = "$MORVEX_PUBLISHER"
  # Add/Remove Programs takes the product's icon from the installer's own record of the product.
  local icon
  icon=$(morvex_entries 'HKLM\Software\Classes\Installer\Products' ProductName ProductIcon)
  check "$arch: no product icon registered ('$icon')" test -s "$(winepath -u "$icon" 2>/dev/null)"
  wine "$folder/morvex-scan.exe" "$site" >"$work/msi-report" 2>/dev/null
  check "$arch: the installed morvex-scan.exe's report differs" same_report "$work/msi-report"
  if [ "$with_pages" = yes ]; then
    check "$arch: morvex-pages.dll is not installed" test -s "$folder/morvex-pages.dll"
    check "$arch: the page server's class is not registered" registry_has "$class_key\\InprocServer32"
    wine "$folder/morvex-scan.exe" --page-server Morvex.PageFiles "$site" >"$work/msi-pages-report" 2>/dev/null
    check "$arch: the report through the installed Morvex.PageFiles differs" same_report "$work/msi-pages-report"
  fi

  # The same version again: the same file is the installer's maintenance run, a rebuild (a new product code)
  # replaces the installed one; either way one entry.
  run_msiexec "$log" /i "$(windows_path "$msi")"
  check "$arch: the same installer again did not succeed (log says ${msi_result:-nothing})" test "$msi_result" = 1
  check "$arch: after the same installer again Add/Remove Programs shows '$(installed_versions | tr '\n' ' ')'" \
    test "$(installed_versions)" = "$version"
  scripts/make-msi.sh "$build_dir" "$work/rebuilt-$arch.msi"
  run_msiexec "$log" /i "$(windows_path "$work/rebuilt-$arch.msi")"
  check "$arch: a rebuild of $version did not install (log says ${msi_result:-nothing})" test "$msi_result" = 1
  check "$arch: after a rebuild of $version Add/Remove Programs shows '$(installed_versions | tr '\n' ' ')'" \
    test "$(installed_versions)" = "$version"

  # The next version over this one: one entry, the newer. Where there is a display, over a running morvex.exe:
  # the installer queues that one file for the next restart and says so (3010, cut to 194 by Wine).
  next_version=$(awk -F. '{printf "%d.%d.%d", $1, $2, $3 + 1}' <<<"$version")
  scripts/make-msi.sh "$build_dir" "$work/next-$arch.msi" "$next_version"
  local window=
  if [ -n "${DISPLAY:-}" ]; then
    wine "$folder/morvex.exe" >/dev/null 2>&1 &
    window=$!
    for _ in $(seq 100); do
      [ -n "$(xdotool search --name 'Reserved Keyword Search' 2>/dev/null)" ] && break
      sleep 0.2
    done
  fi
  run_msiexec "$log" /i "$(windows_path "$work/next-$arch.msi")"
  local upgrade_status=$?
  check "$arch: upgrade to $next_version did not succeed (log says ${msi_result:-nothing})" test "$msi_result" = 1
  if [ -n "$window" ]; then
    check "$arch: the upgrade over a running morvex.exe did not ask for a restart (status $upgrade_status)" \
      test "$upgrade_status" -eq 194
    # Ended from Linux: Wine's 32-bit taskkill does not see a 64-bit program, and there is no window manager here.
    kill "$window" 2>/dev/null
    wait "$window" 2>/dev/null
    wineboot -r >/dev/null 2>&1
    check "$arch: after the restart the upgrade left $(ls "$folder" | grep -v '\.\(exe\|dll\)$' | tr '\n' ' ')" \
      test -z "$(ls "$folder" | grep -v '\.\(exe\|dll\)$')"
  fi
  check "$arch: after the upgrade Add/Remove Programs shows '$(installed_versions | tr '\n' ' ')'" \
    test "$(installed_versions)" = "$next_version"
  check "$arch: the upgrade lost morvex.exe" test -s "$folder/morvex.exe"

  # The older version over the newer one is refused, and changes nothing.
  run_msiexec "$log" /i "$(windows_path "$msi")"
  check "$arch: the older version installed over the newer (log says ${msi_result:-nothing})" \
    grep -qx '[03]' <<<"$msi_result"
  # Refused by the launch condition on a newer version, before any change (Wine logs no message under /qn).
  check "$arch: the refusal did not come from the launch conditions" \
    grep -aq 'Action ended .*: LaunchConditions\. Return value [03]\.' "$log"
  check "$arch: after the refusal Add/Remove Programs shows '$(installed_versions | tr '\n' ' ')'" \
    test "$(installed_versions)" = "$next_version"
  check "$arch: the refused install took morvex.exe away" test -s "$folder/morvex.exe"

  # Removal: every file, the shortcut and the installer's keys go; the user's settings stay.
  run_msiexec "$log" /x "$(windows_path "$work/next-$arch.msi")"
  check "$arch: uninstall did not succeed (log says ${msi_result:-nothing})" test "$msi_result" = 1
  check "$arch: uninstall left $(ls "$folder" 2>/dev/null | tr '\n' ' ')in $program_files\\Morvex" test ! -e "$folder"
  check "$arch: uninstall left the shortcut" absent shortcut_exists "$shortcut"
  check "$arch: uninstall left an Add/Remove Programs entry" test -z "$(installed_versions)"
  check "$arch: uninstall left HKLM\\Software\\Morvex\\$arch" absent registry_has "HKLM\\Software\\Morvex\\$arch"
  check "$arch: uninstall left the page server's class" absent registry_has "$class_key"
  check "$arch: uninstall left the ProgID" absent registry_has 'HKLM\Software\Classes\Morvex.PageFiles'
  check "$arch: uninstall took the user's settings" registry_has "$settings_key"
  wine reg delete 'HKCU\Software\VB and VBA Program Settings\Morvex' /f >/dev/null 2>&1
}

installers=0
for build_dir in build-windows build-windows-x86; do
  [ -f "$build_dir/generated/package.env" ] || continue
  arch=$(sed -n 's/^MORVEX_ARCHITECTURE=//p' "$build_dir/generated/package.env")
  msi=dist/Morvex-$version-$arch.msi
  if [ ! -f "$msi" ]; then
    fail "$msi is missing"
    continue
  fi
  installers=$((installers + 1))
  test_installer "$msi" "$arch" "$build_dir"
done
check "no installer in dist/" test "$installers" -gt 0

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
