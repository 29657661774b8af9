#!/usr/bin/env bash
# Rebuilds a release of Tessel from this checkout with scripts/package.sh and compares it with the release's files,
# byte for byte: the zip, both MSIs, the Debian package and the three pages, as published in RELEASE_DIR. The rebuild
# is dated as the release is; a signed release's signatures go onto the rebuilt programs and MSIs, which gives the
# signed files byte for byte only if the rebuilt files are the very ones signed (docs/release.md).
# usage: scripts/compare-release.sh RELEASE_DIR
set -euo pipefail
{ [ $# -eq 1 ] && [ -d "$1" ]; } || { echo "usage: scripts/compare-release.sh RELEASE_DIR" >&2; exit 2; }
release=$(realpath "$1")
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh package
work=$PWD/build/compare
rm -rf "$work"
mkdir -p "$work/signatures"
# The one file of the release that each name matches.
files=()
for pattern in 'tessel-*-win32.zip' 'tessel-*-x86.msi' 'tessel-*-x64.msi' 'tessel_*_amd64.deb' tessel.html \
  tessel-keys.html tessel-guide.html; do
  # shellcheck disable=SC2206 # a glob, meant to expand
  found=("$release"/$pattern)
  { [ ${#found[@]} -eq 1 ] && [ -f "${found[0]}" ]; } ||
    { echo "compare-release: no single $pattern in $release" >&2; exit 1; }
  files+=("${found[0]}")
done
zip=${files[0]} x86_msi=${files[1]} x64_msi=${files[2]} deb=${files[3]}
# The date: that of the Debian package's first ar member (bytes 24 to 35: the mtime of debian-binary).
SOURCE_DATE_EPOCH=$(dd if="$deb" bs=1 skip=24 count=12 2>/dev/null | tr -d ' ')
export SOURCE_DATE_EPOCH
# The programs, out of the zip and the Debian package; then every signature there is.
unzip -p "$zip" tessel.exe >"$work/tessel-x86.exe"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/tessel/win64/tessel.exe >"$work/tessel-x64.exe"
signed=()
for file in "$work/tessel-x86.exe" "$work/tessel-x64.exe" "$x86_msi" "$x64_msi"; do
  if osslsigncode extract-signature -in "$file" -out "$work/signatures/$(basename "$file").sig" >/dev/null 2>&1; then
    signed+=("$(basename "$file")")
  fi
done
unset TESSEL_SIGN_PKCS12 TESSEL_SIGN_PASSWORD_FILE TESSEL_SIGN_TIMESTAMP_URL TESSEL_SIGNATURES_DIR
case ${#signed[@]} in
  0) echo "compare-release: the release is unsigned" ;;
  4)
    echo "compare-release: the release is signed; its signatures go onto the rebuilt programs and MSIs"
    export TESSEL_SIGNATURES_DIR=$work/signatures
    ;;
  *) echo "compare-release: only ${signed[*]} of the release are signed" >&2; exit 1 ;;
esac
scripts/package.sh
differ=0
for file in "${files[@]}"; do
  name=$(basename "$file")
  if cmp -s "$file" "build/package/$name"; then
    echo "compare-release: $name is the same, SHA-256 $(sha256sum "$file" | cut -d' ' -f1)"
  else
    echo "compare-release: $name DIFFERS from the rebuilt build/package/$name" >&2
    differ=$((differ + 1))
    ! command -v diffoscope >/dev/null || diffoscope --no-progress "$file" "build/package/$name" >&2 || true
  fi
done
[ "$differ" -eq 0 ] || { echo "compare-release: $differ of the 7 files differ" >&2; exit 1; }
echo "compare-release: all 7 files of $release are the same as this checkout's rebuild"
