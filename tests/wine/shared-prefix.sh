#!/usr/bin/env bash
# Starts (persistent) or stops the Wine server of the shared test prefix of the given kind.
# usage: wine-server.sh start|stop win32|win64
set -euo pipefail
export TESSEL_WINE_ARCH=${2:?usage: wine-server.sh start|stop win32|win64}
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
case "${1:-}" in
  start)
    tessel_use_shared_prefix
    # Fails harmlessly when a server already runs for the prefix.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    # Start the prefix's own services now, away from the test runner's pipes,
    # which they would otherwise inherit and hold open.
    wine wineboot </dev/null >/dev/null 2>&1
    ;;
  stop)
    export WINEPREFIX=$TESSEL_WINE_DIR/shared
    tessel_stop_wineserver
    ;;
  *) echo "usage: $0 start|stop win32|win64" >&2; exit 2 ;;
esac
