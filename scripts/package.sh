#!/usr/bin/env bash
# Builds the release files into build/package/ (tessel-<version>-win32.zip, tessel-<version>-x86.msi and -x64.msi,
# tessel_<version>_amd64.deb, tessel.html, tessel-keys.html, tessel-guide.html), prints each with its size and SHA-256
# and writes SHA256SUMS there. SOURCE_DATE_EPOCH dates it (by default the last commit). docs/release.md says how to
# sign it (TESSEL_SIGN_PKCS12, TESSEL_SIGN_PASSWORD_FILE, TESSEL_SIGN_TIMESTAMP_URL), or attach the signatures of a
# signed release (TESSEL_SIGNATURES_DIR), and how to rebuild a release and compare it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh package
# Paths as the build sees them, which runs elsewhere.
absolute() { [ -z "$1" ] || realpath -m "$1"; }
pkcs12=$(absolute "${TESSEL_SIGN_PKCS12:-}")
password_file=$(absolute "${TESSEL_SIGN_PASSWORD_FILE:-}")
signatures=$(absolute "${TESSEL_SIGNATURES_DIR:-}")
if [ -n "$signatures" ]; then
  echo "package: attaching the signatures in $signatures" >&2
elif [ -n "$pkcs12" ]; then
  [ -f "$pkcs12" ] || { echo "package: TESSEL_SIGN_PKCS12=$pkcs12 is no file" >&2; exit 1; }
  echo "package: signing with $pkcs12${TESSEL_SIGN_TIMESTAMP_URL:+, time-stamped by $TESSEL_SIGN_TIMESTAMP_URL}" >&2
else
  echo "package: no TESSEL_SIGN_PKCS12, so the release is unsigned" >&2
fi
cmake --preset package -DTESSEL_SIGN_PKCS12="$pkcs12" -DTESSEL_SIGN_PASSWORD_FILE="$password_file" \
  -DTESSEL_SIGN_TIMESTAMP_URL="${TESSEL_SIGN_TIMESTAMP_URL:-}" -DTESSEL_SIGNATURES_DIR="$signatures" >/dev/null
cmake --build --preset package -j"$(nproc)" >/dev/null
# Only this build's files, not those of another version (or the architecture-independent package of old).
rm -f build/package/tessel[-_.]* build/package/SHA256SUMS
cpack --preset package >build/package/cpack.log 2>&1 || { cat build/package/cpack.log >&2; exit 1; }
epoch=$(cat build/package/build/packaging/source-date-epoch)
echo "package: dated $(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S UTC') (SOURCE_DATE_EPOCH=$epoch)"
files=(build/package/tessel-*-win32.zip build/package/tessel-*-x86.msi build/package/tessel-*-x64.msi
  build/package/tessel_*_amd64.deb build/package/tessel.html build/package/tessel-keys.html
  build/package/tessel-guide.html)
# An MSI, the guide inside, is meant to stay within 96 KiB; a signature with a long certificate chain may take it
# over, which is said, not refused.
msi_budget=98304
for file in "${files[@]}"; do
  [ -f "$file" ] || { echo "package: no $file" >&2; exit 1; }
  size=$(stat -c %s "$file")
  printf '%s\t%s bytes\tSHA-256 %s\n' "$PWD/$file" "$size" "$(sha256sum "$file" | cut -d' ' -f1)"
  [[ $file != *.msi ]] || [ "$size" -le "$msi_budget" ] ||
    echo "package: $(basename "$file") is over its budget of $msi_budget bytes" >&2
done
(cd build/package && sha256sum "${files[@]#build/package/}" >SHA256SUMS)
