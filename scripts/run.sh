#!/usr/bin/env bash
# Builds tessel.exe if needed and starts it under Wine in a private prefix.
# Without a display it runs under Xvfb, saves a screenshot, closes the window
# and reports the screenshot's path and the program's exit code.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
if [ -n "${DISPLAY:-}" ]; then scripts/setup.sh run; else scripts/setup.sh run headless; fi

cmake --preset mingw-i686-run >/dev/null
cmake --build --preset mingw-i686-run -j"$(nproc)" >/dev/null
bin=$PWD/build/mingw-i686-run
exe=$bin/shell/tessel.exe

source scripts/wine-env.sh

# On the user's desktop the window is an ordinary one of its window manager (Wine's defaults).
if [ -n "${DISPLAY:-}" ]; then
  export WINEPREFIX=$TESSEL_WINE_DIR/run
  [ -f "$WINEPREFIX/.ready" ] || tessel_fresh_prefix "$WINEPREFIX" managed
  set +e
  wine "$exe"
  rc=$?
  set -e
  echo "tessel.exe exited with code $rc"
  exit "$rc"
fi

# Xvfb without a window manager: the prefix of unmanaged windows, kept apart from the desktop's.
export WINEPREFIX=$TESSEL_WINE_DIR/run-headless
[ -f "$WINEPREFIX/.ready" ] || tessel_fresh_prefix "$WINEPREFIX" headless
screenshot=$PWD/build/tessel-screenshot.png
tessel_pid=
cleanup() {
  [ -n "$tessel_pid" ] && kill "$tessel_pid" 2>/dev/null || true
  tessel_stop_wineserver
  tessel_stop_xvfb
}
trap cleanup EXIT

tessel_start_xvfb "${TESSEL_SCREEN:-1280x1024}"
wine "$exe" &
tessel_pid=$!
wine "$bin/tools/tessel_remote.exe" ready 30000
window=$(xwininfo -root -tree | awk '/"Tessel C-Language Simulator": \("tessel.exe"/ {print $1; exit}')
import -window "${window:-root}" "$screenshot"
wine "$bin/tools/tessel_remote.exe" close 10000
set +e
wait "$tessel_pid"
rc=$?
set -e
tessel_pid=
echo "screenshot: $screenshot"
echo "tessel.exe exited with code $rc"
exit "$rc"
