#!/usr/bin/env bash
# Builds the zip and the Debian package with cpack and checks them with the ecosystem's own validators.
# usage: check-packages.sh CPackConfig.cmake OUT_DIR VERSION TESSEL.exe TESSEL_X86_64.exe TESSEL-GUIDE.html
set -euo pipefail
config=$1 out=$2 version=$3 exe=$4 exe64=$5 guide=$6 here=$(dirname "${BASH_SOURCE[0]}")
source "$here/../checks.sh"
rm -rf "$out"
mkdir -p "$out"
quietly "$out/cpack.log" cpack --config "$config" -B "$out" -G "ZIP;DEB"
zip=$out/tessel-$version-win32.zip deb=$out/tessel_${version}_amd64.deb tree=$out/tree control=$out/control
for package in "$zip" "$deb"; do [ -f "$package" ] || { echo "$checker: cpack made no $package" >&2; exit 1; }; done
# The zip: exactly these files, the texts in CRLF, the very guide and programs built, as pe_version.py sees them.
expect "files of the zip" "LICENSE.txt README.txt tessel-guide.html tessel.exe" \
  "$(unzip -Z1 "$zip" | LC_ALL=C sort | xargs)"
for text in README.txt LICENSE.txt; do
  # grep finds no line when all is well: its status is no failure here.
  bare=$(unzip -p "$zip" "$text" | grep -n -v $'\r$' | cut -d: -f1 | xargs || true)
  expect "$text: the numbers of lines without CRLF, then its last byte (a line end)" 0a \
    "$bare$(unzip -p "$zip" "$text" | tail -c1 | od -An -tx1 | tr -d ' ')"
done
unzip -q -d "$out/zip" "$zip"
dpkg-deb -x "$deb" "$tree"
dpkg-deb -e "$deb" "$control"
for pair in "$exe=zip/tessel.exe" "$guide=zip/tessel-guide.html" "$exe=tree/usr/lib/tessel/win32/tessel.exe" \
  "$exe64=tree/usr/lib/tessel/win64/tessel.exe" "$guide=tree/usr/share/doc/tessel/tessel-guide.html"; do
  cmp -s "${pair%=*}" "$out/${pair##*=}" || fail "${pair##*=} is not the ${pair%=*} built"
done
/usr/bin/python3 "$here/pe_version.py" "$version" "$out/zip/tessel.exe" i386 "$exe64" amd64 ||
  failures=$((failures + 1))
# The Debian package: amd64 and Wine's 64-bit part (or 32-bit), so no i386 package is needed; the files deb-files.txt
# lists (the AppStream id, a cache variable, as ID); lintian with every tag, set -e and sh -n of its scripts among them.
expect "Package Version Architecture Depends Recommends" \
  "tessel|$version|amd64|wine64 (>= 8.0~) | wine32 (>= 8.0~), fonts-wine|x11-utils" \
  "$(dpkg-deb -f "$deb" Package Version Architecture Depends Recommends | sed 's/^[A-Za-z]*: //' | paste -sd '|')"
expect "files of $(basename "$deb")" "$(cat "$here/deb-files.txt")" "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {
  sub(/^\./, "", $6); sub(/metainfo\/.*\.metainfo\.xml$/, "metainfo/ID.metainfo.xml", $6); print $6 }' | LC_ALL=C sort)"
# Without a home page configured (TESSEL_HOMEPAGE_URL), AppStream 1.0 (Debian 13) warns that the metainfo names none,
# and lintian reports that as a failed validation: then appstreamcli below allows that one warning and no other.
metainfo=("$tree"/usr/share/metainfo/*.metainfo.xml) no_homepage=() lintian_skip=()
dpkg-deb -f "$deb" Homepage | grep -q . ||
  ! appstreamcli validate --no-net --override=url-homepage-missing=info "${metainfo[@]}" >/dev/null 2>&1 ||
  no_homepage=(--override=url-homepage-missing=info) lintian_skip=(--suppress-tags=appstream-metadata-validation-failed)
lintian --pedantic -I -E --show-overrides --fail-on error,warning,info,pedantic,experimental,override \
  "${lintian_skip[@]}" "$deb" || fail "lintian"
desktop-file-validate "$tree/usr/share/applications/tessel.desktop" || fail "desktop-file-validate tessel.desktop"
appstreamcli validate --no-net --pedantic "${no_homepage[@]}" "${metainfo[@]}" || fail "appstreamcli validate"
expect "PNG headers of the icons" "32 x 32, 8-bit/color RGBA|64 x 64, 8-bit/color RGBA" \
  "$(file -b "$tree"/usr/share/icons/hicolor/{32x32,64x64}/apps/tessel.png |
    sed 's/^PNG image data, //; s/, non-interlaced//' | paste -sd '|')"
# postinst prepares the machine's prefix, also when Wine's wine.inf changes (the trigger), postrm removes it.
expect "control files" "control md5sums postinst postrm triggers" "$(cd "$control" && echo *)"
expect "triggers" "interest-noawait /usr/share/wine/wine.inf" "$(grep -v '^#' "$control/triggers")"
expect "first lines of postinst and postrm" "#!/bin/sh #!/bin/sh" \
  "$(head -qn1 "$control/postinst" "$control/postrm" | xargs)"
grep -q '^    rm -rf /var/cache/tessel$' "$control/postrm" || fail "postrm does not remove /var/cache/tessel"
# The prefix functions, with Wine's files where this machine has them: only files equal to Wine's become links, a
# user's copy keeps them and drops root's server and profile, and only today's wine.inf time stamp (CR LF) is current.
wine_dir=$(find /usr/lib/*/wine/*-windows -maxdepth 1 -name kernel32.dll -printf '%h\n' -quit 2>/dev/null || true)
inf=$(find /usr/share/wine/wine.inf /usr/lib/wine/wine.inf -print -quit 2>/dev/null || true)
made=$out/prefixes/made copy=$out/prefixes/copy
if [ -n "$wine_dir" ] && [ -f "$wine_dir/user32.dll" ] && [ -n "$inf" ]; then
  mkdir -p "$made/drive_c/windows/system32" "$made/drive_c/windows/Fonts" "$made/drive_c/users/root"
  cp "$wine_dir/kernel32.dll" "$wine_dir/user32.dll" "$made/drive_c/windows/system32/"
  echo changed >>"$made/drive_c/windows/system32/user32.dll"
  echo wine-XXXXXX >"$made/wineserver"
  # prefix FUNCTION ARGS...: one of the package's prefix functions, as its maintainer scripts call them.
  prefix() { sh -c '. "$0"; "$@"' "$tree/usr/lib/tessel/prefix.sh" "$@"; }
  prefix tessel_mark_ready "$made"
  printf '%s\r\n' "$(stat -c %Y "$inf")" >"$made/.update-timestamp"
  { prefix tessel_link_wine_files "$made" && prefix tessel_copy_prefix "$made" "$copy"; } ||
    fail "tessel_link_wine_files or tessel_copy_prefix failed"
  expect "kernel32.dll, equal to Wine's" "$wine_dir/kernel32.dll" \
    "$(readlink "$copy/drive_c/windows/system32/kernel32.dll")"
  [ ! -L "$copy/drive_c/windows/system32/user32.dll" ] || fail "a user32.dll unlike Wine's became a link"
  font=$(find /usr/share/wine/fonts -mindepth 1 -printf '%f\n' -quit 2>/dev/null || true)
  [ -z "$font" ] || [ -L "$copy/drive_c/windows/Fonts/$font" ] ||
    fail "Wine's fonts are not linked into the prefix"
  expect "root's Wine server's note and root's profile in the user's copy" "" \
    "$(find "$copy/wineserver" "$copy/drive_c/users/root" 2>/dev/null)"
  prefix tessel_prefix_current "$copy" || fail "a prefix with today's wine.inf time stamp is not current"
  echo 1 >"$copy/.update-timestamp"
  : >"$made/.tessel-ready"
  ! prefix tessel_prefix_current "$copy" || fail "a prefix with another wine.inf time stamp is current"
  ! prefix tessel_prefix_current "$made" || fail "a prefix prepared by an older Tessel (empty .tessel-ready) is current"
  rm "$made/.tessel-ready"
  ! prefix tessel_prefix_current "$made" || fail "a prefix without .tessel-ready is current"
else echo "$checker: no Wine here; the prefix functions are not tried"; fi
# The launcher answers --version and --help without Wine, and refuses arguments: tessel.exe takes none.
expect "tessel --version" "tessel $version" "$("$tree/usr/bin/tessel" --version)"
"$tree/usr/bin/tessel" --help | grep -q '^Usage: tessel' || fail "tessel --help prints no usage line"
expect "exit code of tessel with an argument" 2 "$("$tree/usr/bin/tessel" extra >/dev/null 2>&1 || echo $?)"
finish "the zip, the Debian package, lintian, desktop-file-validate, appstreamcli and the version resource agree"
