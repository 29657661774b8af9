#!/usr/bin/env bash
# Looks at tessel.exe from the X side under a window manager: a managed client, centred, raised by a second start.
# usage: desktop-check.sh TESSEL.exe REMOTE.exe WIDTHxHEIGHT   (DISPLAY, WINEPREFIX and the window manager set up)
set -euo pipefail
tessel=$1 remote=$2 screen=$3 title="Tessel C-Language Simulator" tessel_pid=
source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../display/display.sh"
trap '[ -z "$tessel_pid" ] || kill "$tessel_pid" 2>/dev/null || true' EXIT
# Where everything runs several times slower (an emulated machine), the time limits are that many times longer.
scale=${TESSEL_TIME_SCALE:-1}
case "$screen" in
  1280x1024) centred="160 103 960 819" ;;
  *) echo "desktop-check: no expected placement for a $screen screen" >&2; exit 1 ;;
esac
# within COMMAND...: polls COMMAND until it succeeds, for at most ten seconds (times the scale).
within() { for _ in $(seq $((200 * scale))); do "$@" && return 0; sleep 0.05; done; return 1; }
numeric() { printf '%d' "$1"; }
root_windows() { xprop -root "$1" | sed -n 's/.*# //p' | tr ',' '\n' | tr -d ' ' | grep . || true; }
client_list() { for w in $(root_windows _NET_CLIENT_LIST); do numeric "$w"; echo; done; }
net_state() { xprop -id "$window" _NET_WM_STATE | sed 's/.*= *//'; }
# grep reads all its input (no -q): an early exit could end the writer with SIGPIPE, which fails under pipefail.
is_hidden() { net_state | grep _NET_WM_STATE_HIDDEN >/dev/null; }
active_window() { numeric "$(root_windows _NET_ACTIVE_WINDOW | head -n1)"; }
is_shown_and_active() { ! is_hidden && [ "$(active_window)" = "$(numeric "$window")" ]; }
wine "$tessel" &
tessel_pid=$!
wine "$remote" ready $((30000 * scale)) || { echo "desktop-check: no ready Tessel window" >&2; exit 1; }
window=$(tessel_x_window "\"$title\": (\"tessel.exe\"")
[ -n "$window" ] || { echo "desktop-check: no X window titled \"$title\"" >&2; exit 1; }
# A client of the window manager, not an override-redirect window it cannot see.
client_list | grep -x "$(numeric "$window")" >/dev/null ||
  fail "_NET_CLIENT_LIST: $window is missing from { $(root_windows _NET_CLIENT_LIST | xargs) }"
info=$(xwininfo -id "$window")
field() { sed -n "s/^ *$1: *//p" <<<"$info"; }
expect "override-redirect state of $window" no "$(field 'Override Redirect State')"
expect "WM_CLASS of $window" '"tessel.exe", "tessel.exe"' "$(xprop -id "$window" WM_CLASS | sed 's/.*= //')"
# Centred at 75 % by 80 % of the screen, and X's client window where Windows has the client area.
read -r _ wx wy ww wh _ cx cy cw ch <<<"$(wine "$remote" place | tr -d '\r')"
expect "main window rectangle (x y width height)" "$centred" "$wx $wy $ww $wh"
expect "X client window of $window (x y width height)" "$cx $cy $cw $ch" \
  "$(field 'Absolute upper-left X') $(field 'Absolute upper-left Y') $(field Width) $(field Height)"
# A second start restores and raises the minimised window, then exits with 0.
wine "$remote" minimize
within is_hidden ||
  fail "_NET_WM_STATE of $window after minimising: expected _NET_WM_STATE_HIDDEN, got \"$(net_state)\""
second=0
wine "$tessel" || second=$?
expect "exit code of the second start" 0 "$second"
within is_shown_and_active || fail "after the second start: expected $window shown and active," \
  "got _NET_WM_STATE \"$(net_state)\" and active window $(root_windows _NET_ACTIVE_WINDOW)"
expect "clients of the window manager after the second start" "$(numeric "$window")" "$(client_list | xargs)"
wine "$remote" close $((10000 * scale)) || fail "the window did not close"
rc=0
wait "$tessel_pid" || rc=$?
tessel_pid=
expect "exit code after closing" 0 "$rc"
finish "$window is a managed, centred client of the window manager and a second start raises it"
