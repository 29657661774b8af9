#!/usr/bin/env bash
# Builds the zip and the Debian package with cpack and checks them with the ecosystem's own validators.
# usage: check-packages.sh CPackConfig.cmake OUT_DIR VERSION TESSEL.exe TESSEL_X86_64.exe TESSEL-GUIDE.html
set -euo pipefail
config=$1 out=$2 version=$3 exe=$4 exe64=$5 guide=$6
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

rm -rf "$out"
mkdir -p "$out"
cpack --config "$config" -B "$out" -G "ZIP;DEB" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log" >&2; exit 1; }
zip=$out/tessel-$version-win32.zip deb=$out/tessel_${version}_amd64.deb
for package in "$zip" "$deb"; do
  [ -f "$package" ] || { echo "check-packages: cpack made no $package" >&2; exit 1; }
done

# The zip: exactly four files, the texts in CRLF, the guide and the very tessel.exe that were built, with its version
# resource.
/usr/bin/python3 - "$zip" "$exe" "$version" "$exe64" <<'PY' || failures=$((failures + 1))
import sys, zipfile
import pefile

zip_path, exe_path, version, exe64_path = sys.argv[1:]
failed = []
def expect(what, expected, actual):
    if expected != actual:
        failed.append(f"{what}: expected {expected!r}, got {actual!r}")

with zipfile.ZipFile(zip_path) as archive:
    expect(f"files of {zip_path}", ["LICENSE.txt", "README.txt", "tessel-guide.html", "tessel.exe"],
           sorted(archive.namelist()))
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
expect("machine of the zip's tessel.exe", "IMAGE_FILE_MACHINE_I386", pefile.MACHINE_TYPE.get(pe.FILE_HEADER.Machine))

# The Debian package's second tessel.exe, for Wine's 64-bit part: x86-64, the same imports, nothing more.
pe64 = pefile.PE(exe64_path)
expect("machine of the x86-64 tessel.exe", "IMAGE_FILE_MACHINE_AMD64", pefile.MACHINE_TYPE.get(pe64.FILE_HEADER.Machine))
expect("imported DLLs of the x86-64 tessel.exe", dlls,
       sorted(entry.dll.decode().upper() for entry in pe64.DIRECTORY_ENTRY_IMPORT))
for line in failed:
    print("check-packages:", line, file=sys.stderr)
sys.exit(1 if failed else 0)
PY
unzip -p "$zip" tessel-guide.html | cmp -s - "$guide" || fail "tessel-guide.html in the zip is not the guide built"

# The Debian package: its fields and files, then lintian with every tag it can show.
# amd64 and Wine's 64-bit part, so that no i386 package is needed; Wine's 32-bit part serves too.
expect "Package Version Architecture" "tessel $version amd64" \
  "$(dpkg-deb -f "$deb" Package Version Architecture | sed 's/^[A-Za-z]*: //' | xargs)"
expect "Depends" "wine64 (>= 8.0~) | wine32 (>= 8.0~), fonts-wine" "$(dpkg-deb -f "$deb" Depends)"
expect "Recommends" "x11-utils" "$(dpkg-deb -f "$deb" Recommends)"
# The AppStream id is a cache variable of the build; its file is the one metainfo of the package.
metainfo=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed -n 's|^\./usr/share/metainfo/\(.*\.metainfo\.xml\)$|\1|p')
expected_files="/usr/bin/tessel
/usr/lib/tessel/prefix.sh
/usr/lib/tessel/win32/tessel.exe
/usr/lib/tessel/win64/tessel.exe
/usr/share/applications/tessel.desktop
/usr/share/doc-base/tessel.tessel-guide
/usr/share/doc/tessel/changelog.gz
/usr/share/doc/tessel/copyright
/usr/share/doc/tessel/tessel-guide.html
/usr/share/icons/hicolor/32x32/apps/tessel.png
/usr/share/icons/hicolor/64x64/apps/tessel.png
/usr/share/man/man1/tessel.1.gz
/usr/share/metainfo/${metainfo:-ID.metainfo.xml}"
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
cmp -s "$exe" "$tree/usr/lib/tessel/win32/tessel.exe" || fail "usr/lib/tessel/win32/tessel.exe is not the i686 tessel.exe built"
cmp -s "$exe64" "$tree/usr/lib/tessel/win64/tessel.exe" || fail "usr/lib/tessel/win64/tessel.exe is not the x86-64 tessel.exe built"
cmp -s "$guide" "$tree/usr/share/doc/tessel/tessel-guide.html" || fail "usr/share/doc/tessel/tessel-guide.html is not the guide built"

# The maintainer scripts: postinst prepares the machine's prefix, also when Wine's wine.inf changes (the
# trigger), postrm removes it; both strict, both POSIX sh, and neither may fail when Wine cannot help.
control=$out/control
dpkg-deb -e "$deb" "$control"
expect "control files" "control md5sums postinst postrm triggers" "$(ls "$control" | xargs)"
expect "triggers" "interest-noawait /usr/share/wine/wine.inf" "$(grep -v '^#' "$control/triggers")"
for script in postinst postrm; do
  expect "$script: first line" "#!/bin/sh" "$(head -n1 "$control/$script")"
  grep -qx 'set -e' "$control/$script" || fail "$script does not set -e"
  sh -n "$control/$script" || fail "$script: sh -n"
done
grep -q '^    rm -rf /var/cache/tessel$' "$control/postrm" || fail "postrm does not remove /var/cache/tessel"

# The prefix functions, with Wine's own files where this machine has them (the Windows test suites need them):
# only files equal to Wine's become links, a copy for a user keeps the links and drops what names root's server
# and profile, and a prefix is current only with Wine's time stamp (written with CR LF) of today's wine.inf.
wine_dir=$(ls -d /usr/lib/*/wine/*-windows/kernel32.dll 2>/dev/null | head -n1 || true)
wine_dir=${wine_dir%/kernel32.dll}
inf=$(ls /usr/share/wine/wine.inf /usr/lib/wine/wine.inf 2>/dev/null | head -n1 || true)
if [ -n "$wine_dir" ] && [ -f "$wine_dir/user32.dll" ] && [ -n "$inf" ]; then
  fake=$out/prefixes
  mkdir -p "$fake/made/drive_c/windows/system32" "$fake/made/drive_c/windows/Fonts" "$fake/made/drive_c/users/root"
  cp "$wine_dir/kernel32.dll" "$wine_dir/user32.dll" "$fake/made/drive_c/windows/system32/"
  echo changed >>"$fake/made/drive_c/windows/system32/user32.dll"
  echo wine-XXXXXX >"$fake/made/wineserver"
  sh -c '. "$1"; tessel_mark_ready "$2"' sh "$tree/usr/lib/tessel/prefix.sh" "$fake/made"
  printf '%s\r\n' "$(stat -c %Y "$inf")" >"$fake/made/.update-timestamp"
  sh -c '. "$1"; tessel_link_wine_files "$2/made" && tessel_copy_prefix "$2/made" "$2/copy"' sh \
    "$tree/usr/lib/tessel/prefix.sh" "$fake" || fail "tessel_link_wine_files or tessel_copy_prefix failed"
  expect "kernel32.dll, equal to Wine's" "$wine_dir/kernel32.dll" "$(readlink "$fake/copy/drive_c/windows/system32/kernel32.dll")"
  [ ! -L "$fake/copy/drive_c/windows/system32/user32.dll" ] || fail "a user32.dll unlike Wine's became a link"
  [ ! -d /usr/share/wine/fonts ] || [ -L "$fake/copy/drive_c/windows/Fonts/$(ls /usr/share/wine/fonts | head -n1)" ] ||
    fail "Wine's fonts are not linked into the prefix"
  [ ! -e "$fake/copy/wineserver" ] && [ ! -e "$fake/copy/drive_c/users/root" ] ||
    fail "the user's copy keeps the note of root's Wine server or root's profile"
  current() { sh -c '. "$1"; tessel_prefix_current "$2"' sh "$tree/usr/lib/tessel/prefix.sh" "$1"; }
  current "$fake/copy" || fail "a prefix with today's wine.inf time stamp is not current"
  echo 1 >"$fake/copy/.update-timestamp"
  ! current "$fake/copy" || fail "a prefix with another wine.inf time stamp is current"
  : >"$fake/made/.tessel-ready"
  ! current "$fake/made" || fail "a prefix prepared by an older Tessel (empty .tessel-ready) is current"
  rm "$fake/made/.tessel-ready"
  ! current "$fake/made" || fail "a prefix without .tessel-ready is current"
else
  echo "check-packages: no Wine here; the prefix functions are not tried"
fi

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
