#!/usr/bin/env bash
# Runs the web harness once and the racing-starts group RUNS times (50 by default) in a fresh Debian 12 root of
# bookworm's main archive alone (its Firefox ESR is older than the host's), made and thrown away by mmdebstrap.
# usage: tests/debian/fresh-robustness.sh [RUNS]   (as root; results in build/fresh-robustness/)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
if [ "${1:-}" = inside ]; then
  # Called back by mmdebstrap's hook with the root as $2: every step runs in it, each run's log is kept there.
  root=$2 runs=$3 passed=0
  # Node takes the system's authorities, with those this host trusts locally (a network's TLS proxy, say).
  in_root() { chroot "$root" env -i -C /root/tessel HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    NODE_EXTRA_CA_CERTS=/etc/ssl/certs/ca-certificates.crt "$@"; }
  mkdir -p "$root/root/results" && in_root update-ca-certificates >/dev/null
  echo "fresh-robustness: $(in_root firefox-esr --version), $(in_root wine --version 2>/dev/null)"
  status=0 && { in_root cmake --preset wasm32 && in_root cmake --build --preset wasm32 -j2 &&
    in_root ctest --preset wasm32 --output-on-failure; } >"$root/root/results/wasm32.log" 2>&1 || status=$?
  echo "fresh-robustness: ctest --preset wasm32: exit $status"
  { in_root cmake --preset mingw-x86_64 && in_root cmake --build --preset mingw-x86_64 -j2; } \
    >"$root/root/results/build.log" 2>&1 || { tail -n 20 "$root/root/results/build.log"; exit 1; }
  for run in $(seq "$runs"); do
    if in_root ctest --preset mingw-x86_64 -L robustness --output-on-failure >"$root/root/results/robustness-$run.log" 2>&1
    then passed=$((passed + 1)) result=passed; else result=FAILED; fi
    echo "fresh-robustness: run $run: $result ($passed of $run passed)"
  done
  echo "fresh-robustness: $passed of $runs passed"
  exit 0
fi
source tests/debian/mirror.sh
out=$PWD/build/fresh-robustness
rm -rf "$out" && mkdir -p "$out"
git archive --format=tar --prefix=tessel/ HEAD >"$out/source.tar"
echo "fresh-robustness: checkout $(git log -1 --format='%h %s')" | tee "$out/summary.log"
packages=(cmake make python3 python3-pefile g++ g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 fonts-wine
  libgtest-dev googletest xvfb x11-utils wixl msitools osslsigncode openssl strip-nondeterminism pandoc unzip
  clang lld nodejs npm chromium firefox-esr webkit2gtk-driver libwebkit2gtk-4.1-0 ca-certificates)
mmdebstrap --mode=unshare --variant=apt --include="$(IFS=,; echo "${packages[*]}")" \
  --customize-hook="tar-in $out/source.tar /root" \
  --customize-hook="copy-in /usr/local/share/ca-certificates /usr/local/share" \
  --customize-hook="$PWD/tests/debian/fresh-robustness.sh inside \"\$1\" ${1:-50}" \
  --customize-hook="copy-out /root/results $out" \
  bookworm /dev/null "deb $TESSEL_DEBIAN_MIRROR bookworm main" 2>&1 | tee -a "$out/summary.log"
grep -q "^fresh-robustness: ${1:-50} of ${1:-50} passed" "$out/summary.log" && grep -q "wasm32: exit 0" "$out/summary.log"
