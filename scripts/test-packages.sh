#!/usr/bin/env bash
# Checks the release artifacts in dist/ as a user gets them: SHA256SUMS, the Debian packages (lintian, what each
# holds, morvex-cli's dependencies without Qt, both installed with dpkg in a root of their own, their programs
# run from there), each portable zip unpacked and run under Wine, each installer's tables, and each installer
# installed, installed again, upgraded (over a running morvex.exe where there is a display), refused as a
# downgrade and removed under Wine in the test prefix, then both side by side with either removed first.
# Every package's licence notices are checked against packaging/third-party.tsv.
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

# The third-party list: NAME, whether the Windows programs hold it, and the Debian programs that do.
third_party=()
while IFS=$'\t' read -r name _ windows paths _; do
  third_party+=("$name"$'\t'"$windows"$'\t'"$paths")
done < <(grep -v '^#' packaging/third-party.tsv | grep .)
# Windows notices: our licence, and every piece the Windows programs link in named in THIRD-PARTY-NOTICES.txt.
check_windows_notices() {  # check_windows_notices WHAT FOLDER
  local what=$1 folder=$2 entry name windows
  check "$what: LICENSE.txt is not ours" grep -q 'All rights reserved' "$folder/LICENSE.txt"
  for entry in "${third_party[@]}"; do
    IFS=$'\t' read -r name windows _ <<<"$entry"
    [ "$windows" = windows ] || continue
    check "$what: THIRD-PARTY-NOTICES.txt lacks $name" grep -qF -- "$name (Debian package" "$folder/THIRD-PARTY-NOTICES.txt"
  done
}

echo "== Debian packages"
cli_deb=dist/morvex-cli_${version}_amd64.deb
window_deb=dist/morvex_${version}_amd64.deb
# What each package holds: PACKAGE FILE...
cli_doc=usr/share/doc/morvex-cli window_doc=usr/share/doc/morvex icons=usr/share/icons/hicolor
deb_files=(
  "$cli_deb usr/bin/morvex-scan usr/bin/morvex-dbf usr/share/man/man1/morvex-scan.1.gz usr/share/man/man1/morvex-dbf.1.gz
   $cli_doc/copyright $cli_doc/changelog.gz $cli_doc/README.md.gz $cli_doc/page-files.md.gz
   $cli_doc/command-line.md.gz $cli_doc/ci.md.gz
   usr/share/bash-completion/completions/morvex-scan"
  "$window_deb usr/bin/morvex usr/share/man/man1/morvex.1.gz $window_doc/copyright $window_doc/changelog.gz
   usr/share/applications/morvex.desktop $icons/16x16/apps/morvex.png $icons/scalable/apps/morvex.svg"
)
if [ ! -f "$cli_deb" ] || [ ! -f "$window_deb" ]; then
  fail "$cli_deb or $window_deb is missing"
else
  for deb in "$cli_deb" "$window_deb"; do
    # Warnings count as much as errors; an override in the package would carry its reason beside it.
    check "lintian finds errors or warnings in $deb" lintian --fail-on error,warning --tag-display-limit 0 "$deb"
    check "$deb's version is not $version" test "$(dpkg-deb -f "$deb" Version)" = "$version"
    dpkg-deb -x "$deb" "$work/$(basename "$deb")"
  done
  for entry in "${deb_files[@]}"; do
    read -r deb files <<<"$(tr '\n' ' ' <<<"$entry")"
    for file in $files; do check "$deb lacks /$file" test -s "$work/$(basename "$deb")/$file"; done
  done
  # Each package's copyright: ours for everything, a stanza for each piece its programs hold.
  for entry in "${third_party[@]}"; do
    IFS=$'\t' read -r name _ paths <<<"$entry"
    [ "$paths" != - ] || continue
    for path in $paths; do
      case $path in usr/bin/morvex) deb=$window_deb doc=morvex ;; *) deb=$cli_deb doc=morvex-cli ;; esac
      copyright=$work/$(basename "$deb")/usr/share/doc/$doc/copyright
      check "$deb's copyright has no stanza for $name in /$path" \
        awk -v name="$name, " -v path="$path" '
          /^Files:/ { split(substr($0, 8), files, " "); holds = 0; for (i in files) if (files[i] == path) holds = 1 }
          /^Comment:/ && holds && index($0, name) { found = 1 } END { exit !found }' "$copyright"
    done
  done
  for copyright in "$work"/*.deb/usr/share/doc/*/copyright; do
    check "$copyright does not state our licence" grep -q '^License: Morvex-proprietary' "$copyright"
  done
  window_depends=$(dpkg-deb -f "$window_deb" Depends)
  check "morvex does not depend on morvex-cli of its version ($window_depends)" grep -qF "morvex-cli (= $version)" <<<"$window_depends"
  check "dpkg-shlibdeps found no Qt dependency of morvex" grep -q libqt6widgets6 <<<"$window_depends"
  # morvex-cli's whole dependency closure, as apt would install it on a system with nothing installed: no Qt, no
  # X or GL libraries, for a CI image without a desktop.
  : >"$work/empty-dpkg-status"
  closure=$(apt-get -s -o Dir::State::status="$work/empty-dpkg-status" -o Debug::NoLocking=1 \
    install "./$cli_deb" 2>&1 | sed -n 's/^Inst \([^ ]*\) .*/\1/p')
  check "apt finds no way to install morvex-cli on an empty system" grep -qx morvex-cli <<<"$closure"
  check "morvex-cli would bring in $(grep -E '^(libqt|qt6|libx11|libgl|libxcb)' <<<"$closure" | tr '\n' ' ')" \
    absent grep -qE '^(libqt|qt6|libx11|libgl|libxcb)' <<<"$closure"

  # Both installed with dpkg in a root of their own whose status lists this system's packages: the window alone is
  # refused for lack of morvex-cli, then both go in without a file of one claimed by the other, run from there,
  # and come out in the order their dependency asks.
  root=$work/root
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
  cp /var/lib/dpkg/status "$root/var/lib/dpkg/status"
  in_root() { dpkg --root="$root" --log=/dev/null "$@" >>"$work/dpkg.log" 2>&1; }
  check "dpkg installed morvex without morvex-cli" absent in_root -i "$window_deb"
  in_root --purge morvex
  check "dpkg did not install morvex-cli" in_root -i "$cli_deb"
  check "dpkg did not install morvex over morvex-cli" in_root -i "$window_deb"
  "$root/usr/bin/morvex-scan" "$site_unix" >"$work/deb-report" 2>/dev/null
  check "the installed morvex-scan ended with $? on the example site" test $? -eq 1
  check "the installed morvex-scan's report differs" same_report "$work/deb-report"
  check "the installed morvex-dbf gives another version" test "$("$root/usr/bin/morvex-dbf" --version)" = "$version"
  check "the desktop entry does not validate" desktop-file-validate "$root/usr/share/applications/morvex.desktop"
  check "the desktop entry names another icon" grep -qx 'Icon=morvex' "$root/usr/share/applications/morvex.desktop"
  # The completion as bash loads it, on a partial option.
  complete_scan() {  # complete_scan WORD...: the completions of the last word
    PATH="$root/usr/bin:$PATH" bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
      _morvex_scan; printf "%s\n" "${COMPREPLY[@]}"' _ "$root/usr/share/bash-completion/completions/morvex-scan" "$@"
  }
  check "bash completes --for to $(complete_scan morvex-scan --for | tr '\n' ' ')" \
    test "$(complete_scan morvex-scan --for)" = --format
  check "dpkg removed morvex-cli while morvex needs it" absent in_root -r morvex-cli
  in_root --purge morvex morvex-cli
  check "removing both left $(find "$root/usr" -type f 2>/dev/null | head -3 | tr '\n' ' ')" \
    test -z "$(find "$root/usr" -type f 2>/dev/null)"
fi

echo "== Portable zips"
# Runs the page server's DLL through its per-user registration from the zip, when the build has the DLL.
check_zip_pages() {
  local folder=$1 arch=$2
  wine cmd /c "$(windows_path "$folder/register-pages.cmd")" >/dev/null 2>&1
  check "$arch zip: register-pages.cmd failed" test $? -eq 0
  view=
  check "$arch zip: register-pages.cmd wrote no per-user class" registry_has 'HKCU\Software\Classes\Morvex.PageFiles'
  # The class where a program of the DLL's bitness looks: 64-bit Windows runs the cmd with the 64-bit reg.exe.
  case $arch in *win32) view=/reg:32 ;; *) view=/reg:64 ;; esac
  local server
  server=$(wine reg query "HKCU\\Software\\Classes\\CLSID\\$MORVEX_PAGES_CLSID\\InprocServer32" /ve $view 2>/dev/null |
    tr -d '\r' | sed -n 's/.*REG_SZ *//p')
  check "$arch zip: the class in the $view view names '$server', not this DLL" \
    test "$server" = "$(windows_path "$folder/morvex-pages.dll")"
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
  check_windows_notices "$name" "$folder"
  wine "$folder/morvex-scan.exe" "$site" >"$work/zip-report" 2>/dev/null
  check "$name: morvex-scan.exe ended with $? on the example site" test $? -eq 1
  check "$name: morvex-scan.exe's report differs" same_report "$work/zip-report"
  check "$name: morvex-dbf.exe gives another version" \
    test "$(wine "$folder/morvex-dbf.exe" --version | tr -d '\r')" = "$version"
  if [ -f "$folder/morvex-pages.dll" ]; then check_zip_pages "$folder" "$name"; fi
done
check "no portable zip in dist/" test "$zips" -gt 0

# Both zips registered for one user, the win64 one from the 64-bit cmd and the win32 one from the 32-bit cmd, then
# taken back one at a time in either order: the ProgIDs, shared by both registry views, stay until the last goes.
both_zips_registered() {  # both_zips_registered FIRST SECOND: each a zip's folder
  local first=$1 second=$2 folder
  register_zip() {  # register_zip FOLDER [/u]
    local cmd='C:\windows\system32\cmd.exe'
    case $1 in *-win32) cmd='C:\windows\syswow64\cmd.exe' ;; esac
    wine "$cmd" /c "$(windows_path "$1/register-pages.cmd")" ${2:+"$2"} >/dev/null 2>&1
  }
  for folder in "$first" "$second"; do check "$(basename "$folder"): register-pages.cmd failed" register_zip "$folder"; done
  check "$(basename "$first"): register-pages.cmd /u failed" register_zip "$first" /u
  view=
  for progid in Morvex.PageFiles Morvex.PageFiles.1; do
    check "$(basename "$first") taken back first took $progid from $(basename "$second")" \
      registry_has "HKCU\\Software\\Classes\\$progid"
  done
  case $second in *-win32) view=/reg:32 ;; *) view=/reg:64 ;; esac
  check "$(basename "$first") taken back first took the class from $(basename "$second")" \
    registry_has "HKCU\\Software\\Classes\\CLSID\\$MORVEX_PAGES_CLSID\\InprocServer32"
  check "$(basename "$second"): register-pages.cmd /u failed" register_zip "$second" /u
  view=
  for progid in Morvex.PageFiles Morvex.PageFiles.1; do
    check "taking back both zips left $progid" absent registry_has "HKCU\\Software\\Classes\\$progid"
  done
}
win64_zip=$work/zips/morvex-$version-win64
win32_zip=$work/zips/morvex-$version-win32
if [ -f "$win64_zip/morvex-pages.dll" ] && [ -f "$win32_zip/morvex-pages.dll" ]; then
  both_zips_registered "$win64_zip" "$win32_zip"
  both_zips_registered "$win32_zip" "$win64_zip"
fi

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
# The installed morvex-scan.exe through our page server by either ProgID: check_page_server_names WHAT FOLDER.
check_page_server_names() {
  local progid
  for progid in Morvex.PageFiles Morvex.PageFiles.1; do
    wine "$2/morvex-scan.exe" --page-server "$progid" "$site" >"$work/msi-pages-report" 2>/dev/null
    check "$1: the report through the installed $progid differs" same_report "$work/msi-pages-report"
  done
}

# The tables as Windows' own validation reads them (msiinfo exports one table as tab-separated text, two header
# lines first): table_rows MSI TABLE.
table_rows() { msiinfo export "$1" "$2" | tail -n +4 | tr -d '\r'; }
# ICE38 and ICE43: a component with a shortcut in a profile folder has a registry key path under HKCU or, in a
# per-machine package, HKMU (-1: HKLM when installed per machine). ICE57: that component mixes no per-machine
# rows into it (an HKLM row beside the per-user-capable key path). Then what no ICE checks but Windows Installer
# relies on when it decides what to replace: a Version for every program and the DLL (the build's, from their
# version records). The Add/Remove Programs folder and size are checked installed.
check_msi_tables() {  # check_msi_tables MSI ARCH
  local msi=$1 arch=$2
  local shortcut_component key_path root rows
  shortcut_component=$(table_rows "$msi" Shortcut | cut -f 4 | sort -u)
  key_path=$(table_rows "$msi" Component | awk -F '\t' -v c="$shortcut_component" '$1 == c { print $6 }')
  root=$(table_rows "$msi" Registry | awk -F '\t' -v k="$key_path" '$1 == k { print $2 }')
  check "$arch: ICE38/ICE43: the shortcut's component $shortcut_component has key path '$key_path' under root '$root'" \
    grep -qx -- '-1\|1' <<<"$root"
  rows=$(table_rows "$msi" Registry | awk -F '\t' -v c="$shortcut_component" '$6 == c && $2 != "-1" && $2 != "1"')
  check "$arch: ICE57: the shortcut's component also writes per-machine rows: $rows" test -z "$rows"
  local file name file_version
  while IFS=$'\t' read -r file _ name _ file_version _; do
    case ${name#*|} in
      *.exe | *.dll)
        check "$arch: the File table gives ${name#*|} the version '$file_version', not $version.0" \
          test "$file_version" = "$version.0" ;;
    esac
  done < <(table_rows "$msi" File)
}

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
  local location
  location=$(morvex_entries "$uninstall_key" DisplayName InstallLocation)
  check "$arch: Add/Remove Programs gives the folder '$location'" \
    test "$(realpath -m "$(winepath -u "$location" 2>/dev/null)")" = "$(realpath -m "$folder")"
  check "$arch: Add/Remove Programs gives no size" \
    test "$(($(morvex_entries "$uninstall_key" DisplayName EstimatedSize)))" -gt 0
  check_windows_notices "$arch installed" "$folder"
  wine "$folder/morvex-scan.exe" "$site" >"$work/msi-report" 2>/dev/null
  check "$arch: the installed morvex-scan.exe's report differs" same_report "$work/msi-report"
  if [ "$with_pages" = yes ]; then
    check "$arch: morvex-pages.dll is not installed" test -s "$folder/morvex-pages.dll"
    check "$arch: the page server's class is not registered" registry_has "$class_key\\InprocServer32"
    check_page_server_names "$arch" "$folder"
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
    check "$arch: after the restart the upgrade left $(ls "$folder" | grep -v '\.\(exe\|dll\|txt\)$' | tr '\n' ' ')" \
      test -z "$(ls "$folder" | grep -v '\.\(exe\|dll\|txt\)$')"
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
  check "$arch: uninstall left the versioned ProgID" absent registry_has 'HKLM\Software\Classes\Morvex.PageFiles.1'
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
  check_msi_tables "$msi" "$arch"
  test_installer "$msi" "$arch" "$build_dir"
done
check "no installer in dist/" test "$installers" -gt 0

echo "== Both installers side by side"
# The ProgIDs sit in a key both bitnesses share: one component of the same identity in both installers, so
# that removing either product leaves them to the other.
x64_msi=dist/Morvex-$version-x64.msi
x86_msi=dist/Morvex-$version-x86.msi
progid_component() { table_rows "$1" Component | awk -F '\t' '$1 == "MorvexPageFilesProgIds" { print $2, $3, $4, $6 }'; }
if [ -f "$x64_msi" ] && [ -f "$x86_msi" ] && [ -n "$(progid_component "$x64_msi")" ]; then
  check "the ProgIDs' component differs: x64 '$(progid_component "$x64_msi")', x86 '$(progid_component "$x86_msi")'" \
    test "$(progid_component "$x64_msi")" = "$(progid_component "$x86_msi")"
  declare -A msi_of=([x64]=$x64_msi [x86]=$x86_msi)
  declare -A folder_of=([x64]="$WINEPREFIX/drive_c/Program Files/Morvex" [x86]="$WINEPREFIX/drive_c/Program Files (x86)/Morvex")
  for arch in x64 x86; do
    run_msiexec "$work/side-by-side.log" /i "$(windows_path "${msi_of[$arch]}")"
    check "side by side: $arch did not install (log says ${msi_result:-nothing})" test "$msi_result" = 1
  done
  for removed in x64 x86; do
    case $removed in x64) kept=x86 ;; *) kept=x64 ;; esac
    run_msiexec "$work/side-by-side.log" /x "$(windows_path "${msi_of[$removed]}")"
    check "side by side: removing $removed did not succeed (log says ${msi_result:-nothing})" test "$msi_result" = 1
    check_page_server_names "side by side, $removed removed, $kept" "${folder_of[$kept]}"
    run_msiexec "$work/side-by-side.log" /i "$(windows_path "${msi_of[$removed]}")"
    check "side by side: $removed did not install again (log says ${msi_result:-nothing})" test "$msi_result" = 1
  done
  for arch in x64 x86; do run_msiexec "$work/side-by-side.log" /x "$(windows_path "${msi_of[$arch]}")"; done
fi

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
