# Sourced with tests/wine/wine-env.sh: the screens of the runs not shown on the user's display, an Xvfb of their own
# and, for a desktop, openbox on it. TESSEL_TIME_SCALE=N (the emulated machine's, where all runs several times slower)
# makes the waits for them N times longer.
# shellcheck shell=bash
# tessel_end PID: ends the process PID, when there is one, and waits for it.
tessel_end() { [ -z "$1" ] || { kill "$1"; wait "$1"; } 2>/dev/null || true; }
# tessel_x_window TEXT: the first X window whose line in xwininfo's tree holds TEXT. awk reads to the end: exiting at
# the match could end xwininfo, still writing, with SIGPIPE, which fails the pipeline under pipefail.
tessel_x_window() { xwininfo -root -tree 2>/dev/null | awk -v t="$1" 'index($0, t) && !found { print $1; found = 1 }'; }
# Starts Xvfb with a 24-bit screen of the given size (WxH) on a free display, which it names once it is ready;
# sets DISPLAY and TESSEL_XVFB_PID. The caller stops it with tessel_stop_xvfb.
tessel_start_xvfb() {
  local fd display=''
  exec {fd}< <(exec Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp -noreset 3>&1 >/dev/null 2>&1)
  TESSEL_XVFB_PID=$!
  read -r -t $((5 * ${TESSEL_TIME_SCALE:-1})) display <&"$fd" || true
  exec {fd}<&-
  [ -n "$display" ] || return 1
  export DISPLAY=:$display
}
tessel_stop_xvfb() { tessel_end "${TESSEL_XVFB_PID:-}"; TESSEL_XVFB_PID=''; }
# Starts openbox, a window manager of Debian's, on DISPLAY and waits until it manages the screen;
# sets TESSEL_WM_PID. The caller stops it with tessel_stop_openbox.
tessel_start_openbox() {
  openbox --sm-disable </dev/null >/dev/null 2>&1 &
  TESSEL_WM_PID=$!
  for _ in $(seq $((100 * ${TESSEL_TIME_SCALE:-1}))); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    kill -0 "$TESSEL_WM_PID" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}
tessel_stop_openbox() { tessel_end "${TESSEL_WM_PID:-}"; TESSEL_WM_PID=''; }
