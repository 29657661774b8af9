#!/usr/bin/env bash
# Runs the end-to-end driver against tessel.exe in a fresh copy of the Wine prefix on a private Xvfb screen.
# usage: run-e2e.sh win32|win64 [--desktop REMOTE.exe] WIDTHxHEIGHT DRIVER.exe TESSEL.exe WORK_DIR [driver flags...]
# win32 or win64: the kind of Wine prefix, as the programs were built for i686 or x86_64. --desktop: as on a user's
# desktop, under the openbox window manager with Wine's default (managed) windows; after the driver,
# desktop-check.sh looks at the window from the X side.
set -euo pipefail
export TESSEL_WINE_ARCH=$1 && shift
remote=
[ "${1:-}" != --desktop ] || { remote=$(realpath "$2") && shift 2; }
screen=$1 driver=$(realpath "$2") tessel=$(realpath "$3") work=$(realpath -m "$4") here=$(dirname "${BASH_SOURCE[0]}")
shift 4
source "$here/../wine/wine-env.sh"
mkdir -p "$work"
WINEPREFIX=$(mktemp -d "$work/prefix-$screen.XXXXXX")
export WINEPREFIX
driver_pid=
# Ends every program in the prefix; killed outright (CTest's time limit), -p60 ends the server a minute later.
trap 'tessel_stop_wineserver; [ -z "$driver_pid" ] || wait "$driver_pid" 2>/dev/null || true
  tessel_stop_openbox; tessel_stop_xvfb; rm -rf "$WINEPREFIX"' EXIT
trap 'exit 130' INT TERM
tessel_start_xvfb "$screen"
kind=headless
[ -z "$remote" ] || kind=managed
tessel_fresh_prefix "$WINEPREFIX" "$kind"
if [ -n "$remote" ] && ! tessel_start_openbox; then echo "e2e: openbox did not start on $DISPLAY" >&2; exit 1; fi
echo "e2e: screen $screen on display $DISPLAY${remote:+ with openbox, managed windows}, prefix $WINEPREFIX"
wineserver -p60 </dev/null >/dev/null 2>&1
# The prefix's services start here, away from the test runner's pipes.
wine wineboot </dev/null >/dev/null 2>&1
# In the background, so that a signal reaches the trap at once. A failed driver or check ends the run with its code.
wine "$driver" "Z:${tessel//\//\\}" "$@" &
driver_pid=$!
wait "$driver_pid"
driver_pid=
[ -z "$remote" ] || "$here/desktop-check.sh" "$tessel" "$remote" "$screen"
