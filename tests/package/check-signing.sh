#!/usr/bin/env bash
# Signs the release with a throwaway certificate of a throwaway CA, made here with openssl: the second build, which
# check-reproducible.sh left where it ran, is configured with it and packed again. osslsigncode must accept every
# signature against that CA, the zip, the Debian package and the MSIs must hold the signed programs, and removing
# a signature must give back the unsigned file byte for byte, as both builds made it. Last,
# scripts/compare-release.sh must rebuild the signed release byte for byte, with its signatures attached.
# usage: check-signing.sh WORK_DIR VERSION
set -euo pipefail
work=$(realpath "$1") version=$2
build=$work/second/build/package/build signing=$work/signing release=$work/first/source-root/build/package
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

rm -rf "$signing"
mkdir -p "$signing"
cd "$signing"
# The CA, and a code-signing certificate it issued, with its key in a PKCS#12 file whose password is in a file.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tessel throwaway test CA" -keyout ca.key -out ca.crt \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tessel throwaway test signer/O=Tessel team" -CA ca.crt \
  -CAkey ca.key -keyout signer.key -out signer.crt -addext basicConstraints=CA:FALSE \
  -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning 2>/dev/null
echo "throwaway $RANDOM" >password
openssl pkcs12 -export -inkey signer.key -in signer.crt -certfile ca.crt -passout file:password -out signer.p12

# signed WHAT SIGNED UNSIGNED: osslsigncode accepts SIGNED's signature, by the throwaway certificate, against the
# throwaway CA; and removing it gives UNSIGNED byte for byte.
signed() {
  local output
  if output=$(osslsigncode verify -CAfile ca.crt -in "$2" 2>&1); then
    grep -q "Tessel throwaway test signer" <<<"$output" || fail "$1 is signed, but not by the throwaway certificate"
  else
    fail "osslsigncode verify rejects $1:"
    echo "$output" | tail -n 12 >&2
  fi
  rm -f removed
  osslsigncode remove-signature -in "$2" -out removed >/dev/null 2>&1 || { fail "cannot remove the signature of $1"; return; }
  cmp -s removed "$3" || fail "$1 without its signature is not the unsigned file $3"
}
# holds WHAT FILE PROGRAM: FILE, unpacked from a package, is the signed PROGRAM.
holds() {
  cmp -s "$2" "$build/packaging/release/$3/tessel.exe" || fail "$1 does not hold the signed $3 tessel.exe"
}

# The same steps as for an unsigned release, with the certificate: the build signs the programs, packs them,
# then signs the MSIs; cpack packs again. Dated as the unsigned build was.
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(cat "$build/packaging/source-date-epoch")
quietly configure.log cmake "$build" -DTESSEL_SIGN_PKCS12="$signing/signer.p12" \
  -DTESSEL_SIGN_PASSWORD_FILE="$signing/password" -DTESSEL_SIGN_TIMESTAMP_URL= -DTESSEL_SIGNATURES_DIR=
quietly build.log cmake --build "$build" -j"$(nproc)"
quietly cpack.log cpack --config "$build/CPackConfig.cmake" -B "$signing/packages" -G "ZIP;DEB"
packages=$signing/packages
for platform in x86 x64; do
  msi=tessel-$version-$platform.msi
  signed "the $platform tessel.exe" "$build/packaging/release/$platform/tessel.exe" \
    "$release/build/packaging/release/$platform/tessel.exe"
  # Without its signature, the MSI the build made from the signed program before signing it.
  signed "$msi" "$packages/$msi" "$build/packaging/msi-$platform/unsigned.msi"
  msiextract -C "msi-$platform" "$packages/$msi" >/dev/null
  holds "$msi" "$(find "msi-$platform" -name tessel.exe)" "$platform"
  # And the unsigned MSI of the reproducible build, signed as the build signs and unsigned again.
  cmake -DINPUT="$release/$msi" -DOUTPUT="$signing/reproducible-$msi" -DOSSLSIGNCODE="$(command -v osslsigncode)" \
    -DPKCS12="$signing/signer.p12" -DPASSWORD_FILE="$signing/password" -P "$work/second/packaging/sign.cmake"
  signed "the reproducible $msi, signed" "$signing/reproducible-$msi" "$release/$msi"
done
unzip -q -d zip "$packages/tessel-$version-win32.zip"
holds "the zip" zip/tessel.exe x86
dpkg-deb -x "$packages/tessel_${version}_amd64.deb" deb
holds "the Debian package" deb/usr/lib/tessel/win32/tessel.exe x86
holds "the Debian package" deb/usr/lib/tessel/win64/tessel.exe x64

# As someone comparing the signed release with a rebuild of its sources would, in the second build's folder.
if ! "$work/second/scripts/compare-release.sh" "$packages" >compare.log 2>&1; then
  fail "scripts/compare-release.sh did not rebuild the signed release byte for byte:"
  tail -n 30 compare.log >&2
fi
finish "both programs and both MSIs signed, each signature accepted against the test CA, the signed programs" \
  "in the zip, the Debian package and the MSIs, each file unsigned again byte for byte, and the signed release" \
  "rebuilt byte for byte by scripts/compare-release.sh"
