#!/usr/bin/env bash
# Builds the browser edition, build/wasm32/tessel.html, prints its path and opens it when there is a display.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# clang, lld and a host C++ compiler come with the test tools; install them only when one is missing.
for tool in cmake make python3 clang++ wasm-ld c++; do
  if ! command -v "$tool" >/dev/null; then
    echo "web: $tool is missing; installing the build and test tools with scripts/setup.sh test" >&2
    scripts/setup.sh test
    break
  fi
done

cmake --preset wasm32 >/dev/null
cmake --build --preset wasm32 --target tessel_page -j"$(nproc)" >/dev/null
page=$PWD/build/wasm32/tessel.html
echo "page: $page ($(stat -c %s "$page") bytes)"
echo "open it in any browser, from disk and offline; $(basename "$page")#tick=N shows the set of seed N"
if [ -n "${DISPLAY:-}" ] && command -v xdg-open >/dev/null; then
  xdg-open "$page" >/dev/null 2>&1 &
fi
