#!/usr/bin/env bash
# Builds the zip and the Debian package with cpack and checks them with the ecosystem's own validators.
# usage: check-packages.sh CPackConfig.cmake OUT_DIR VERSION TESSEL.exe
set -euo pipefail
config=$1 out=$2 version=$3 exe=$4
failures=0
fail() {
  echo "check-packages: $*" >&2
  failures=$((failures + 1))
}
# expect WHAT EXPECTED ACTUAL
expect() {
  [ "$2" = "$3" ] || fail "$1: expected \"$2\", got \"$3\""
}

rm -rf "$out"
mkdir -p "$out"
cpack --config "$config" -B "$out" -G "ZIP;DEB" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log" >&2; exit 1; }
zip=$out/tessel-$version-win32.zip deb=$out/tessel_${version}_all.deb
for package in "$zip" "$deb"; do
  [ -f "$package" ] || { echo "check-packages: cpack made no $package" >&2; exit 1; }
done

# The zip: exactly three files, the texts in CRLF, and the very tessel.exe that was built, with its version resource.
/usr/bin/python3 - "$zip" "$exe" "$version" <<'PY' || failures=$((failures + 1))
import sys, zipfile
import pefile

zip_path, exe_path, version = sys.argv[1:]
failed = []
def expect(what, expected, actual):
    if expected != actual:
        failed.append(f"{what}: expected {expected!r}, got {actual!r}")

with zipfile.ZipFile(zip_path) as archive:
    expect(f"files of {zip_path}", ["LICENSE.txt", "README.txt", "tessel.exe"], sorted(archive.namelist()))
    for name in ("README.txt", "LICENSE.txt"):
        text = archive.read(name) if name in archive.namelist() else b""
        lines = text.split(b"\n")
        bare = [n + 1 for n, line in enumerate(lines[:-1]) if not line.endswith(b"\r")]
        expect(f"{name}: lines without CRLF", [], bare)
        expect(f"{name}: ends with a line end", b"", lines[-1])
    exe = archive.read("tessel.exe") if "tessel.exe" in archive.namelist() else b""
with open(exe_path, "rb") as built:
    expect("tessel.exe in the zip is the one built", True, exe == built.read())

# The version resource as the file holds it, read without Windows.
pe = pefile.PE(data=exe)
strings, translations = {}, []
for info in getattr(pe, "FileInfo", [[]])[0]:
    for table in getattr(info, "StringTable", []):
        expect("string table language and code page", b"040904B0", table.LangID.upper())
        strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    for var in getattr(info, "Var", []):
        translations.append(var.entry.get(b"Translation"))
expect("version resource strings", {
    "CompanyName": "Tessel team",
    "FileDescription": "Tessel C-Language Simulator",
    "FileVersion": version,
    "InternalName": "tessel",
    "LegalCopyright": "Copyright (C) 2026 Tessel team, MIT License",
    "OriginalFilename": "tessel.exe",
    "ProductName": "Tessel",
    "ProductVersion": version,
}, strings)
expect("version resource translation", ["0x0409 0x04b0"], translations)
numbers = [int(n) for n in version.split(".")] + [0, 0, 0]
fixed = pe.VS_FIXEDFILEINFO[0]
expect("FILEVERSION", numbers[:4], [fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                                    fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF])
expect("PRODUCTVERSION", [fixed.FileVersionMS, fixed.FileVersionLS], [fixed.ProductVersionMS, fixed.ProductVersionLS])
dlls = sorted(entry.dll.decode().upper() for entry in pe.DIRECTORY_ENTRY_IMPORT)
expect("imported DLLs", ["COMCTL32.DLL", "GDI32.DLL", "KERNEL32.DLL", "USER32.DLL"], dlls)
for line in failed:
    print("check-packages:", line, file=sys.stderr)
sys.exit(1 if failed else 0)
PY

# The Debian package: its fields and files, then lintian with every tag it can show.
expect "Package Version Architecture" "tessel $version all" \
  "$(dpkg-deb -f "$deb" Package Version Architecture | sed 's/^[A-Za-z]*: //' | xargs)"
expect "Depends" "wine (>= 8.0~), wine32 (>= 8.0~), fonts-wine" "$(dpkg-deb -f "$deb" Depends)"
# The AppStream id is a cache variable of the build; its file is the one metainfo of the package.
metainfo=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed -n 's|^\./usr/share/metainfo/\(.*\.metainfo\.xml\)$|\1|p')
expected_files="/usr/bin/tessel
/usr/share/applications/tessel.desktop
/usr/share/doc/tessel/changelog.gz
/usr/share/doc/tessel/copyright
/usr/share/icons/hicolor/32x32/apps/tessel.png
/usr/share/icons/hicolor/64x64/apps/tessel.png
/usr/share/man/man1/tessel.1.gz
/usr/share/metainfo/${metainfo:-ID.metainfo.xml}
/usr/share/tessel/tessel.exe"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort)
expect "files of $(basename "$deb")" "$(echo $expected_files)" "$(echo $files)"
lintian_out=$(lintian --pedantic --display-info --display-experimental --show-overrides "$deb" 2>&1 |
  grep -v '^running with root privileges' || true)
echo "lintian --pedantic -I -E --show-overrides: ${lintian_out:-no tags}"
expect "lintian tags" "" "$lintian_out"

tree=$out/tree
dpkg-deb -x "$deb" "$tree"
desktop-file-validate "$tree/usr/share/applications/tessel.desktop" || fail "desktop-file-validate tessel.desktop"
appstreamcli validate --no-net --pedantic "$tree/usr/share/metainfo/$metainfo" || fail "appstreamcli validate $metainfo"
for size in 32 64; do
  expect "PNG header of the ${size}x${size} icon" "${size} x ${size}, 8-bit/color RGBA" \
    "$(file -b "$tree/usr/share/icons/hicolor/${size}x${size}/apps/tessel.png" | sed 's/^PNG image data, //; s/, non-interlaced//')"
done
cmp -s "$exe" "$tree/usr/share/tessel/tessel.exe" || fail "usr/share/tessel/tessel.exe is not the tessel.exe built"

# The launcher answers --version and --help without Wine, and refuses arguments: tessel.exe takes none.
launcher=$tree/usr/bin/tessel
expect "tessel --version" "tessel $version" "$("$launcher" --version)"
"$launcher" --help | grep -q '^Usage: tessel' || fail "tessel --help prints no usage line"
set +e
"$launcher" extra >/dev/null 2>&1
rc=$?
set -e
expect "exit code of tessel with an argument" 2 "$rc"

if [ "$failures" -ne 0 ]; then
  echo "check-packages: $failures failures" >&2
  exit 1
fi
ls -l "$zip" "$deb" | awk '{ print "check-packages:", $5, "bytes", $9 }'
echo "check-packages: the zip, the Debian package, lintian, desktop-file-validate, appstreamcli and the version resource agree"
