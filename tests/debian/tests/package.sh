#!/bin/bash
# The tessel package's tests in the testbed, as root: debian/tests/package.sh TEST (in the tests folder). apt runs as
# on a user's machine, the starts (desktop.sh) as an ordinary user. Each step prints "NAME: ok[: ...]" or
# "NAME: FAILED[: ...]"; a failed step is noted and the test goes on, then fails at its end.
set -u
artifacts=${AUTOPKGTEST_ARTIFACTS:-/tmp}/$1 user=${AUTOPKGTEST_NORMAL_USER:-student} wine_inf=/usr/share/wine/wine.inf
# The tests folder, where the user running desktop.sh may read it.
mkdir -p "$artifacts" && cp -rT . /tmp/tests && chmod -R a+rX /tmp/tests && cd /tmp/tests || exit 1
id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6) failed='' && prefix=$home/.local/share/tessel
note() { echo "$1: $([ "$2" -eq 0 ] && echo ok || echo FAILED)${3:+: ${*:3}}" && [ "$2" -eq 0 ] || failed+=" $1"; }
apt() { DEBIAN_FRONTEND=noninteractive LANG=C apt-get -y -q "$@" >>"$artifacts/apt.log" 2>&1; }
# The machine's prefix is there and current, as the launcher's own functions judge it.
# shellcheck source=../../../packaging/prefix.sh
machine() ( . /usr/lib/tessel/prefix.sh && tessel_wine && tessel_prefix_current "$TESSEL_MACHINE_DIR/$TESSEL_ARCH" )
size() { du -sh "$1" 2>/dev/null | cut -f1; }
# install [NAME]: as a user does, apt-get update, then tessel with its Recommends (postinst prepares the prefix).
install() {
  local began=$SECONDS
  apt update && apt install tessel && machine
  note "${1:-install}" $? "apt-get install tessel $((SECONDS - began)) s, the machine's prefix" \
    "$(size /var/cache/tessel), $(/usr/lib/wine/wine64 --version), i386 packages:" \
    "$(dpkg-query -W -f '${Architecture}\n' | grep -c i386)"
}
# desktop NAME START...: the starts on one X display as the user; their lines go to the output and to NAME.log.
desktop() {
  runuser -u "$user" -- mkdir -p "/tmp/$1" &&
    runuser -u "$user" -- debian/tests/desktop.sh 120 "/tmp/$1" "${@:2}" >"$artifacts/$1.log" 2>&1
  note "$1" $? && sed 's/^/  /' "$artifacts/$1.log" && find "/tmp/$1" -type f -exec mv -t "$artifacts" {} +
}
# What installing costs on the fresh testbed, as apt says before it does anything, with Recommends (as a user's apt
# installs) and without. apt says "Need to get A/B" when its cache holds all but A of B: B is what a machine downloads.
cost() {
  for how in install-recommends no-install-recommends; do
    LANG=C apt-get install --assume-no "--$how" tessel 2>&1 | grep -E '^(Need to get|After this|[0-9]+ up)' |
      sed "s/^/$how: /"
  done
}
# Before Wine is there, the launcher (unpacked from the package) exits 1 and says what to install.
without-wine() {
  cd /tmp && apt-get download tessel >/dev/null 2>&1 && dpkg-deb -x tessel_*.deb unpacked || return 1
  out=$(runuser -u "$user" -- /tmp/unpacked/usr/bin/tessel 2>&1)
  [ $? -eq 1 ] && grep -q 'sudo apt install wine64 fonts-wine' <<<"$out"
  note without-wine $? "$out"
}
# The first start after the install copies the machine's prefix, the second has it; three more first starts follow,
# since one start's time on two shared CPUs varies by a few tenths of a second.
start() {
  install || return
  [ "$(runuser -u "$user" -- tessel --version)" = "tessel $(dpkg-query -W -f '${Version}' tessel)" ] &&
    runuser -u "$user" -- tessel --help | grep -q '^Usage: tessel'
  note options $? && desktop desktop first second fresh-1 fresh-2 fresh-3
  note prefix 0 "the user's prefix after a first start: $(size "$prefix")"
}
# Killed with all it started while it prepares the user's prefix, the next start must still give the window: while it
# copies the machine's prefix, while Wine updates the user's (wine.inf touched), and while Wine makes one from nothing.
crash-mid-prepare() {
  install || return
  # The machine's prefix, links and fonts, is copied in milliseconds, which a busy host's poll can miss; with a
  # large file in it the copy lasts long enough to be caught.
  head -c 128M /dev/zero >/var/cache/tessel/win64/drive_c/large.bin
  desktop killed-copy killed-copy after-killed-copy
  touch "$wine_inf" && desktop killed-update killed-update after-killed-update
  rm -rf /var/cache/tessel "$prefix" && desktop killed-make killed-make after-killed-make
}
# Wine updated without the trigger (wine.inf newer than both prefixes): Tessel's notice shows while Wine updates the
# user's prefix. With the trigger, postinst prepares the machine's prefix again; the next start copies it, no notice.
wine-update() {
  install || return
  desktop desktop first && touch "$wine_inf" && desktop wine-updated wine-updated
  grep -q '^  start wine-updated: notice window' "$artifacts/wine-updated.log"
  note notice $? "the user's prefix after Wine's update: $(size "$prefix")"
  touch "$wine_inf" && dpkg-trigger --no-await "$wine_inf" && dpkg --triggers-only --pending >>"$artifacts/apt.log" &&
    machine
  note trigger $? && desktop triggered triggered
  ! grep -q 'notice window' "$artifacts/triggered.log"
  note "no notice" $?
}
# Removal takes the machine's prefix and leaves the user only their prefix; installed again, Tessel starts from that
# prefix; then the package is purged. (piuparts checks what install, remove and purge leave on the system.)
remove() {
  find "$home" | sort >/tmp/home-before && install && desktop desktop first || return
  apt remove tessel && [ ! -e /var/cache/tessel ]
  note remove $?
  new=$(find "$home" | sort | comm -13 /tmp/home-before - | grep -vxF -e "$home/.local" -e "$home/.local/share" |
    grep -v "^$prefix\(/\|$\)" | xargs)
  note "home folder" "${#new}" "new besides the user's prefix: ${new:-nothing}"
  install reinstall && desktop reinstalled reinstalled
  apt purge tessel
  note purge $?
}
"$1"
[ -z "$failed" ] || { echo "failed:$failed"; exit 1; }
