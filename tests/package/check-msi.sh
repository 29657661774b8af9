#!/usr/bin/env bash
# Installs one of Tessel's MSIs silently under Wine's 64-bit part in a fresh prefix, upgrades it, tries a downgrade and
# uninstalls it, checking files, shortcuts and registry each time. x86 with the defaults, x64 with INSTALLDIR and
# DESKTOPSHORTCUT=1, which the upgrade keeps. usage: check-msi.sh x86|x64 MSI EXE ICO EPOCH_FILE WORK_DIR GUIDE.html
set -euo pipefail
platform=$1 msi=$(realpath "$2") exe=$(realpath "$3") icon=$(realpath "$4") epoch_file=$(realpath "$5")
work=$(realpath -m "$6") guide=$(realpath "$7") here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export TESSEL_WINE_ARCH=win64 WINEPREFIX=$work/prefix && unset TESSEL_WINE_DIR
source "$here/../wine/wine-env.sh"
source "$here/../checks.sh"
rm -rf "$work"
mkdir -p "$work/newer"
trap 'tessel_stop_wineserver; tessel_stop_xvfb' EXIT && trap 'exit 130' INT TERM
# dump NAME MSI: MSI's tables and streams as msidump writes them, into WORK_DIR/NAME. cell NAME TABLE KEY COLUMN.
dump() { mkdir -p "$work/$1" && (cd "$work/$1" && msidump --tables --streams "$2" >/dev/null); }
cell() { tr -d '\r' <"$work/$1/$2.idt" | awk -F '\t' -v key="$3" -v c="$4" 'NR > 3 && $1 == key { print $c }'; }
dump tables "$msi"
version=$(cell tables Property ProductVersion 2) product=$(cell tables Property ProductCode 2)
/usr/bin/python3 "$here/msi_tables.py" "$work/tables" "$platform" "$icon" || failures=$((failures + 1))
# A later version from the same WiX source: the program with eight bytes more, recognisably the new one.
newer_version=$((${version%%.*} + 1)).0 newer=$work/newer/tessel-$newer_version-$platform.msi
{ cat "$exe" && printf '\0\0\0\0\0\0\0\0'; } >"$work/newer/tessel.exe"
tools=()
for tool in wixl msibuild msiinfo osslsigncode openssl; do tools+=("-D${tool^^}=$(command -v "$tool")"); done
cmake -DWXS="$here/../../packaging/tessel.wxs" -DEXE="$work/newer/tessel.exe" -DGUIDE="$guide" -DICON="$icon" \
  -DPLATFORM="$platform" -DVERSION="$newer_version" -DSOURCE_DATE_EPOCH_FILE="$epoch_file" -DOUTPUT="$newer" \
  -DWORK_DIR="$work/newer/work" "${tools[@]}" -P "$here/../../packaging/make-msi.cmake"
dump newer-tables "$newer"
newer_product=$(cell newer-tables Property ProductCode 2)
[ "$newer_product" != "$product" ] || fail "version $newer_version has the product code of $version"
# identity NAME: the components' identities and the upgrade code of the tables dumped into NAME.
identity() { cut -f1-2 "$work/$1/Component.idt" && cell "$1" Property UpgradeCode 2; }
expect "component identities and upgrade code of $newer_version" "$(identity tables)" "$(identity newer-tables)"
# A fresh prefix with user folders of its own, no desktop menus, and a private screen from the start (Wine's desktop
# process, started with the server, keeps the display it found).
tessel_fresh_prefix "$WINEPREFIX" headless
for link in "$WINEPREFIX"/drive_c/users/*/*; do if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi; done
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config \
  WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
mkdir -p "$HOME" "$WINEPREFIX/drive_c/packages"
tessel_start_xvfb 1280x1024
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot </dev/null >/dev/null 2>&1
# From C:\packages, as from a local disk: Wine's start passes no quoted path to msiexec.
cp "$msi" "$newer" "$WINEPREFIX/drive_c/packages/"
old_msi="C:\\packages\\$(basename "$msi")" new_msi="C:\\packages\\$(basename "$newer")"
# msiexec ARGS...: through cmd, which reports the whole exit code (a Unix exit status keeps 8 bits); prints it.
msiexec() {
  wine cmd /v:on /c "start /wait msiexec $* & echo !errorlevel!" </dev/null 2>/dev/null | tr -d '\r' | tail -n1
}
folder='C:\Program Files (x86)\Tessel' properties=() view=/reg:32 desktop=
[ "$platform" = x86 ] || folder='C:\Apps\Tessel' properties=("INSTALLDIR=C:\Apps\Tessel" DESKTOPSHORTCUT=1) \
  view=/reg:64 desktop="C:\Apps\Tessel\tessel.exe in C:\Apps\Tessel"
unix_folder=${folder//\\//} && unix_folder=$WINEPREFIX/drive_c/${unix_folder#C:/}
# target 'Start Menu/Programs'|Desktop [NAME]: target and working folder of shortcut NAME (Tessel) there, for all users
# or (as Wine puts them even for per-machine packages) the user, as lnkinfo reads them; or nothing.
target() {
  local link
  link=$(find "$WINEPREFIX/drive_c/ProgramData" "$WINEPREFIX/drive_c/users" -path "*/$1/${2:-Tessel}.lnk" -print -quit)
  # Debian 13's lnkinfo doubles every backslash of a path; Debian 12's does not.
  [ -z "$link" ] || lnkinfo "$link" | sed 's/\\\\/\\/g' |
    awk -F ': ' '/^\tLocal path/ { t = $2 } /^\tWorking directory/ { w = $2 }
      END { sub(/\\$/, "", w); print t " in " w }'
}
# entry CODE: the uninstall entry of that product code as reg query prints it, or nothing. field NAME: its value.
entry() { wine reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" "$view" 2>/dev/null |
  tr -d '\r' | awk '/^HKEY_/ { found = 1 } found' || true; }
field() { awk -v name="$1" '$1 == name { $1 = ""; $2 = ""; sub(/^  /, ""); print }'; }
# check_installed VERSION PRODUCT EXE: what an installed version leaves.
check_installed() {
  expect "files in $folder after installing $1" "tessel-guide.html tessel.exe" \
    "$(cd "$unix_folder" && LC_ALL=C && echo *)"
  cmp -s "$3" "$unix_folder/tessel.exe" || fail "$folder\\tessel.exe is not the program of version $1"
  cmp -s "$guide" "$unix_folder/tessel-guide.html" || fail "$folder\\tessel-guide.html is not the guide built"
  expect "Start-menu shortcut of $1" "$folder\\tessel.exe in $folder" "$(target 'Start Menu/Programs')"
  expect "guide's Start-menu shortcut of $1" "$folder\\tessel-guide.html in $folder" \
    "$(target 'Start Menu/Programs' 'Tessel guide')"
  expect "desktop shortcut of $1" "$desktop" "$(target Desktop)"
  text=$(entry "$2")
  echo "check-msi: the uninstall entry of version $1, as reg query $view prints it:" && echo "$text"
  for pair in "DisplayName=Tessel C-Language Simulator" "Publisher=Tessel team" "DisplayVersion=$1" \
    "InstallLocation=$folder\\" NoModify=0x1 NoRepair=0x1 "UninstallString=MsiExec.exe /X$2"; do
    expect "${pair%%=*}" "${pair#*=}" "$(field "${pair%%=*}" <<<"$text")"
  done
  # Wine writes no DisplayIcon but keeps the product icon where Windows does; the tables say the rest.
  cmp -s "$icon" "$WINEPREFIX/drive_c/windows/Installer/$2/tessel.ico" ||
    fail "the product icon of $1 is not tessel.exe's icon in C:\\windows\\Installer\\$2"
}
expect "msiexec /i $(basename "$msi") /qn ${properties[*]}" 0 "$(msiexec /i "$old_msi" /qn "${properties[@]}")"
check_installed "$version" "$product" "$exe"
if [ "$platform" = x64 ]; then
  # Started as its Start-menu shortcut says (Wine's start cannot open a shortcut here), it opens its window.
  program=$(target 'Start Menu/Programs') && program=${program% in *} window=
  wine "$program" </dev/null >/dev/null 2>&1 &
  for _ in $(seq 600); do
    window=$(tessel_x_window '"Tessel C-Language Simulator": ("tessel.exe"')
    { [ -z "$window" ] && kill -0 $! 2>/dev/null; } || break
    sleep 0.1
  done
  [ -z "$window" ] || echo "check-msi: $program opened its window $window"
  [ -n "$window" ] || fail "$program opened no window"
  wine taskkill /f /im tessel.exe </dev/null >/dev/null 2>&1 || true
  tessel_end $!
fi
expect "msiexec /i $(basename "$newer") /qn" 0 "$(msiexec /i "$new_msi" /qn)"
expect "entry of $version after the upgrade" "" "$(entry "$product")"
check_installed "$newer_version" "$newer_product" "$work/newer/tessel.exe"
# 1603: the launch condition failed; with /qn its message goes to the log (the table check above has the text).
expect "msiexec /i $(basename "$msi") /qn over $newer_version" 1603 "$(msiexec /i "$old_msi" /qn)"
expect "entry of $version after the downgrade was refused" "" "$(entry "$product")"
expect "DisplayVersion after the downgrade was refused" "$newer_version" \
  "$(entry "$newer_product" | field DisplayVersion)"
cmp -s "$work/newer/tessel.exe" "$unix_folder/tessel.exe" || fail "the refused downgrade changed tessel.exe"
expect "msiexec /x $(basename "$newer") /qn" 0 "$(msiexec /x "$new_msi" /qn)"
# Stopping the server writes the registry to the prefix's files, where every key is seen at once.
tessel_stop_wineserver
expect "files and shortcuts of Tessel left after uninstalling" "" \
  "$(cd "$WINEPREFIX/drive_c" && find . -path ./packages -prune -o -iname '*tessel*' -print | sort)"
# Windows Installer keeps products and components under a packed GUID: the first three groups reversed, then
# each byte's two digits swapped.
squished() {
  local h=${1//[-\{\}]/}
  echo "$(rev <<<"${h:0:8}")$(rev <<<"${h:8:4}")$(rev <<<"${h:12:4}")$(sed -E 's/(.)(.)/\2\1/g' <<<"${h:16}")"
}
for pattern in tessel "${product:1:36}" "${newer_product:1:36}" "$(squished "$product")" \
  "$(squished "$newer_product")"; do
  expect "registry lines with $pattern left after uninstalling" "" \
    "$(grep -i -h -F "$pattern" "$WINEPREFIX"/*.reg | head -n3 || true)"
done
# A prefix is some 700 MB: kept only to look into a failure.
[ "$failures" -eq 0 ] && rm -rf "$WINEPREFIX" || echo "check-msi: the prefix is in $WINEPREFIX" >&2
finish "$(basename "$msi") installed, upgraded to $newer_version, refused $version over it, uninstalled"
