#!/usr/bin/env bash
# Installs tessel_<version>_amd64.deb in a fresh minimal Debian root, starts it as a user on a desktop, removes it.
# usage: tests/debian/check-install.sh [SUITE]   (bookworm by default, or trixie; as root; 10 minutes or so, ~500 MB)
# Then piuparts installs, removes and purges the package in a chroot of its own (TESSEL_PIUPARTS=0 skips it).
# Results go to build/check-install/SUITE/: the logs, the file lists, the screenshot and summary.txt.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
TESSEL_ROOT=$PWD
suite=${1:-bookworm}
source tests/debian/debian-root.sh
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
deb=$(ls -t build/package/tessel_*_amd64.deb | head -n1)
# The remote control that waits for the window's captions and closes it, built for Wine's 64-bit part.
cmake --preset mingw-x86_64-run >/dev/null
cmake --build --preset mingw-x86_64-run >/dev/null
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

in_root useradd --create-home --shell /bin/bash "$user"
cp "$deb" "$root/tmp/"
cp build/mingw-x86_64-run/tools/tessel_remote.exe "$root/tmp/"

# What the install costs on the fresh root, as apt reports it before doing anything: with the Recommends,
# as a user's apt installs it, and without them. apt says "Need to get A/B" when the kept packages hold
# all but A of B: B is what a machine downloads.
install_cost() {
  local out
  apt_in_root update >/dev/null || return 1
  for how in "with Recommends" "without Recommends"; do
    out=$(in_root env DEBIAN_FRONTEND=noninteractive LANG=C apt-get install --assume-no \
      $([ "$how" = "with Recommends" ] || echo --no-install-recommends) "/tmp/$(basename "$deb")" 2>&1 || true)
    printf '%s: %s packages, %s, %s, %s of them i386\n' "$how" \
      "$(sed -n 's/^\([0-9]*\) upgraded, \([0-9]*\) newly installed.*/\2/p' <<<"$out")" \
      "$(sed -n 's/^Need to get \([^ ]* [kMG]*B\/\)\{0,1\}\([^ ]* [kMG]*B\) of archives.*/\2 download/p' <<<"$out")" \
      "$(sed -n 's/^After this operation, \([^ ]* [kMG]*B\) of additional disk space.*/\1 on disk/p' <<<"$out")" \
      "$(sed -n '/NEW packages will be installed/,/^[0-9]* upgraded/p' <<<"$out" | grep -o ':i386' | wc -l)"
  done
}
step install-cost install_cost

# The desktop to try it on: an X server, a window manager and X's inspection tools, all before Tessel.
step desktop-tools apt_in_root install --no-install-recommends xvfb openbox x11-utils

# Before Wine is there, the launcher says what to install.
in_root sh -c "mkdir -p /tmp/unpacked && dpkg-deb -x /tmp/$(basename "$deb") /tmp/unpacked"
without_wine() {
  local out status=0
  out=$(in_root /tmp/unpacked/usr/bin/tessel 2>&1) || status=$?
  printf '%s\nexit %s\n' "$out" "$status"
  [ "$status" -eq 1 ] && grep -q 'sudo apt install wine64 fonts-wine' <<<"$out"
}
step without-wine without_wine

# As a user would: apt-get update, then the package file itself with its Recommends; no foreign architecture.
install_package() {
  apt_in_root update && apt_in_root install "/tmp/$(basename "$deb")" &&
    # The machine's prefix that postinst prepared, which each user's prefix copies.
    in_root sh -c 'ls -la /var/cache/tessel/*/ && du -sh /var/cache/tessel'
}
started=$SECONDS
step install install_package
install_seconds=$((SECONDS - started))
in_root dpkg -L tessel | sort >"$results/dpkg-L.txt" || true
in_root dpkg-query -W -f='${Package} ${Version} ${Architecture}\n' tessel wine64 libwine fonts-wine x11-utils \
  >"$results/installed.txt" 2>&1 || true
foreign=$(in_root dpkg --print-foreign-architectures | xargs)
i386_packages=$(in_root dpkg-query -W -f='${Architecture}\n' | grep -c '^i386$' || true)
wine_version=$(in_root sh -c '/usr/lib/wine/wine64 --version 2>&1 || echo "no 64-bit wine"')
snapshot >"$results/files-installed.txt"
as_user find "$home" | sort >"$results/home-before.txt"

step launcher-options as_user sh -c "tessel --version | grep -qx 'tessel $version' && tessel --help | grep -q '^Usage: tessel'"

# The desktop runs, as the user: Xvfb, openbox, then tessel; each start timed from the command to a managed
# window with the right title, and to its 25th instruction caption; then the window is closed.
cat >"$root/tmp/desktop-run.sh" <<'EOF'
#!/bin/bash
# usage: desktop-run.sh TITLE LIMIT_S START...: one X display, the given starts one after the other.
set -u
title=$1 limit=$2
shift 2
remote=/tmp/tessel_remote.exe
# The remote control runs in the user's prefix beside Tessel, under the 64-bit loader the launcher uses.
export WINEPREFIX=${XDG_DATA_HOME:-$HOME/.local/share}/tessel/win64 WINEARCH=win64 WINEDEBUG=-all
export WINELOADER=/usr/lib/wine/wine64 XDG_CACHE_HOME=${XDG_DATA_HOME:-$HOME/.local/share}/tessel/cache
wine() { "$WINELOADER" "$@"; }
wineserver() { /usr/lib/wine/wineserver64 "$@"; }
xvfb= wm= tessel_pid=
cleanup() {
  [ -z "$tessel_pid" ] || kill "$tessel_pid" 2>/dev/null
  [ ! -d "$WINEPREFIX" ] || wineserver -k 2>/dev/null
  [ -z "$wm" ] || kill "$wm" 2>/dev/null
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 143' TERM INT
# The screen is also a file (XWD), so that it can be photographed while a start is under way.
# Xvfb picks a free display: X's abstract sockets are shared with the host and with roots beside this one.
# -noreset: without it the server resets when xdpyinfo, its first client, leaves, and openbox, connecting
# meanwhile, was refused ("Failed to open the display") in 2 of 12 tries.
mkdir -p /tmp/screen && rm -f /tmp/display
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset -fbdir /tmp/screen 3>/tmp/display >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s /tmp/display ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 /tmp/display)
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
# The window manager is the test's, not Tessel's: its cache goes to /tmp, away from the home folder's check.
XDG_CACHE_HOME=/tmp/openbox-cache openbox --sm-disable >/dev/null 2>&1 &
wm=$!
# Without a managing window manager no window would count as managed: say so rather than time out later.
for _ in $(seq 300); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || { echo "openbox does not manage the screen"; exit 1; }

now() { date +%s%N; }
ms() { echo $((($(now) - $1) / 1000000)); }
x_window() { xwininfo -root -tree | awk -v t="\"$1\": (\"$2\" \"$3\")" 'index($0, t) { print $1; exit }'; }
managed() { xprop -root _NET_CLIENT_LIST | tr -c '0-9a-fx\n' ' ' | tr ' ' '\n' | grep -qix "$1"; }
viewable() { [ "$(xwininfo -id "$1" | awk '/Map State/ { print $3 }')" = IsViewable ]; }
failed=0
# start NAME: one start of tessel, timed to the managed window, checked and closed. The first sign on the
# screen (Tessel's notice or its window) is timed too, and the screen photographed when it is the notice.
start() {
  local n=$1 began window= notice= sign= rc look=
  began=$(now)
  tessel >"/tmp/tessel-start-$n.log" 2>&1 &
  tessel_pid=$!
  while [ $(($(now) - began)) -lt $((limit * 1000000000)) ]; do
    if [ -z "$sign" ]; then
      notice=$(x_window Tessel tessel-notice Xmessage)
      if [ -n "$notice" ] && viewable "$notice"; then
        sign=$(ms "$began")
        echo "start $n: notice window $notice after $sign ms"
        cp /tmp/screen/Xvfb_screen0 "/tmp/notice-$n.xwd"
      fi
    fi
    window=$(x_window "$title" tessel.exe tessel.exe)
    [ -n "$window" ] && managed "$window" && viewable "$window" && break
    kill -0 "$tessel_pid" 2>/dev/null || break
    window=
    sleep 0.05
  done
  if [ -z "$window" ]; then
    echo "start $n: no managed, viewable window titled \"$title\" within $limit s; tessel said:"
    cat "/tmp/tessel-start-$n.log"
    # What runs and what is on the screen instead, to tell a hung Wine from a window that went unnoticed.
    ps -u "$(id -u)" -o pid,etime,time,args | sed 's/^/  /'
    xwininfo -root -tree | grep -v '(has no name)' | sed 's/^/  /'
    failed=1
    kill "$tessel_pid" 2>/dev/null
    wineserver -k 2>/dev/null
    wait "$tessel_pid"
    tessel_pid=
    return 1
  fi
  # The machine's load beside the figure: two CPUs shared with other work make a cold Wine start slower.
  echo "start $n: managed window $window after $(ms "$began") ms (load average $(cut -d' ' -f1-3 /proc/loadavg))"
  [ -n "$sign" ] || echo "start $n: first sign on the screen: the window"
  # tessel.exe fills the captions before it shows its window; the remote, started only now, says whether
  # they were all there at its first look, and so came with the window.
  look=$(wine "$remote" ready 30000) || { echo "start $n: the window did not fill its instruction captions"; failed=1; }
  look=${look//$'\r'/}
  echo "start $n: ready after $(ms "$began") ms"
  echo "start $n: the remote: $look"
  echo "start $n: WM_NAME $(xprop -id "$window" WM_NAME | sed 's/.*= //'), WM_CLASS $(xprop -id "$window" WM_CLASS | sed 's/.*= //')"
  echo "start $n: $(xwininfo -id "$window" | awk '/Override Redirect/ { print "override-redirect", $4 }'), place $(wine "$remote" place | tr -d '\r')"
  wine "$remote" close 10000 || { echo "start $n: the window did not close"; failed=1; }
  wait "$tessel_pid"
  rc=$?
  tessel_pid=
  echo "start $n: tessel exited with $rc"
  sed 's/^/start '"$n"': tessel said: /' "/tmp/tessel-start-$n.log"
  [ "$rc" -eq 0 ] || failed=1
}
# A start only after one that worked: another would prepare the prefix all over again. A start named
# fresh-N is a first start once more: Wine stopped, the user's prefix removed, copied anew by the launcher.
for n in "$@"; do
  case "$n" in
    fresh-*) wineserver -w && rm -rf "${XDG_DATA_HOME:-$HOME/.local/share}/tessel" ;;
  esac
  start "$n" || break
done
exit "$failed"
EOF
chmod 755 "$root/tmp/desktop-run.sh"
# desktop NAME LIMIT_S START...: the starts on one X display as the user, then the size of the user's prefix.
desktop() {
  local name=$1
  shift
  step "$name" as_user timeout -k 10 300 /tmp/desktop-run.sh "$title" 120 "$@"
  { as_user du -sh "$home/.local/share/tessel" 2>&1 || true; } | sed "s/^/$name: the user's prefix: /" | tee -a "$results/$name.log"
}
started_ms() { sed -n "s/^start $1: $2 .*after \([0-9]*\) ms.*/\1 ms/p" "$results"/desktop*.log | head -n1; }
load_at() { sed -n "s/^start $1: managed window .*(load average \([0-9. ]*\))/\1/p" "$results"/desktop*.log | head -n1; }

# The first start after the install copies the machine's prefix; the second has it. One start's time
# on two shared CPUs varies by a few tenths of a second, so three more first starts follow.
desktop desktop first second fresh-1 fresh-2 fresh-3
as_user find "$home" | sort >"$results/home-after-run.txt"
prefix_size=$(as_user du -sh "$home/.local/share/tessel" 2>/dev/null | cut -f1 || true)
prefix_size=${prefix_size:-none}
as_user find "$home/.local/share/tessel" -type f -size +100k >"$results/prefix-large-files.txt" 2>&1 || true

# Wine updated as Debian would update it, but without the trigger that prepares the machine's prefix again:
# Wine's wine.inf newer than both prefixes. Wine updates the user's prefix; Tessel's notice shows meanwhile.
in_root touch /usr/share/wine/wine.inf
desktop desktop-wine-updated wine-updated
update_prefix_size=$(as_user du -sh "$home/.local/share/tessel" 2>/dev/null | cut -f1 || true)
for n in first wine-updated; do
  [ ! -f "$root/tmp/notice-$n.xwd" ] || convert "xwd:$root/tmp/notice-$n.xwd" "$results/notice-$n.png" || true
done
notice_shown() { grep -q '^start wine-updated: notice window' "$results/desktop-wine-updated.log"; }
step notice notice_shown

# Wine updated once more, now with the trigger that Wine's packages set off: postinst prepares the machine's
# prefix again, and the next start copies it, without a notice.
triggered() {
  in_root touch /usr/share/wine/wine.inf &&
    in_root dpkg-trigger --no-await /usr/share/wine/wine.inf &&
    in_root dpkg --triggers-only --pending &&
    in_root sh -c '. /usr/lib/tessel/prefix.sh && tessel_wine && tessel_prefix_current /var/cache/tessel/$TESSEL_ARCH'
}
step trigger triggered
desktop desktop-triggered triggered

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
  [ ! -e "$root/var/cache/tessel" ] || { echo "the machine's prefix is left: /var/cache/tessel"; status=1; }
  comm -13 "$results/files-installed.txt" "$results/files-removed.txt" | sed 's/^/new after removal: /' | grep . && status=1
  comm -13 "$results/home-before.txt" "$results/home-after-remove.txt" |
    grep -v -e "^$home/.local$" -e "^$home/.local/share$" -e "^$home/.local/share/tessel\(/\|$\)" |
    sed 's/^/new in the home folder: /' | grep . && status=1
  return "$status"
}
step left-behind left_behind

# Installed again, the package prepares the machine's prefix again, and the user's prefix still serves.
step reinstall install_package
desktop desktop-reinstalled reinstalled
step purge apt_in_root purge tessel

# piuparts: install, removal and purge in a chroot of its own, from the same mirror; its base is kept per
# suite in build/piuparts. /var/cache/debconf/tmp.ci/ is left behind by this build machine's debconf,
# with any package.
run_piuparts() {
  local base=$PWD/build/piuparts/$suite.tar.gz keep=()
  mkdir -p build/piuparts/tmp
  if [ -f "$base" ]; then keep=(--basetgz="$base"); else keep=(--save="$base"); fi
  command -v piuparts >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q piuparts
  piuparts --distribution="$suite" --mirror="$DEBIAN_ROOT_MIRROR main" --tmpdir="$PWD/build/piuparts/tmp" \
    --no-upgrade-test --ignore=/var/cache/debconf/tmp.ci/ "${keep[@]}" "$deb"
}
[ "${TESSEL_PIUPARTS:-1}" = 0 ] || step piuparts run_piuparts

os=$(. "$root/etc/os-release" && echo "$PRETTY_NAME")
{
  echo "suite: $suite ($os), $(date -u '+%Y-%m-%d %H:%M UTC'), checkout $(git log -1 --format=%h)"
  echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
  echo "wine: $wine_version"
  echo "minimal root: $made s; apt-get install ./$(basename "$deb"): $install_seconds s"
  sed 's/^/install on the fresh root, /' "$results/install-cost.log"
  echo "foreign architectures: ${foreign:-none}; i386 packages installed: $i386_packages"
  sed 's/^/installed: /' "$results/installed.txt"
  for n in first second fresh-1 fresh-2 fresh-3 wine-updated triggered reinstalled; do
    echo "start $n: window $(started_ms "$n" "managed window"), 25 captions $(started_ms "$n" ready)" \
      "($(grep -h "^start $n: the remote: " "$results"/desktop*.log | sed 's/.*: the remote: //' | head -n1)), load $(load_at "$n")" \
      "$(grep -h "^start $n: notice window" "$results"/desktop*.log | sed 's/.* after /, notice after /')"
  done
  grep -hE '^start [a-z-]+: (WM_NAME|override|tessel exited)' "$results"/desktop*.log || true
  echo "the user's prefix after a first start: $prefix_size; after Wine's update: ${update_prefix_size:-none}"
  for name in install-cost desktop-tools without-wine install launcher-options desktop desktop-wine-updated notice \
    trigger desktop-triggered remove left-behind reinstall desktop-reinstalled purge piuparts; do
    [ -f "$results/$name.log" ] || continue
    case " ${failures[*]-} " in *" $name "*) echo "$name: FAILED, see $name.log" ;; *) echo "$name: ok" ;; esac
  done
  [ ! -f "$results/piuparts.log" ] || grep -E ' (PASS|FAIL|ERROR): ' "$results/piuparts.log" | tail -n 3
} | tee "$results/summary.txt"
[ ${#failures[@]} -eq 0 ]
