#!/usr/bin/env bash
# Builds and runs every test: the core natively, the browser edition in Chromium, then the Windows build under Wine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh test

for preset in native wasm32 mingw-i686; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
  ctest --preset "$preset"
done
scripts/fuzz.sh 12
