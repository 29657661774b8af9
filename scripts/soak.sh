#!/usr/bin/env bash
# The full soak: 20,000 double-clicks and 1,000 transient messages against tessel.exe under Wine, with its figures.
# usage: scripts/soak.sh [DOUBLE_CLICKS]   (at least 2000; one transient message per 20 double-clicks)
# Soaks the 32-bit build: here where Wine's 32-bit part runs, else in the emulated Debian machine of
# tests/machine/emulated-machine.sh (or with TESSEL_NO_32BIT=1); the x86-64 build where neither can be had.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh test
source tests/wine/wine-env.sh
clicks=${1:-20000} inside=() preset=mingw-i686 arch=win32
if tessel_wine_runs win32; then
  echo "soak: $preset"
elif why=$(tests/machine/emulated-machine.sh prepare); then
  inside=(tests/machine/emulated-machine.sh run)
  echo "soak: $preset in an emulated Debian 12 machine: here, $(tessel_wine_not_run_reason win32)"
else
  preset=mingw-x86_64 arch=win64
  echo "soak: $preset: $(tessel_wine_not_run_reason win32), and the emulated machine: $why"
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target tessel_e2e -j"$(nproc)" >/dev/null
bin=$PWD/build/$preset
started=$SECONDS
# The driver prints the figures before the first double-click, after the first thousand and after the last,
# and fails when windows or GDI objects differ or memory grew between the last two.
TESSEL_SOAK_CLICKS=$clicks "${inside[@]}" tests/e2e/run-e2e.sh "$arch" 1280x1024 "$bin/tests/e2e/tessel_e2e.exe" \
  "$bin/shell/tessel.exe" "$bin/tests/e2e/runs" --gtest_filter='Soak.*' --gtest_brief=1
echo "soak: $((SECONDS - started)) s"
