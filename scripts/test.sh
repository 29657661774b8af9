#!/usr/bin/env bash
# Builds and runs every test: the core natively, the browser edition in Chromium, then the Windows build under Wine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh test

source scripts/wine-env.sh

not_run=
for preset in native wasm32 mingw-i686; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
  if [ "$preset" = mingw-i686 ] && ! tessel_wine_runs_32bit; then
    # Said loudly, not passed: the Windows tests need a machine that runs 32-bit programs.
    not_run="the Windows tests under Wine were built but NOT RUN. $tessel_no_32bit_message."
    echo "test: $not_run" >&2
    ctest --preset "$preset" -L package
    continue
  fi
  ctest --preset "$preset"
done
scripts/fuzz.sh 12
[ -z "$not_run" ] || echo "test: $not_run" >&2
