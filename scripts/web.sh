#!/usr/bin/env bash
# Builds the browser edition, build/wasm32/tessel.html, prints its path and opens it when there is a display;
# without one it saves a screenshot of the page instead.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
# clang and lld build the module; the host compiler, the tests' native side.
scripts/setup.sh web
cmake --preset wasm32 >/dev/null
cmake --build --preset wasm32 --target tessel_page -j"$(nproc)" >/dev/null
page=$PWD/build/wasm32/tessel.html
echo "page: $page ($(stat -c %s "$page") bytes)"
echo "open it in any browser, from disk and offline; $(basename "$page")#tick=N shows the set of seed N"
if [ -n "${DISPLAY:-}" ] && command -v xdg-open >/dev/null; then
  xdg-open "$page" >/dev/null 2>&1 &
elif [ -z "${DISPLAY:-}" ] && command -v chromium >/dev/null; then
  # Without a display: a screenshot of the set of seed 0 in a 1280 x 1024 viewport, from a throw-away profile.
  screenshot=$PWD/build/wasm32/tessel-screenshot.png
  profile=$(mktemp -d)
  trap 'rm -rf "$profile"' EXIT
  timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-background-networking --disable-component-update \
    --disable-sync --no-first-run --disable-quic --user-data-dir="$profile" --hide-scrollbars --window-size=1280,1024 \
    --screenshot="$screenshot" "file://$page#tick=0" >/dev/null 2>&1
  echo "screenshot: $screenshot"
fi
