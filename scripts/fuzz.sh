#!/usr/bin/env bash
# Builds the libFuzzer targets of the core and runs each for the given seconds (default 600), as CTest tests side by
# side; a failure shows the end of that target's output, where libFuzzer reports the crash and its input.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh fuzz
seconds=${1:-600}
echo "== fuzz, $seconds s per target"
cmake -S tests/fuzz -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DTESSEL_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build build/fuzz -j"$(nproc)" >/dev/null
# A fresh scratch corpus for each run, so that a run starts from the repository's seeds alone.
rm -rf build/fuzz/run
ctest --test-dir build/fuzz -j"$(nproc)" --output-on-failure --test-output-size-failed 8192 \
  --test-output-truncation head
