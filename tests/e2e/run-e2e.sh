#!/usr/bin/env bash
# Runs the end-to-end driver against tessel.exe in a fresh copy of the Wine prefix on a private Xvfb screen.
# usage: run-e2e.sh WIDTHxHEIGHT DRIVER.exe TESSEL.exe WORK_DIR [driver flags...]
set -euo pipefail
screen=$1 driver=$(realpath "$2") tessel=$(realpath "$3") work=$(realpath -m "$4")
shift 4
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh"

mkdir -p "$work"
WINEPREFIX=$(mktemp -d "$work/prefix-$screen.XXXXXX")
export WINEPREFIX
driver_pid=
cleanup() {
  # Killing the prefix's own server ends every program still running in it, the driver included.
  tessel_stop_wineserver
  [ -n "$driver_pid" ] && wait "$driver_pid" 2>/dev/null || true
  tessel_stop_xvfb
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

tessel_fresh_prefix "$WINEPREFIX" headless
tessel_start_xvfb "$screen"
echo "e2e: screen $screen on display $DISPLAY, prefix $WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
# The prefix's services start here, away from the test runner's pipes.
wine wineboot </dev/null >/dev/null 2>&1

# In the background, so that a signal reaches the trap at once.
wine "$driver" "Z:${tessel//\//\\}" "$@" &
driver_pid=$!
set +e
wait "$driver_pid"
rc=$?
set -e
driver_pid=
exit "$rc"
