#!/usr/bin/env bash
# Signs the release with a throwaway CA's certificate: package.sh again in the second build that check-reproducible.sh
# left where it ran. Every signature accepted against that CA, the packages hold the signed programs, each file unsigned
# again to the byte, and compare-release.sh rebuilds the signed release.
# usage: check-signing.sh WORK_DIR VERSION EPOCH_FILE
set -euo pipefail
work=$(realpath "$1")
version=$2 epoch_file=$3 second=$work/second build=$work/second/build/package/build
release=$work/first/source-root/build/package packages=$work/signing/packages
source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"
rm -rf "$work/signing"
mkdir -p "$work/signing"
cd "$work/signing"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tessel throwaway test CA" -keyout ca.key -out ca.crt \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tessel throwaway test signer/O=Tessel team" -CA ca.crt \
  -CAkey ca.key -keyout signer.key -out signer.crt -addext basicConstraints=CA:FALSE \
  -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning 2>/dev/null
echo "throwaway $RANDOM" >password
openssl pkcs12 -export -inkey signer.key -in signer.crt -certfile ca.crt -passout file:password -out signer.p12
# signed WHAT SIGNED UNSIGNED: SIGNED's signature is the throwaway certificate's, accepted against the throwaway CA,
# and removing it gives UNSIGNED. holds WHAT FILE x86|x64: FILE, unpacked from a package, is that signed program.
signed() {
  local output
  if output=$(osslsigncode verify -CAfile ca.crt -in "$2" 2>&1); then
    grep -q "Tessel throwaway test signer" <<<"$output" || fail "$1 is signed, but not by the throwaway certificate"
  else
    fail "osslsigncode verify rejects $1:" && tail -n 12 <<<"$output" >&2
  fi
  rm -f removed
  osslsigncode remove-signature -in "$2" -out removed >/dev/null 2>&1 ||
    { fail "cannot remove the signature of $1"; return; }
  cmp -s removed "$3" || fail "$1 without its signature is not the unsigned file $3"
}
holds() { cmp -s "$2" "$build/packaging/release/$3/tessel.exe" || fail "$1 does not hold the signed $3 tessel.exe"; }
# Dated as the unsigned build was; the release out of the way of compare-release.sh's rebuild, below.
TESSEL_SIGN_PKCS12=$PWD/signer.p12 TESSEL_SIGN_PASSWORD_FILE=$PWD/password SOURCE_DATE_EPOCH=$(cat "$epoch_file") \
  quietly package.log "$second/scripts/package.sh"
mkdir -p "$packages"
cp "$second"/build/package/tessel[-_.]* "$packages/"
for platform in x86 x64; do
  msi=tessel-$version-$platform.msi
  signed "the $platform tessel.exe" "$build/packaging/release/$platform/tessel.exe" \
    "$release/build/packaging/release/$platform/tessel.exe"
  # Unsigned, the MSI that the build made of the signed program; and the reproducible build's, signed as the build
  # signs.
  signed "$msi" "$packages/$msi" "$build/packaging/msi-$platform/unsigned.msi"
  msiextract -C "msi-$platform" "$packages/$msi" >/dev/null
  holds "$msi" "$(find "msi-$platform" -name tessel.exe)" "$platform"
  cmake -DINPUT="$release/$msi" -DOUTPUT="$PWD/reproducible-$msi" -DOSSLSIGNCODE="$(command -v osslsigncode)" \
    -DPKCS12="$PWD/signer.p12" -DPASSWORD_FILE="$PWD/password" -P "$second/packaging/sign.cmake"
  signed "the reproducible $msi, signed" "reproducible-$msi" "$release/$msi"
done
unzip -q -d zip "$packages/tessel-$version-win32.zip"
dpkg-deb -x "$packages/tessel_${version}_amd64.deb" deb
holds "the zip" zip/tessel.exe x86 && holds "the Debian package" deb/usr/lib/tessel/win32/tessel.exe x86
holds "the Debian package" deb/usr/lib/tessel/win64/tessel.exe x64
# As someone comparing the signed release with a rebuild of its sources would.
"$second/scripts/compare-release.sh" "$packages" >compare.log 2>&1 ||
  { fail "compare-release.sh differs:"; tail -n 30 compare.log >&2; }
finish "signatures accepted against the test CA, in every package, removable to the byte; the signed release rebuilt"
