#!/usr/bin/env bash
# The test programs' shared Wine prefix of one kind: its server started (persistent) or stopped with all that runs in
# it, or a Windows console program run in it. usage: shared-prefix.sh start|stop|run win32|win64 [PROGRAM.exe ARGS...]
set -euo pipefail
usage="usage: shared-prefix.sh start|stop|run win32|win64 [PROGRAM.exe ARGS...]"
export TESSEL_WINE_ARCH=${2:?$usage}
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
case "$1" in
  start)
    tessel_use_shared_prefix
    # Fails harmlessly when a server already runs for the prefix. The prefix's own services start now, away from the
    # test runner's pipes, which they would otherwise inherit and hold open.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    wine wineboot </dev/null >/dev/null 2>&1
    ;;
  stop) export WINEPREFIX=$TESSEL_WINE_DIR/shared && tessel_stop_wineserver ;;
  run)
    tessel_use_shared_prefix
    # exec takes no function: it would find /usr/bin/wine, which prefers the 32-bit loader and keeps randomization.
    exec "${TESSEL_WINE[@]}" "${@:3}"
    ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
