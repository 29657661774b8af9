#!/usr/bin/env bash
# Measures tessel.html in headless Chromium against the frame-only page: size, and load time to the 25th caption.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
began=$(date +%s)
for tool in cmake clang++ wasm-ld c++ chromium node npm; do
  command -v "$tool" >/dev/null || { scripts/setup.sh test; break; }
done

cmake --preset wasm32 >/dev/null
cmake --build --preset wasm32 --target tessel_page -j"$(nproc)" >/dev/null
bin=$PWD/build/wasm32
npm_dir=$bin/tests/web/npm
tests/web/tools.sh "$npm_dir" >/dev/null

loads=${TESSEL_BENCH_LOADS:-20}
size_budget=24576
page_size=$(stat -c %s "$bin/tessel.html")
module_size=$(stat -c %s "$bin/web/tessel.wasm")
frame_size=$(stat -c %s "$bin/frame.html")
result=$(NODE_PATH=$npm_dir/node_modules node bench/web_load.js "$bin/tessel.html" "$bin/frame.html" "$loads")
value() { printf '%s\n' "$result" | awk -v key="$1" '$1 == key { print $2; exit }'; }
page_ms=$(value page_median_ms)
frame_ms=$(value frame_median_ms)
ratio=$(awk -v a="$page_ms" -v b="$frame_ms" 'BEGIN { printf "%.2f", a / b }')

echo
echo "Tessel browser edition, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "machine: $(nproc) CPUs, $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo), $(chromium --version 2>/dev/null | head -n1), load $(cut -d' ' -f1-3 /proc/loadavg)"
verdict="within budget"
[ "$page_size" -le "$size_budget" ] || verdict="OVER BUDGET"
echo "1. size: tessel.html is $page_size bytes (module $module_size bytes); budget $size_budget bytes: $verdict"
echo "2. load, navigation start to ready, median of $loads loads each, 1366 x 768 viewport:"
echo "     tessel.html#tick=0 $page_ms ms (range $(value page_range_ms)) to the 25th caption"
echo "     frame only ($frame_size bytes) $frame_ms ms (range $(value frame_range_ms)) to its status text"
echo "     ratio $ratio"
echo "wall time: $(($(date +%s) - began)) s"
[ "$verdict" = "within budget" ]
