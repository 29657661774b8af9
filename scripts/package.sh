#!/usr/bin/env bash
# Builds the releases into build/package/: tessel-<version>-win32.zip for Windows and tessel_<version>_amd64.deb.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh package
cmake --preset package >/dev/null
cmake --build --preset package -j"$(nproc)" >/dev/null
# Left by earlier versions, which made an architecture-independent package: not to be mistaken for today's.
rm -f build/package/tessel_*_all.deb
cpack --preset package >build/package/cpack.log 2>&1 || { cat build/package/cpack.log >&2; exit 1; }
for file in build/package/tessel-*-win32.zip build/package/tessel_*_amd64.deb; do
  printf '%s\t%s bytes\n' "$PWD/$file" "$(stat -c %s "$file")"
done
