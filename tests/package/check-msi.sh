#!/usr/bin/env bash
# Installs one of Tessel's MSIs silently under Wine's 64-bit part in a fresh prefix, upgrades it to a later test
# build, tries a downgrade and uninstalls it; checks the files, shortcuts and registry after each step, and from
# the MSI's own tables (msi_tables.py) what Wine does not show.
# usage: check-msi.sh x86|x64 TESSEL.msi TESSEL.exe TESSEL.ico SOURCE_DATE_EPOCH_FILE WORK_DIR TESSEL-GUIDE.html
# x86: installed with the defaults, into Program Files (x86), as on 64-bit Windows. x64: with INSTALLDIR and
# DESKTOPSHORTCUT=1 set, which the upgrade must keep; the installed program is started as its shortcut says.
set -euo pipefail
platform=$1 msi=$(realpath "$2") exe=$(realpath "$3") icon=$(realpath "$4") epoch_file=$(realpath "$5")
work=$(realpath -m "$6") guide=$(realpath "$7")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export TESSEL_WINE_ARCH=win64
unset TESSEL_WINE_DIR
source "$here/../wine/wine-env.sh"
source "$here/checks.sh"
rm -rf "$work" && mkdir -p "$work"
export WINEPREFIX=$work/prefix
trap 'tessel_stop_wineserver; tessel_stop_xvfb' EXIT
trap 'exit 130' INT TERM

# dump NAME MSI: MSI's tables and streams as msidump writes them, into WORK_DIR/NAME. cell NAME TABLE KEY COLUMN.
dump() { mkdir -p "$work/$1" && (cd "$work/$1" && msidump --tables --streams "$2" >/dev/null); }
cell() { tr -d '\r' <"$work/$1/$2.idt" | awk -F '\t' -v key="$3" -v c="$4" 'NR > 3 && $1 == key { print $c }'; }
dump tables "$msi"
version=$(cell tables Property ProductVersion 2) product=$(cell tables Property ProductCode 2)
/usr/bin/python3 "$here/msi_tables.py" "$work/tables" "$platform" "$icon" || failures=$((failures + 1))

# A later version from the same WiX source: the program with eight bytes more, so that the file it leaves is
# recognisably the new one.
newer_version=$((${version%%.*} + 1)).0 newer=$work/newer/tessel-$newer_version-$platform.msi
mkdir -p "$work/newer" && { cat "$exe" && printf '\0\0\0\0\0\0\0\0'; } >"$work/newer/tessel.exe"
cmake -DWXS="$here/../../packaging/tessel.wxs" -DEXE="$work/newer/tessel.exe" -DGUIDE="$guide" -DICON="$icon" \
  -DPLATFORM="$platform" -DVERSION="$newer_version" -DSOURCE_DATE_EPOCH_FILE="$epoch_file" -DOUTPUT="$newer" \
  -DWORK_DIR="$work/newer/work" -DWIXL="$(command -v wixl)" -DMSIBUILD="$(command -v msibuild)" \
  -DMSIINFO="$(command -v msiinfo)" -DOSSLSIGNCODE="$(command -v osslsigncode)" -DOPENSSL="$(command -v openssl)" \
  -P "$here/../../packaging/make-msi.cmake"
dump newer-tables "$newer"
newer_product=$(cell newer-tables Property ProductCode 2)
[ "$newer_product" != "$product" ] || fail "version $newer_version has the product code of $version"
expect "component identities of versions $version and $newer_version" "$(cut -f1-2 "$work/tables/Component.idt")" \
  "$(cut -f1-2 "$work/newer-tables/Component.idt")"
expect "upgrade codes of versions $version and $newer_version" "$(cell tables Property UpgradeCode 2)" \
  "$(cell newer-tables Property UpgradeCode 2)"

# The prefix: a fresh copy whose user folders are its own, not links into this machine's home; no desktop menus.
# A private screen from the start: Wine's desktop process, started with the server, keeps the display it found.
tessel_fresh_prefix "$WINEPREFIX" headless
for link in "$WINEPREFIX"/drive_c/users/*/*; do if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi; done
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
mkdir -p "$HOME" "$WINEPREFIX/drive_c/packages"
tessel_start_xvfb 1280x1024
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot </dev/null >/dev/null 2>&1
# The packages are installed from C:\packages, as from a local disk: Wine's start passes no quoted path to msiexec.
cp "$msi" "$newer" "$WINEPREFIX/drive_c/packages/"
old_msi="C:\\packages\\$(basename "$msi")" new_msi="C:\\packages\\$(basename "$newer")"
# msiexec ARGS...: msiexec through cmd, which reports its whole exit code (a Unix exit status keeps 8 bits); prints
# the exit code, and to the log the time it took.
msiexec() {
  local start=$SECONDS code
  code=$(wine cmd /v:on /c "start /wait msiexec $* & echo !errorlevel!" </dev/null 2>/dev/null | tr -d '\r' | tail -n1)
  echo "check-msi: msiexec $* took $((SECONDS - start)) s and returned $code" >&2 && echo "$code"
}

# Where each goes, and the desktop shortcut's target and folder: only x64 asks for one.
if [ "$platform" = x64 ]; then
  folder='C:\Apps\Tessel' properties=('INSTALLDIR=C:\Apps\Tessel' DESKTOPSHORTCUT=1) view=/reg:64
  unix_folder=$WINEPREFIX/drive_c/Apps/Tessel desktop="C:\Apps\Tessel\tessel.exe in C:\Apps\Tessel"
else
  folder='C:\Program Files (x86)\Tessel' properties=() view=/reg:32 desktop=
  unix_folder="$WINEPREFIX/drive_c/Program Files (x86)/Tessel"
fi
# target 'Start Menu/Programs'|Desktop [NAME]: the target and working folder of shortcut NAME (Tessel) there, for all
# users or (as Wine puts them even for per-machine packages) for the user, as lnkinfo reads them; or nothing.
target() {
  local link
  link=$(find "$WINEPREFIX/drive_c/ProgramData" "$WINEPREFIX/drive_c/users" -path "*/$1/${2:-Tessel}.lnk" -print -quit)
  [ -z "$link" ] || lnkinfo "$link" | awk -F ': ' '/^\tLocal path/ { t = $2 } /^\tWorking directory/ { w = $2 }
    END { sub(/\\$/, "", w); print t " in " w }'
}
# entry CODE: the uninstall entry of that product code as reg query prints it, or nothing. field NAME: its value.
entry() {
  wine reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" "$view" 2>/dev/null |
    tr -d '\r' | awk '/^HKEY_/ { found = 1 } found' || true
}
field() { awk -v name="$1" '$1 == name { $1 = ""; $2 = ""; sub(/^  /, ""); print }'; }

# check_installed VERSION PRODUCT EXE: what an installed version leaves.
check_installed() {
  local text
  expect "files in $folder after installing $1" "tessel-guide.html tessel.exe" \
    "$(cd "$unix_folder" 2>/dev/null && LC_ALL=C && echo *)"
  cmp -s "$3" "$unix_folder/tessel.exe" || fail "$folder\\tessel.exe is not the program of version $1"
  cmp -s "$guide" "$unix_folder/tessel-guide.html" || fail "$folder\\tessel-guide.html is not the guide built"
  expect "Start-menu shortcut of $1" "$folder\\tessel.exe in $folder" "$(target 'Start Menu/Programs')"
  expect "Start-menu shortcut Tessel guide of $1" "$folder\\tessel-guide.html in $folder" \
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

echo "check-msi: installing $(basename "$msi") ${properties[*]:-with the defaults}"
expect "msiexec /i $(basename "$msi") /qn" 0 "$(msiexec /i "$old_msi" /qn "${properties[@]}")"
check_installed "$version" "$product" "$exe"
if [ "$platform" = x64 ]; then
  # The installed program, started as its Start-menu shortcut says (Wine's start cannot open a shortcut in a
  # prefix like this one: "failed to get data object"): its window appears on a private screen.
  program=$(target 'Start Menu/Programs') && program=${program% in *} window=
  wine "$program" </dev/null >/dev/null 2>&1 &
  tessel_pid=$!
  for _ in $(seq 600); do
    window=$(xwininfo -root -tree | awk '/"Tessel C-Language Simulator": \("tessel.exe"/ { print $1; exit }')
    { [ -z "$window" ] && kill -0 "$tessel_pid" 2>/dev/null; } || break
    sleep 0.1
  done
  if [ -n "$window" ]; then echo "check-msi: $program opened its window $window"; else
    fail "$program, the Start-menu shortcut's target, opened no window"; fi
  wine taskkill /f /im tessel.exe </dev/null >/dev/null 2>&1 || true
  wait "$tessel_pid" 2>/dev/null || true
fi

echo "check-msi: upgrading to $(basename "$newer")"
expect "msiexec /i $(basename "$newer") /qn" 0 "$(msiexec /i "$new_msi" /qn)"
expect "entry of $version after the upgrade" "" "$(entry "$product")"
check_installed "$newer_version" "$newer_product" "$work/newer/tessel.exe"

echo "check-msi: installing version $version over $newer_version"
# 1603: the launch condition failed; with /qn its message goes to the log (the table check above has the text).
expect "msiexec /i $(basename "$msi") /qn over $newer_version" 1603 "$(msiexec /i "$old_msi" /qn)"
expect "entry of $version after the downgrade was refused" "" "$(entry "$product")"
expect "DisplayVersion after the downgrade was refused" "$newer_version" "$(entry "$newer_product" | field DisplayVersion)"
cmp -s "$work/newer/tessel.exe" "$unix_folder/tessel.exe" || fail "the refused downgrade changed tessel.exe"

echo "check-msi: uninstalling"
expect "msiexec /x $(basename "$newer") /qn" 0 "$(msiexec /x "$new_msi" /qn)"
# Stopping the server writes the registry to the prefix's files, where every key is seen at once.
tessel_stop_wineserver
expect "files and shortcuts of Tessel left after uninstalling" "" \
  "$(cd "$WINEPREFIX/drive_c" && find . -path ./packages -prune -o -iname '*tessel*' -print | sort)"
# Windows Installer keeps products and components under a packed GUID: the first three groups reversed, then
# each byte's two digits swapped.
squished() {
  local hex=${1//[-\{\}]/}
  echo "$(rev <<<"${hex:0:8}")$(rev <<<"${hex:8:4}")$(rev <<<"${hex:12:4}")$(sed -E 's/(.)(.)/\2\1/g' <<<"${hex:16}")"
}
for pattern in tessel "${product:1:36}" "${newer_product:1:36}" "$(squished "$product")" "$(squished "$newer_product")"; do
  expect "registry lines with $pattern left after uninstalling" "" \
    "$(grep -i -h -F "$pattern" "$WINEPREFIX"/*.reg | head -n3 || true)"
done

# A prefix is some 700 MB: kept only to look into a failure.
[ "$failures" -eq 0 ] && rm -rf "$WINEPREFIX" || echo "check-msi: the prefix is in $WINEPREFIX" >&2
finish "$(basename "$msi") installed, upgraded to $newer_version, refused $version over it, uninstalled"
