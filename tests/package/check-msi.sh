#!/usr/bin/env bash
# Installs one of Tessel's MSIs silently under Wine's 64-bit part in a fresh prefix, upgrades it to a later test
# build, tries a downgrade and uninstalls it; checks the files, shortcuts and registry after each step, and from
# the MSI's own tables what Wine does not show (per-machine scope, the icon, the upgrade rules).
# usage: check-msi.sh x86|x64 TESSEL.msi TESSEL.exe TESSEL.ico SOURCE_DATE_EPOCH_FILE WORK_DIR TESSEL-GUIDE.html
# x86: installed with the defaults, into Program Files (x86), as on 64-bit Windows. x64: with INSTALLDIR and
# DESKTOPSHORTCUT=1 set, which the upgrade must keep; the installed program is started as its shortcut says.
set -euo pipefail
platform=$1 msi=$(realpath "$2") exe=$(realpath "$3") icon=$(realpath "$4") epoch_file=$(realpath "$5")
work=$(realpath -m "$6") guide=$(realpath "$7")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
export TESSEL_WINE_ARCH=win64
unset TESSEL_WINE_DIR
source "$root/tests/wine/wine-env.sh"

source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/prefix
cleanup() {
  tessel_stop_wineserver
  tessel_stop_xvfb
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The tables, read without Windows: what makes the install per-machine, the entry in Apps & features, the icon,
# the upgrade rules, and what Windows' own validation would look at first.
table() {
  # In a folder of its own: msiinfo writes a table's binary columns to files below the current one.
  mkdir -p "$work/export"
  (cd "$work/export" && msiinfo export "$1" "$2") | tail -n +4 | tr -d '\r'
}
property() {
  table "$1" Property | awk -F '\t' -v name="$2" '$1 == name { print $2 }'
}
version=$(property "$msi" ProductVersion)
product=$(property "$msi" ProductCode)
mkdir -p "$work/tables"
for name in Property Component Directory Shortcut Registry File Upgrade LaunchCondition InstallExecuteSequence \
  Icon MsiFileHash; do
  table "$msi" "$name" >"$work/tables/$name"
done
msiinfo extract "$msi" Icon.tessel.ico >"$work/tables/tessel.ico"
msiinfo suminfo "$msi" >"$work/tables/suminfo"
/usr/bin/python3 - "$work/tables" "$platform" "$icon" <<'PY' || failures=$((failures + 1))
import os, re, sys

tables, platform, icon = sys.argv[1:]
failed = []
def expect(what, expected, actual):
    if expected != actual:
        failed.append(f"{what}: expected {expected!r}, got {actual!r}")
def rows(name):
    with open(os.path.join(tables, name)) as f:
        return [line.rstrip("\n").split("\t") for line in f if line.strip()]

props = dict(row[:2] for row in rows("Property"))
expect("per-machine: ALLUSERS", "1", props.get("ALLUSERS"))
expect("no Modify button: ARPNOMODIFY", "1", props.get("ARPNOMODIFY"))
expect("no Repair button: ARPNOREPAIR", "1", props.get("ARPNOREPAIR"))
expect("ProductName, the entry's DisplayName", "Tessel C-Language Simulator", props.get("ProductName"))
expect("Manufacturer, the entry's Publisher", "Tessel team", props.get("Manufacturer"))
guid = re.compile(r"^\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}$")
for name in ("ProductCode", "UpgradeCode"):
    expect(f"{name} is a GUID in capitals", True, bool(guid.match(props.get(name, ""))))
for name in ("DESKTOPSHORTCUT", "INSTALLDIR"):
    expect(f"{name} in SecureCustomProperties", True, name in props.get("SecureCustomProperties", "").split(";"))
summary = dict(line.split(": ", 1) for line in open(os.path.join(tables, "suminfo")).read().splitlines() if ": " in line)
expect("summary Template", ("x64" if platform == "x64" else "Intel") + ";1033", summary.get("Template"))
# Word count bit 3 would say that no elevation is needed: a per-user package.
expect("summary word count (compressed, long names, elevated)", "2", summary.get("Source", "").split()[0])

# Apps & features' icon: the product icon is the program's own.
expect("ARPPRODUCTICON", "tessel.ico", props.get("ARPPRODUCTICON"))
expect("Icon table", [["tessel.ico", "Icon.tessel.ico"]], rows("Icon"))
expect("the product icon is tessel.exe's icon", open(icon, "rb").read(), open(os.path.join(tables, "tessel.ico"), "rb").read())

# Program Files, or Program Files (x86) for the 32-bit program: every component in the matching registry view.
directories = {row[0]: row for row in rows("Directory")}
expect("parent of INSTALLDIR", "ProgramFiles64Folder" if platform == "x64" else "ProgramFilesFolder",
       directories.get("INSTALLDIR", [None, None])[1])
components = {row[0]: row for row in rows("Component")}
expect("components", ["DesktopShortcut", "Guide", "Program"], sorted(components))
for name, row in components.items():
    expect(f"component {name}: 64-bit attribute", platform == "x64", bool(int(row[3]) & 256))
    expect(f"component {name}: a GUID in capitals", True, bool(guid.match(row[1])))
    expect(f"component {name}: has a key path", True, bool(row[5]))
expect("desktop shortcut's condition", "DESKTOPSHORTCUT = 1 OR (NOT DESKTOPSHORTCUT AND PREVIOUSDESKTOPSHORTCUT = 1)",
       components.get("DesktopShortcut", [""] * 6)[4])
# Per-machine data only: the registry values under HKLM (root 2), none under HKCU (root 1).
expect("registry roots", {"2"}, {row[1] for row in rows("Registry")})
shortcuts = {row[0]: row for row in rows("Shortcut")}
expect("shortcut folders", {"StartMenuShortcut": "ProgramMenuFolder", "GuideShortcut": "ProgramMenuFolder",
                            "DesktopShortcut": "DesktopFolder"},
       {name: row[1] for name, row in shortcuts.items()})
# A versioned file carries its version (Windows Installer then compares versions), not a hash; the guide its hash.
files = {row[0]: row for row in rows("File")}
expect("files", ["tessel.exe", "tessel_guide.html"], sorted(files))
expect("tessel.exe has a version and language", True, all(files.get("tessel.exe", [""] * 6)[4:6]))
expect("files with a hash", ["tessel_guide.html"], [row[0] for row in rows("MsiFileHash")])

# Upgrades: earlier versions found and removed before this one installs, later ones refuse it with a message.
upgrades = {row[6]: row for row in rows("Upgrade")}
expect("upgrade rows", ["WIX_DOWNGRADE_DETECTED", "WIX_UPGRADE_DETECTED"], sorted(upgrades))
expect("launch condition", "NOT WIX_DOWNGRADE_DETECTED", rows("LaunchCondition")[0][0] if rows("LaunchCondition") else "")
sequence = {row[0]: int(row[2]) for row in rows("InstallExecuteSequence")}
expect("RemoveExistingProducts right after InstallValidate", True,
       sequence.get("InstallValidate", 0) < sequence.get("RemoveExistingProducts", 0) < sequence.get("InstallInitialize", 0))
expect("no reboot actions", [], sorted(set(sequence) & {"ScheduleReboot", "ForceReboot"}))
expect("FindRelatedProducts before LaunchConditions", True,
       sequence.get("FindRelatedProducts", 99) < sequence.get("LaunchConditions", 0))
expect("SetInstallLocation after CostFinalize and before RegisterProduct", True,
       sequence.get("CostFinalize", 0) < sequence.get("SetInstallLocation", 0) < sequence.get("RegisterProduct", 0))
for line in failed:
    print("check-msi:", line, file=sys.stderr)
sys.exit(1 if failed else 0)
PY

# A later version from the same WiX source: the program with eight bytes more, so that the file it leaves is
# recognisably the new one.
major=${version%%.*}
newer_version=$((major + 1)).0
mkdir -p "$work/newer"
cp "$exe" "$work/newer/tessel.exe"
printf '\0\0\0\0\0\0\0\0' >>"$work/newer/tessel.exe"
newer=$work/newer/tessel-$newer_version-$platform.msi
cmake -DWXS="$root/packaging/tessel.wxs" -DEXE="$work/newer/tessel.exe" -DGUIDE="$guide" -DICON="$icon" \
  -DPLATFORM="$platform" -DVERSION="$newer_version" -DSOURCE_DATE_EPOCH_FILE="$epoch_file" -DWORK_DIR="$work/newer/work" -DOUTPUT="$newer" \
  -DWIXL="$(command -v wixl)" -DMSIBUILD="$(command -v msibuild)" -DMSIINFO="$(command -v msiinfo)" \
  -DOSSLSIGNCODE="$(command -v osslsigncode)" -DOPENSSL="$(command -v openssl)" -P "$root/packaging/make-msi.cmake"
newer_product=$(property "$newer" ProductCode)
[ "$newer_product" != "$product" ] || fail "version $newer_version has the product code of $version"
expect "component identities of versions $version and $newer_version" "$(table "$msi" Component | cut -f1-2)" \
  "$(table "$newer" Component | cut -f1-2)"
expect "upgrade codes of versions $version and $newer_version" "$(property "$msi" UpgradeCode)" \
  "$(property "$newer" UpgradeCode)"

# The prefix: a fresh copy whose user folders are its own, not links into this machine's home; no desktop menus.
tessel_fresh_prefix "$WINEPREFIX" headless
for link in "$WINEPREFIX"/drive_c/users/*/*; do
  if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
done
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
# A private screen from the start: Wine's desktop process, started with the server, keeps the display it found.
tessel_start_xvfb 1280x1024
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot </dev/null >/dev/null 2>&1

# The packages are installed from C:\packages, as from a local disk: Wine's start passes no quoted path to msiexec.
mkdir -p "$WINEPREFIX/drive_c/packages"
cp "$msi" "$newer" "$WINEPREFIX/drive_c/packages/"
package() {
  printf 'C:\\packages\\%s' "$(basename "$1")"
}
# msiexec ARGS...: runs msiexec through cmd, which reports its whole exit code (a Unix exit status keeps 8 bits).
# Prints the exit code; the time it took goes to the log.
msiexec() {
  local start end code
  start=$(date +%s.%N)
  code=$(wine cmd /v:on /c "start /wait msiexec $* & echo !errorlevel!" </dev/null 2>/dev/null | tr -d '\r' | tail -n1)
  end=$(date +%s.%N)
  echo "check-msi: msiexec $* took $(awk "BEGIN { printf \"%.2f\", $end - $start }") s and returned $code" >&2
  echo "$code"
}

if [ "$platform" = x64 ]; then
  folder='C:\Apps\Tessel' properties="INSTALLDIR=C:\\Apps\\Tessel DESKTOPSHORTCUT=1" view=/reg:64
  unix_folder=$WINEPREFIX/drive_c/Apps/Tessel
else
  folder='C:\Program Files (x86)\Tessel' properties= view=/reg:32
  unix_folder="$WINEPREFIX/drive_c/Program Files (x86)/Tessel"
fi
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"

# shortcut NAME KIND: the path of the shortcut NAME.lnk in the Start menu (KIND programs) or on the desktop
# (KIND desktop), for all users or (as Wine puts them even for per-machine packages) for the user; or nothing.
shortcut() {
  local candidates
  if [ "$2" = programs ]; then
    candidates=("$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$1.lnk"
      "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/"$1.lnk")
  else
    candidates=("$WINEPREFIX/drive_c/users/Public/Desktop/$1.lnk" "$WINEPREFIX"/drive_c/users/*/Desktop/"$1.lnk")
  fi
  for candidate in "${candidates[@]}"; do
    [ -f "$candidate" ] && echo "$candidate" && return 0
  done
  return 0
}
# The target and working folder of a shell link, from its LinkInfo and StringData (MS-SHLLINK).
link_target() {
  /usr/bin/python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
flags = struct.unpack_from("<I", data, 0x14)[0]
offset, target, folder = 0x4C, "", ""
if flags & 0x01:  # HasLinkTargetIDList
    offset += 2 + struct.unpack_from("<H", data, offset)[0]
if flags & 0x02:  # HasLinkInfo: LocalBasePath
    size, _, _, _, base = struct.unpack_from("<5I", data, offset)
    target = data[offset + base:data.index(b"\0", offset + base)].decode("latin-1")
    offset += size
unicode = flags & 0x80
for bit in (0x04, 0x08, 0x10):  # name, relative path, working folder
    if flags & bit:
        count = struct.unpack_from("<H", data, offset)[0] * (2 if unicode else 1)
        text = data[offset + 2:offset + 2 + count].decode("utf-16-le" if unicode else "latin-1")
        offset += 2 + count
        if bit == 0x10:
            folder = text
print(f"{target} in {folder.rstrip(chr(0)).rstrip(chr(92))}")
PY
}
# entry CODE: the uninstall entry of that product code as reg query prints it, or nothing.
entry() {
  wine reg query "$uninstall_key\\$1" "$view" 2>/dev/null | tr -d '\r' | awk '/^HKEY_/ { found = 1 } found' || true
}
field() {
  awk -v name="$1" '$1 == name { $1 = ""; $2 = ""; sub(/^  /, ""); print }'
}

# check_installed VERSION PRODUCT EXE: what an installed version leaves.
check_installed() {
  local v=$1 code=$2 program=$3 text link
  expect "files in $folder after installing $v" "tessel-guide.html tessel.exe" \
    "$(LC_ALL=C ls "$unix_folder" 2>/dev/null | xargs)"
  cmp -s "$program" "$unix_folder/tessel.exe" || fail "$folder\\tessel.exe is not the program of version $v"
  cmp -s "$guide" "$unix_folder/tessel-guide.html" || fail "$folder\\tessel-guide.html is not the guide built"
  for link in "Tessel tessel.exe" "Tessel guide tessel-guide.html"; do
    text=$(shortcut "${link% *}" programs)
    if [ -z "$text" ]; then
      fail "no ${link% *} shortcut in the Start menu after installing $v"
    else
      expect "Start-menu shortcut ${link% *} of $v" "$folder\\${link##* } in $folder" "$(link_target "$text")"
    fi
  done
  link=$(shortcut Tessel desktop)
  if [ "$platform" = x64 ]; then
    if [ -z "$link" ]; then fail "no desktop shortcut after installing $v with DESKTOPSHORTCUT=1 (or its upgrade)"; else
      expect "desktop shortcut of $v" "$folder\\tessel.exe in $folder" "$(link_target "$link")"
    fi
  else
    expect "desktop shortcut without DESKTOPSHORTCUT=1" "" "$link"
  fi
  text=$(entry "$code")
  echo "check-msi: the uninstall entry of version $v, as reg query $view prints it:"
  echo "$text"
  expect "DisplayName" "Tessel C-Language Simulator" "$(field DisplayName <<<"$text")"
  expect "Publisher" "Tessel team" "$(field Publisher <<<"$text")"
  expect "DisplayVersion" "$v" "$(field DisplayVersion <<<"$text")"
  expect "InstallLocation" "$folder\\" "$(field InstallLocation <<<"$text")"
  expect "NoModify" "0x1" "$(field NoModify <<<"$text")"
  expect "NoRepair" "0x1" "$(field NoRepair <<<"$text")"
  expect "UninstallString" "MsiExec.exe /X$code" "$(field UninstallString <<<"$text")"
  # Wine writes no DisplayIcon but keeps the product icon where Windows does; the tables say the rest.
  cmp -s "$icon" "$WINEPREFIX/drive_c/windows/Installer/$code/tessel.ico" ||
    fail "the product icon of $v is not tessel.exe's icon in C:\\windows\\Installer\\$code"
}

echo "check-msi: installing $(basename "$msi") ${properties:-with the defaults}"
expect "msiexec /i $(basename "$msi") /qn" 0 "$(msiexec /i "$(package "$msi")" /qn $properties)"
check_installed "$version" "$product" "$exe"

if [ "$platform" = x64 ]; then
  # The installed program, started as its Start-menu shortcut says (Wine's start cannot open a shortcut in a
  # prefix like this one: "failed to get data object"): its window appears on a private screen.
  target=$(link_target "$(shortcut Tessel programs)")
  wine "${target% in *}" </dev/null >/dev/null 2>&1 &
  tessel_pid=$!
  window=
  for _ in $(seq 600); do
    window=$(xwininfo -root -tree | awk '/"Tessel C-Language Simulator": \("tessel.exe"/ { print $1; exit }')
    [ -n "$window" ] && break
    kill -0 "$tessel_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -n "$window" ]; then
    echo "check-msi: ${target% in *} opened its window $window"
  else
    fail "${target% in *}, the Start-menu shortcut's target, opened no window"
  fi
  wine taskkill /f /im tessel.exe </dev/null >/dev/null 2>&1 || true
  wait "$tessel_pid" 2>/dev/null || true
fi

echo "check-msi: upgrading to $(basename "$newer")"
expect "msiexec /i $(basename "$newer") /qn" 0 "$(msiexec /i "$(package "$newer")" /qn)"
expect "entry of $version after the upgrade" "" "$(entry "$product")"
check_installed "$newer_version" "$newer_product" "$work/newer/tessel.exe"

echo "check-msi: installing version $version over $newer_version"
# 1603: the launch condition failed; with /qn its message goes to the log (the table check above has the text).
expect "msiexec /i $(basename "$msi") /qn over $newer_version" 1603 "$(msiexec /i "$(package "$msi")" /qn)"
expect "entry of $version after the downgrade was refused" "" "$(entry "$product")"
expect "DisplayVersion after the downgrade was refused" "$newer_version" "$(entry "$newer_product" | field DisplayVersion)"
cmp -s "$work/newer/tessel.exe" "$unix_folder/tessel.exe" || fail "the refused downgrade changed tessel.exe"

echo "check-msi: uninstalling"
expect "msiexec /x $(basename "$newer") /qn" 0 "$(msiexec /x "$(package "$newer")" /qn)"
# Stopping the server writes the registry to the prefix's files, where every key is seen at once.
tessel_stop_wineserver
left=$(cd "$WINEPREFIX/drive_c" && find . -path ./packages -prune -o -iname '*tessel*' -print | sort)
expect "files and shortcuts of Tessel left after uninstalling" "" "$left"
squished() {
  # Windows Installer's packed form of a GUID, under which it keeps products and components.
  /usr/bin/python3 -c 'import sys, uuid
u = uuid.UUID(sys.argv[1]).hex.upper()
print("".join(p[::-1] for p in (u[0:8], u[8:12], u[12:16])) + "".join(u[i + 1] + u[i] for i in range(16, 32, 2)))' "$1"
}
for pattern in tessel "${product:1:36}" "${newer_product:1:36}" "$(squished "$product")" "$(squished "$newer_product")"; do
  expect "registry lines with $pattern left after uninstalling" "" \
    "$(grep -i -h -F "$pattern" "$WINEPREFIX"/*.reg | head -n3 || true)"
done

if [ "$failures" -ne 0 ]; then
  echo "check-msi: $failures failures; the prefix is in $WINEPREFIX" >&2
  exit 1
fi
# A prefix is some 700 MB.
rm -rf "$WINEPREFIX"
echo "check-msi: $(basename "$msi") installed, upgraded to $newer_version, refused $version over it, uninstalled"
