#!/usr/bin/env bash
# Builds tessel.exe if needed and starts it under Wine in a private prefix: the 32-bit build, the program of the zip,
# where Wine's 32-bit part runs, and the x86-64 build otherwise (TESSEL_NO_32BIT=1 chooses it). Without a display it
# runs under Xvfb, saves a screenshot, closes the window and reports the screenshot's path and the program's exit
# code; there TESSEL_SCREEN=WxH sets the screen, TESSEL_DBLCLICK=X,Y double-clicks first (docs/guide/pictures.sh).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
if [ -n "${DISPLAY:-}" ]; then scripts/setup.sh run; else scripts/setup.sh run headless; fi
source tests/wine/wine-env.sh
preset=mingw-i686-run
if tessel_wine_runs win32; then
  echo "run: the 32-bit tessel.exe (i686) under Wine's 32-bit part" >&2
else
  echo "run: the x86-64 tessel.exe under Wine's 64-bit part; not the 32-bit one:" \
    "$(tessel_wine_not_run_reason win32)" >&2
  preset=mingw-x86_64-run && export TESSEL_WINE_ARCH=win64 && unset TESSEL_WINE_DIR
  source tests/wine/wine-env.sh
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)" >/dev/null
bin=$PWD/build/$preset && exe=$bin/shell/tessel.exe remote=$bin/tools/tessel_remote.exe
# On the user's desktop the window is an ordinary one of its window manager (Wine's defaults).
if [ -n "${DISPLAY:-}" ]; then
  export WINEPREFIX=$TESSEL_WINE_DIR/run
  [ -f "$WINEPREFIX/.ready" ] || tessel_fresh_prefix "$WINEPREFIX" managed
  rc=0
  wine "$exe" || rc=$?
  echo "tessel.exe exited with code $rc"
  exit "$rc"
fi
# Xvfb without a window manager: the prefix of unmanaged windows, kept apart from the desktop's.
export WINEPREFIX=$TESSEL_WINE_DIR/run-headless
[ -f "$WINEPREFIX/.ready" ] || tessel_fresh_prefix "$WINEPREFIX" headless
screenshot=$PWD/build/tessel-screenshot.png
tessel_pid=
trap '[ -z "$tessel_pid" ] || kill "$tessel_pid" 2>/dev/null; tessel_stop_wineserver; tessel_stop_xvfb' EXIT
tessel_start_xvfb "${TESSEL_SCREEN:-1280x1024}"
wine "$exe" &
tessel_pid=$!
wine "$remote" ready 30000 >/dev/null
[ -z "${TESSEL_DBLCLICK:-}" ] || wine "$remote" dblclick "${TESSEL_DBLCLICK%,*}" "${TESSEL_DBLCLICK#*,}"
window=$(tessel_x_window '"Tessel C-Language Simulator": ("tessel.exe"')
import -window "${window:-root}" "$screenshot"
wine "$remote" close 10000
rc=0
wait "$tessel_pid" || rc=$?
tessel_pid=
echo "screenshot: $screenshot"
echo "tessel.exe exited with code $rc"
exit "$rc"
