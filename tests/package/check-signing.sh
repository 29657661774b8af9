#!/usr/bin/env bash
# Signs the release with a throwaway certificate of a throwaway CA, made here with openssl: the second build that
# rebuild-release.sh left is configured with it and packed again. osslsigncode must accept every signature against
# that CA, the programs inside the zip, the Debian package and the MSIs must be the signed ones, and removing a
# signature must give back the unsigned file byte for byte: the programs and MSIs of the reproducible build.
# Last, scripts/compare-release.sh must rebuild the signed release byte for byte, with its signatures attached.
# usage: check-signing.sh WORK_DIR
set -euo pipefail
work=$(realpath "$1")
build=$work/src/build/package/build
signing=$work/signing
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

rm -rf "$signing"
mkdir -p "$signing"
cd "$signing"
# The CA, and a code-signing certificate it issued, with its key in a PKCS#12 file whose password is in a file.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tessel throwaway test CA" -keyout ca.key -out ca.crt \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Tessel throwaway test signer/O=Tessel team" -keyout signer.key \
  -out signer.csr 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
openssl x509 -req -in signer.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 -extfile signer.ext \
  -out signer.crt 2>/dev/null
echo "throwaway $RANDOM" >password
openssl pkcs12 -export -inkey signer.key -in signer.crt -certfile ca.crt -passout file:password -out signer.p12

# verify WHAT FILE: osslsigncode accepts FILE's signature against the throwaway CA, and only that one.
verify() {
  local output
  if output=$(osslsigncode verify -CAfile ca.crt -in "$2" 2>&1); then
    grep -q "Tessel throwaway test signer" <<<"$output" || fail "$1 is signed, but not by the throwaway certificate"
  else
    fail "osslsigncode verify rejects $1:"
    echo "$output" | tail -n 12 >&2
  fi
}
# unsigned WHAT SIGNED UNSIGNED: removing SIGNED's signature gives UNSIGNED byte for byte.
unsigned() {
  rm -f removed
  osslsigncode remove-signature -in "$2" -out removed >/dev/null 2>&1 || { fail "cannot remove the signature of $1"; return; }
  cmp -s removed "$3" || fail "$1 without its signature is not the unsigned file $3"
}

# The same steps as for an unsigned release, with the certificate: the build signs the programs, packs them,
# then signs the MSIs; cpack packs again. Dated as the unsigned build was.
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(cat "$build/packaging/source-date-epoch")
cmake "$build" -DTESSEL_SIGN_PKCS12="$signing/signer.p12" -DTESSEL_SIGN_PASSWORD_FILE="$signing/password" \
  -DTESSEL_SIGN_TIMESTAMP_URL= -DTESSEL_SIGNATURES_DIR= \
  >configure.log 2>&1 || { cat configure.log >&2; exit 1; }
cmake --build "$build" -j"$(nproc)" >build.log 2>&1 || { tail -n 40 build.log >&2; exit 1; }
cpack --config "$build/CPackConfig.cmake" -B "$signing/packages" -G "ZIP;DEB" >cpack.log 2>&1 ||
  { cat cpack.log >&2; exit 1; }
packages=$signing/packages
version=$(cd "$packages" && ls tessel-*-x86.msi | sed 's/^tessel-\(.*\)-x86\.msi$/\1/')

for platform in x86 x64; do
  program=$build/packaging/release/$platform/tessel.exe
  verify "the $platform tessel.exe" "$program"
  unsigned "the $platform tessel.exe" "$program" "$work/second/$platform/tessel.exe"
  msi=$packages/tessel-$version-$platform.msi
  verify "tessel-$version-$platform.msi" "$msi"
  # Inside the MSI, the signed program; without its signature, the MSI the build made from it before signing.
  mkdir -p "msi-$platform"
  msiextract -C "msi-$platform" "$msi" >/dev/null
  cmp -s "$program" "$(find "msi-$platform" -name tessel.exe)" ||
    fail "tessel-$version-$platform.msi does not hold the signed $platform tessel.exe"
  unsigned "tessel-$version-$platform.msi" "$msi" "$build/packaging/msi-$platform/unsigned.msi"
  # And the unsigned MSI of the reproducible build, signed as the build signs and unsigned again.
  cmake -DINPUT="$work/second/tessel-$version-$platform.msi" -DOUTPUT="$signing/reproducible-$platform.msi" \
    -DOSSLSIGNCODE="$(command -v osslsigncode)" -DPKCS12="$signing/signer.p12" -DPASSWORD_FILE="$signing/password" \
    -P "$work/src/packaging/sign.cmake"
  verify "the reproducible tessel-$version-$platform.msi, signed" "$signing/reproducible-$platform.msi"
  unsigned "the reproducible tessel-$version-$platform.msi" "$signing/reproducible-$platform.msi" \
    "$work/second/tessel-$version-$platform.msi"
done
/usr/bin/python3 -m zipfile -e "$packages/tessel-$version-win32.zip" zip
cmp -s zip/tessel.exe "$build/packaging/release/x86/tessel.exe" || fail "the zip does not hold the signed tessel.exe"
dpkg-deb -x "$packages/tessel_${version}_amd64.deb" deb
cmp -s deb/usr/lib/tessel/win32/tessel.exe "$build/packaging/release/x86/tessel.exe" ||
  fail "the Debian package does not hold the signed i686 tessel.exe"
cmp -s deb/usr/lib/tessel/win64/tessel.exe "$build/packaging/release/x64/tessel.exe" ||
  fail "the Debian package does not hold the signed x86-64 tessel.exe"

# As someone comparing the signed release with a rebuild of its sources would, in the second build's folder.
if ! "$work/src/scripts/compare-release.sh" "$packages" >compare.log 2>&1; then
  fail "scripts/compare-release.sh did not rebuild the signed release byte for byte:"
  tail -n 30 compare.log >&2
fi

if [ "$failures" -ne 0 ]; then
  echo "check-signing: $failures failures" >&2
  exit 1
fi
echo "check-signing: both programs and both MSIs signed, each signature accepted against the test CA, the signed"
echo "check-signing: programs in the zip, the Debian package and the MSIs, each file unsigned again byte for byte,"
echo "check-signing: and the signed release rebuilt byte for byte by scripts/compare-release.sh"
