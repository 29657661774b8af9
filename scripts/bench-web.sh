#!/usr/bin/env bash
# Measures tessel.html in headless Chromium against the frame-only page: size, and load time to the 25th caption.
# bench/web_load.js measures and reports; the run fails when the page is over its budget of 24,576 bytes.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
began=$SECONDS
for tool in cmake clang++ wasm-ld c++ chromium node npm; do
  command -v "$tool" >/dev/null || { scripts/setup.sh test; break; }
done

cmake --preset wasm32 >/dev/null
cmake --build --preset wasm32 --target tessel_page -j"$(nproc)" >/dev/null
bin=$PWD/build/wasm32
npm_dir=$bin/tests/web/npm
tests/web/tools.sh "$npm_dir" >/dev/null

status=0
report=$(NODE_PATH=$npm_dir/node_modules node bench/web_load.js "$bin/tessel.html" "$bin/web/tessel.wasm" \
  "$bin/frame.html" "${TESSEL_BENCH_LOADS:-20}" 24576) || status=$?
echo
echo "Tessel browser edition, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "machine: $(nproc) CPUs, $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo), $(chromium --version 2>/dev/null | head -n1), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$report"
echo "wall time: $((SECONDS - began)) s"
exit "$status"
