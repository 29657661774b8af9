#!/bin/bash
# Starts of tessel in turn on one X display as the user running this, until one fails; usage (in the tests folder):
# debian/tests/desktop.sh LIMIT_S SCREENS_DIR START... Each is timed to a managed, viewable window of its title and
# class and to its 25th caption (tessel_remote.exe ready), then closed; the launcher must exit 0. fresh-N: Wine
# stopped and the user's prefix removed first. killed-N: the launcher's process group killed while it prepares.
set -uo pipefail
# shellcheck source=tests/display/display.sh
. display/display.sh
limit=$1 screens=$2 data=${XDG_DATA_HOME:-$HOME/.local/share}/tessel title="Tessel C-Language Simulator" pid=
shift 2
# The remote control runs in the user's prefix beside Tessel, under the 64-bit loader the launcher uses.
export WINEPREFIX=$data/win64 WINEARCH=win64 WINEDEBUG=-all WINELOADER=/usr/lib/wine/wine64
remote() { XDG_CACHE_HOME=$data/cache "$WINELOADER" /usr/local/lib/tessel-tests/tessel_remote.exe "$@" | tr -d '\r'; }
ms() { echo $(($(date +%s%3N) - began)); }
x_window() { tessel_x_window "\"$1\": (\"$2\" \"$3\")"; }
usable() { xprop -root _NET_CLIENT_LIST | grep -qiw -- "$1" && xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }
stop() { [ -z "$pid" ] || kill -KILL -- "-$pid"; [ ! -d "$data" ] || /usr/lib/wine/wineserver64 -k; }
trap '{ stop; tessel_stop_openbox; tessel_stop_xvfb; } 2>/dev/null' EXIT
trap 'exit 143' TERM INT
# crash NAME: waits for a sign that the launcher prepares the prefix, then kills its process group.
crash() {
  local sign='' left=''
  while kill -0 "$pid" 2>/dev/null && [ "$(ms)" -lt 60000 ] && [ -z "$sign" ]; do
    if [ -e "$data/win64.new" ]; then sign="it copied the machine's prefix"
    elif [ "$data/update.log" -nt /tmp/began ] || [ "$data/prepare.log" -nt /tmp/began ]; then
      sleep 1 && sign="Wine prepared the prefix"
    fi
  done
  [ -n "$sign" ] || { echo "start $1: the launcher was never seen preparing"; return 1; }
  kill -KILL -- "-$pid" && wait "$pid" 2>/dev/null
  pid=
  for name in lock win64.new win64 win64/.tessel-ready; do [ ! -e "$data/$name" ] || left="$left $name"; done
  echo "start $1: the launcher's process group killed after $(ms) ms, while $sign; left:${left:- nothing}"
}
# start NAME: one start; a line of figures, "start NAME: ...", and what was seen on lines of their own, indented.
start() {
  local window='' notice='' notice_ms='' window_ms load look status rc
  case $1 in fresh-*) /usr/lib/wine/wineserver64 -w; rm -rf "$data" ;; esac
  touch /tmp/began && began=$(date +%s%3N)
  setsid tessel >"/tmp/tessel-$1.log" 2>&1 &
  pid=$!
  case $1 in killed-*) crash "$1"; return ;; esac
  # Until the window shows: Tessel's notice, if any, is timed and its screen saved.
  while [ "$(ms)" -lt $((limit * 1000)) ] && kill -0 "$pid" 2>/dev/null; do
    if [ -z "$notice_ms" ] && notice=$(x_window Tessel tessel-notice Xmessage) && usable "${notice:-none}"; then
      notice_ms=$(ms) && echo "  start $1: notice window $notice after $notice_ms ms"
      xwd -root -silent >"$screens/notice-$1.xwd"
    fi
    window=$(x_window "$title" tessel.exe tessel.exe)
    [ -n "$window" ] && usable "$window" && break
    window='' && sleep 0.05
  done
  if [ -z "$window" ]; then
    # What runs and what is on the screen instead, to tell a hung Wine from a window that went unnoticed.
    echo "start $1: no managed, viewable window titled \"$title\" within $limit s; tessel said:"
    { cat "/tmp/tessel-$1.log"; ps -u "$(id -u)" -o pid,etime,time,args; xwininfo -root -tree; } |
      grep -v '(has no name)' | sed 's/^/    /'
    return 1
  fi
  # The load beside the figure: two CPUs shared with other work make a cold Wine start slower. tessel.exe fills
  # the captions before it shows its window: the remote says whether they were all there at its first look.
  window_ms=$(ms) load=$(cut -d' ' -f1-3 /proc/loadavg) look=$(remote ready 30000)
  status=$?
  echo "start $1: window $window_ms ms, 25 captions $(ms) ms ($look), load average $load" \
    "${notice_ms:+(notice after $notice_ms ms)}"
  remote close 10000 >/dev/null || { echo "  start $1: the window did not close"; status=1; }
  wait "$pid"
  rc=$? pid=
  echo "  start $1: tessel exited with $rc; it said: $(cat "/tmp/tessel-$1.log")"
  [ "$status" -eq 0 ] && [ "$rc" -eq 0 ]
}
tessel_start_xvfb 1280x1024 || { echo "Xvfb gave no display"; exit 1; }
# The window manager is the test's, not Tessel's: its cache goes to /tmp, away from the home folder's check.
XDG_CACHE_HOME=/tmp/openbox-cache tessel_start_openbox || { echo "openbox does not manage the screen"; exit 1; }
for name in "$@"; do start "$name" || exit 1; done
