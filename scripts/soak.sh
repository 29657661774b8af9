#!/usr/bin/env bash
# The full soak: 20,000 double-clicks and 1,000 transient messages against tessel.exe under Wine, with its figures.
# usage: scripts/soak.sh [DOUBLE_CLICKS]   (at least 2000; one transient message per 20 double-clicks)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh test

clicks=${1:-20000}
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686 --target tessel_e2e -j"$(nproc)" >/dev/null
bin=$PWD/build/mingw-i686

started=$SECONDS
# The driver prints the figures before the first double-click, after the first thousand and after the last,
# and fails when windows or GDI objects differ or memory grew between the last two.
TESSEL_SOAK_CLICKS=$clicks tests/e2e/run-e2e.sh 1280x1024 "$bin/tests/e2e/tessel_e2e.exe" "$bin/shell/tessel.exe" \
  "$bin/tests/e2e/runs" --gtest_filter='Soak.*' --gtest_brief=1
echo "soak: $((SECONDS - started)) s"
