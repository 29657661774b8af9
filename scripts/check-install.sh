#!/usr/bin/env bash
# Installs tessel_<version>_all.deb in a fresh minimal Debian root, starts it as a user on a desktop, removes it.
# usage: scripts/check-install.sh [SUITE]   (bookworm by default, or trixie; as root; a few minutes, ~600 MB)
# Results go to build/check-install/SUITE/: the logs, the file lists and summary.txt.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
TESSEL_ROOT=$PWD
suite=${1:-bookworm}
source scripts/debian-root.sh
debian_root_prerequisites check-install

results=$PWD/build/check-install/$suite
root=$PWD/build/check-install/root-$suite
user=student
home=/home/$user
title="Tessel C-Language Simulator"
rm -rf "$results"
mkdir -p "$results"

debian_root_guard "$root"

scripts/package.sh | tee "$results/package.txt"
deb=$(ls -t build/package/tessel_*_all.deb | head -n1)
version=$(dpkg-deb -f "$deb" Version)

failures=()
# step NAME COMMAND...: runs a step, logging to NAME.log; a failed step is noted and the run goes on.
step() {
  local name=$1 started=$SECONDS status=0
  shift
  "$@" >"$results/$name.log" 2>&1 || status=$?
  echo "check-install: $name: exit $status after $((SECONDS - started)) s"
  [ "$status" -eq 0 ] || failures+=("$name")
  return 0
}
in_root() { debian_root_exec "$root" "$@"; }
as_user() { in_root runuser -u "$user" -- env HOME="$home" USER="$user" LOGNAME="$user" "$@"; }
apt_in_root() { in_root env DEBIAN_FRONTEND=noninteractive apt-get -y -q "$@"; }
# Everything on the root's own file system but the places that apt, dpkg, logs and users change anyway.
snapshot() {
  in_root find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp -o -path /var/tmp \
    -o -path /var/cache -o -path /var/lib/apt -o -path /var/lib/dpkg -o -path /var/log -o -path /home \
    -o -path /root \) -prune -o -print | sort
}

began=$SECONDS
echo "check-install: making a minimal $suite root in $root"
debian_root_create "$suite" "$root"
debian_root_mount "$root"
made=$((SECONDS - began))

# The desktop to try it on: an X server, a window manager and X's inspection tools, all before Tessel.
in_root useradd --create-home --shell /bin/bash "$user"
in_root dpkg --add-architecture i386
step desktop-tools apt_in_root install --no-install-recommends xvfb openbox x11-utils
cp "$deb" "$root/tmp/"
cp build/package/build/tools/tessel_remote.exe "$root/tmp/"

# Before Wine is there, the launcher says what to install.
in_root sh -c "mkdir -p /tmp/unpacked && dpkg-deb -x /tmp/$(basename "$deb") /tmp/unpacked"
without_wine() {
  local out status=0
  out=$(in_root /tmp/unpacked/usr/bin/tessel 2>&1) || status=$?
  printf '%s\nexit %s\n' "$out" "$status"
  [ "$status" -eq 1 ] && grep -q 'sudo apt install wine32:i386' <<<"$out"
}
step without-wine without_wine

# As a user would, after enabling i386: apt-get update, then the package file itself with its Recommends.
install_package() {
  apt_in_root update && apt_in_root install "/tmp/$(basename "$deb")"
}
started=$SECONDS
step install install_package
install_seconds=$((SECONDS - started))
in_root dpkg -L tessel | sort >"$results/dpkg-L.txt" || true
in_root dpkg-query -W -f='${Package} ${Version} ${Architecture}\n' tessel wine wine32:i386 fonts-wine \
  >"$results/installed.txt" 2>&1 || true
wine_version=$(in_root sh -c 'wine --version 2>&1 || echo "no wine"')
snapshot >"$results/files-installed.txt"
as_user find "$home" | sort >"$results/home-before.txt"

step launcher-options as_user sh -c "tessel --version | grep -qx 'tessel $version' && tessel --help | grep -q '^Usage: tessel'"

# The desktop run, as the user: Xvfb, openbox, then tessel twice; each time from the command to a
# managed window with the right title whose 25th instruction caption is written, then closed.
cat >"$root/tmp/desktop-run.sh" <<'EOF'
#!/bin/bash
set -u
title=$1
remote=/tmp/tessel_remote.exe
export WINEPREFIX=${XDG_DATA_HOME:-$HOME/.local/share}/tessel/prefix WINEARCH=win32 WINEDEBUG=-all
xvfb= wm= tessel_pid=
cleanup() {
  [ -z "$tessel_pid" ] || kill "$tessel_pid" 2>/dev/null
  [ ! -d "$WINEPREFIX" ] || wineserver -k 2>/dev/null
  [ -z "$wm" ] || kill "$wm" 2>/dev/null
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 143' TERM INT
Xvfb :7 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:7
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
# The window manager is the test's, not Tessel's: its cache goes to /tmp, away from the home folder's check.
XDG_CACHE_HOME=/tmp/openbox-cache openbox --sm-disable >/dev/null 2>&1 &
wm=$!
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done

now() { date +%s%N; }
x_window() { xwininfo -root -tree | awk -v t="\"$title\": (\"tessel.exe\" \"tessel.exe\")" 'index($0, t) { print $1; exit }'; }
managed() { xprop -root _NET_CLIENT_LIST | tr -c '0-9a-fx\n' ' ' | tr ' ' '\n' | grep -qix "$1"; }
failed=0
# start N LIMIT_S: one start of tessel, timed to the managed window, checked and closed.
start() {
  local n=$1 limit=$2 began window= rc
  began=$(now)
  tessel >"/tmp/tessel-start-$n.log" 2>&1 &
  tessel_pid=$!
  while [ $(($(now) - began)) -lt $((limit * 1000000000)) ]; do
    window=$(x_window)
    [ -n "$window" ] && managed "$window" && [ "$(xwininfo -id "$window" | awk '/Map State/ { print $3 }')" = IsViewable ] && break
    kill -0 "$tessel_pid" 2>/dev/null || break
    window=
    sleep 0.05
  done
  if [ -z "$window" ]; then
    echo "start $n: no managed, viewable window titled \"$title\" within $limit s; tessel said:"
    cat "/tmp/tessel-start-$n.log"
    failed=1
    kill "$tessel_pid" 2>/dev/null
    wineserver -k 2>/dev/null
    wait "$tessel_pid"
    tessel_pid=
    return 1
  fi
  echo "start $n: managed window $window after $((($(now) - began) / 1000000)) ms"
  wine "$remote" ready 30000 || { echo "start $n: the window did not fill its instruction captions"; failed=1; }
  echo "start $n: ready after $((($(now) - began) / 1000000)) ms"
  echo "start $n: WM_NAME $(xprop -id "$window" WM_NAME | sed 's/.*= //'), WM_CLASS $(xprop -id "$window" WM_CLASS | sed 's/.*= //')"
  echo "start $n: $(xwininfo -id "$window" | awk '/Override Redirect/ { print "override-redirect", $4 }'), place $(wine "$remote" place | tr -d '\r')"
  wine "$remote" close 10000 || { echo "start $n: the window did not close"; failed=1; }
  wait "$tessel_pid"
  rc=$?
  tessel_pid=
  echo "start $n: tessel exited with $rc"
  [ "$rc" -eq 0 ] || failed=1
}
# A second start only after a first one that worked: it would prepare the prefix all over again.
start 1 120 && start 2 60
exit "$failed"
EOF
chmod 755 "$root/tmp/desktop-run.sh"
step desktop as_user timeout -k 10 300 /tmp/desktop-run.sh "$title"
first=$(sed -n 's/^start 1: managed window .* after \([0-9]*\) ms/\1 ms/p' "$results/desktop.log")
second=$(sed -n 's/^start 2: managed window .* after \([0-9]*\) ms/\1 ms/p' "$results/desktop.log")
as_user find "$home" | sort >"$results/home-after-run.txt"
prefix_size=$(as_user du -sh "$home/.local/share/tessel" 2>/dev/null | cut -f1 || true)
prefix_size=${prefix_size:-none}

# Removal: every file of the package goes, with its own folders; the user keeps only the prefix.
step remove apt_in_root remove tessel
snapshot >"$results/files-removed.txt"
as_user find "$home" | sort >"$results/home-after-remove.txt"
left_behind() {
  local path status=0
  while IFS= read -r path; do
    [ "$path" = /. ] && continue
    if [ -d "$root$path" ] && [ ! -L "$root$path" ]; then
      # A folder may stay only while another package still has it.
      if ! in_root dpkg -S "$path" >/dev/null 2>&1; then echo "folder left: $path"; status=1; fi
    elif [ -e "$root$path" ] || [ -L "$root$path" ]; then
      echo "file left: $path"
      status=1
    fi
  done <"$results/dpkg-L.txt"
  comm -13 "$results/files-installed.txt" "$results/files-removed.txt" | sed 's/^/new after removal: /' | grep . && status=1
  comm -13 "$results/home-before.txt" "$results/home-after-remove.txt" |
    grep -v -e "^$home/.local$" -e "^$home/.local/share$" -e "^$home/.local/share/tessel\(/\|$\)" |
    sed 's/^/new in the home folder: /' | grep . && status=1
  return "$status"
}
step left-behind left_behind

os=$(. "$root/etc/os-release" && echo "$PRETTY_NAME")
{
  echo "suite: $suite ($os), $(date -u '+%Y-%m-%d %H:%M UTC'), checkout $(git log -1 --format=%h)"
  echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
  echo "wine: $wine_version"
  echo "minimal root: $made s; apt-get install ./$(basename "$deb"): $install_seconds s"
  sed 's/^/installed: /' "$results/installed.txt"
  echo "first start (prepares the prefix): ${first:-none}; second start: ${second:-none}"
  grep -E '^start [12]: (ready|WM_NAME|override|tessel exited)' "$results/desktop.log" || true
  for name in desktop-tools without-wine install launcher-options desktop remove left-behind; do
    case " ${failures[*]-} " in *" $name "*) echo "$name: FAILED, see $name.log" ;; *) echo "$name: ok" ;; esac
  done
  echo "the user's prefix: $prefix_size"
} | tee "$results/summary.txt"
[ ${#failures[@]} -eq 0 ]
