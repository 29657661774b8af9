#!/usr/bin/env bash
# The emulated Debian 12 machine in which the i686 Windows suite runs where this host cannot run Wine's 32-bit part.
# usage: tests/machine/emulated-machine.sh prepare | run COMMAND [ARGUMENTS...]
# prepare makes or finds the machine, or says why not in one line on standard output and fails; run boots it, runs
# COMMAND in the current folder (one in this checkout), shows what it prints and exits with its status. It is kept
# in TESSEL_MACHINE_CACHE (~/.cache/tessel/machine; empty: build/machine). TESSEL_MACHINE_ACCEL: kvm, tcg or auto.
# shellcheck disable=SC2016 # mmdebstrap's hooks and the machine's commands expand their own $
set -euo pipefail
caller=$PWD && cd "$(dirname "${BASH_SOURCE[0]}")/../.." && source tests/debian/mirror.sh
root=$PWD here=$PWD/build/machine init=tests/machine/emulated-machine-init.sh mode=${1:-} pid='' run=''
cache=${TESSEL_MACHINE_CACHE-${XDG_CACHE_HOME:-${HOME:-/nonexistent}/.cache}/tessel/machine}
store=${cache:-$here} cpus=$(($(nproc) < 4 ? $(nproc) : 4)) boot=$(cat /proc/sys/kernel/random/boot_id)
# Only the release (the machine has no network); no Recommends but the X libraries Wine's 32-bit part loads.
# shellcheck disable=SC2054 # commas separate packages
image_options=(-r bookworm -h tessel-i686 -z 8G --initsystem=none -s packagelists --
  --mode=unshare --architectures=amd64,i386
  --include=linux-image-amd64,mount,wine,wine32:i386,fonts-wine,xvfb,x11-utils,openbox,cmake,mawk
  --include=libx{composite1,cursor1,fixes3,i6,inerama1,randr2,render1,xf86vm1}:i386 --aptopt='Acquire::Retries "3"'
  --dpkgopt=path-exclude=/usr/share/{doc,man,locale}/\* --customize-hook="copy-in $init /usr/local/sbin"
  --customize-hook='ln -sf /usr/local/sbin/emulated-machine-init.sh "$1/sbin/init"')
prefix='set -e; export TESSEL_WINE_ARCH=win32; source tests/wine/wine-env.sh; tessel_use_shared_prefix; wineserver -w
echo "Debian $(cat /etc/debian_version), Linux $(uname -r), $(wine --version)" >/run/tessel/about'
verdict=$store/kvm-fails-on-boot m=
say() { echo "machine: $*" >&2; }
# Why the machine cannot be had: said here, and by prepare on standard output too, for the caller's summary.
cannot() { say "$*"; [ "$mode" != prepare ] || echo "$*"; exit 1; }
stop() { [ -z "$pid" ] || { kill "$pid" "$(cat "$run/qemu.pid" || echo "$pid")" && wait "$pid"; } 2>/dev/null || true; }
trap 'status=$?; stop; [ -z "$run" ] || rm -rf "$run"; exit $status' EXIT
trap 'exit 130' INT TERM HUP
new_run() { [ -z "$run" ] || rm -rf "$run"; run=$(mktemp -d) && echo "$root" >"$run/root" && mkfifo "$run/stdin"; }
# machine DIR [QEMU OPTIONS...]: debvm-run boots DIR's image for the run folder $run until it powers off. KVM may open
# and run no guest (no boot in 60 s), unseen by accel=kvm:tcg: so it is tried once per host boot, TCG used otherwise.
machine() {
  local want=${TESSEL_MACHINE_ACCEL:-auto} cpu=host up=60 status=0 scale=${TESSEL_TIME_SCALE:-2} accel
  accel=${want/auto/kvm}
  [ "$want" != auto ] || { [ -w /dev/kvm ] && [ "$(cat "$verdict" 2>/dev/null)" != "$boot" ]; } || accel=tcg
  # Without -smap every 32-bit Wine process ended in a kernel oops at an iret under QEMU 7.2's TCG.
  [ "$accel" = kvm ] || cpu=max,-smap up=600 scale=${TESSEL_TIME_SCALE:-10}
  echo "$scale" >"$run/scale"
  say "$(cat "$1/about" 2>/dev/null || echo Debian 12); ${accel^^}, $cpus CPUs, 3072 MB; time limits x$scale"
  # stdin, a FIFO open for reading and writing, never ends: the stdio port stays connected, and what COMMAND prints
  # comes out on this script's own standard output, in order with the rest. A kernel panic ends QEMU at once.
  timeout --kill-after=10 "${TESSEL_MACHINE_TIMEOUT:-3600}" debvm-run -i "$1/tessel.img" -- -machine accel="$accel" \
    -cpu "$cpu" -smp "$cpus" -m 3072 -nodefaults -no-reboot -pidfile "$run/qemu.pid" -serial "file:$here/console.log" \
    -append "root=LABEL=debvm rw console=ttyS0 quiet panic=-1" "${@:2}" \
    -virtfs "local,path=${run//,/,,},mount_tag=run,security_model=none" \
    -virtfs "local,path=${root//,/,,},mount_tag=checkout,security_model=none,readonly=on" \
    -device virtio-serial-pci -chardev stdio,id=out,signal=off -device virtserialport,chardev=out,name=tessel.out \
    <>"$run/stdin" 2>"$run/debvm.log" &
  pid=$!
  for _ in $(seq "$up"); do [ -e "$run/booted" ] || ! kill -0 "$pid" 2>/dev/null && break; sleep 1; done
  [ -e "$run/booted" ] || stop
  wait "$pid" 2>/dev/null || status=$?; pid=
  [ ! -e "$run/status" ] || return 0
  # Not judged by QEMU's status: stopped here while it stalls, QEMU ends with 0.
  if [ ! -e "$run/booted" ] && [ "$accel:$want" = kvm:auto ]; then
    say "KVM runs no machine on this host; using QEMU's TCG until the host restarts"
    echo "$boot" >"$verdict" && TESSEL_MACHINE_ACCEL=tcg machine "$@"; return
  fi
  case $status in 124 | 137) say "stopped after ${TESSEL_MACHINE_TIMEOUT:-3600} s (TESSEL_MACHINE_TIMEOUT)" ;; esac
  say "the machine $([ -e "$run/booted" ] || echo "did not come up within $up s or ")stopped without finishing" \
    "(debvm-run: $(tail -n1 "$run/debvm.log")); its console ends:"
  tail -n 15 "$here/console.log" | sed 's/^/  /' >&2
  return 1
}
# Makes the image with debvm-create; genext2fs, which writes it, leaves out of directories the file types that
# overlayfs's upper layer needs. Named tessel.img once whole, and kept when the preparation below fails.
make_image() {
  local img=$m/new.img log=$m/create.log
  rm -rf --one-file-system "$m" && mkdir -p "$m"
  [ "$(df --output=avail -m "$store" | tail -n1)" -ge 8000 ] || cannot "making it needs 8 GB free in $store"
  [ -n "$TESSEL_DEBIAN_MIRROR" ] || cannot "this host's apt sources name no Debian mirror (set TESSEL_DEBIAN_MIRROR)"
  say "making a Debian 12 machine with debvm-create from $TESSEL_DEBIAN_MIRROR (a few minutes)"
  debvm-create -o "$img" "${image_options[@]}" "$TESSEL_DEBIAN_MIRROR" </dev/null >"$log" 2>&1 ||
    cannot "debvm-create could not make the machine: $(grep '^E:' "$log" | tail -n1) (log: $log)"
  { { /sbin/tune2fs -O filetype "$img" && { /sbin/e2fsck -fp "$img" || [ $? = 1 ]; }; } >>"$log" &&
    mv "$img" "$m/tessel.img"; } || cannot "tune2fs or e2fsck could not give the image file types (log: $log)"
}
# One boot prepares Wine's prefixes in the image; about, the line the machine shows at each boot, marks it done.
prepare_prefixes() {
  say "preparing the machine's Wine prefixes (once; under TCG a few minutes)"
  new_run && printf 'cd %q\n%s\n' "$root" "$prefix" >"$run/command"
  { machine "$m" >&2 && [ "$(cat "$run/status")" = 0 ]; } ||
    cannot "the emulated machine could not prepare Wine's 32-bit prefixes (its console: $here/console.log)"
  mv "$run/about" "$m/about"
}
# Makes or finds the machine, one caller at a time; of the machines kept, the three used last stay.
prepare() {
  scripts/setup.sh machine >&2 || cannot "the emulator's packages (debvm, qemu-system-x86) could not be installed"
  # Named for what makes it, debvm's version among them: so only once debvm is installed.
  m=$store/$( (printf '%s\n' "${image_options[@]}" "$prefix"; dpkg-query -W debvm; cat "$init" tests/wine/wine-env.sh) |
    sha256sum | cut -c1-16)
  mkdir -p "$store" "$here" && exec 9>"$store/.lock" && flock 9
  [ -e "$m/about" ] || { [ -e "$m/tessel.img" ] || make_image; prepare_prefixes; }
  touch "$m"
  find "$store" -mindepth 1 -maxdepth 1 -type d -printf '%T@ %p\n' | sort -rn | tail -n +4 | cut -d' ' -f2- |
    xargs -r -d '\n' rm -rf --one-file-system
  exec 9>&-
}
case "$mode" in
  prepare) prepare ;;
  run)
    shift
    [[ $# -gt 0 && "$caller/" == "$root"/* ]] || { say "usage: $0 run COMMAND [ARGUMENTS...] in $root"; exit 2; }
    prepare && new_run
    # The tests' own settings go in; the host's Wine and 32-bit settings do not.
    { printf 'cd %q\n' "$caller"; export -p | grep -E '^declare -x (TESSEL_(STORM|SOAK)_|GTEST_)' || true
      printf ' %q' exec "$@"; echo; } >"$run/command"
    machine "$m" -snapshot || exit 1
    exit "$(cat "$run/status")"
    ;;
  *) echo "usage: $0 prepare | run COMMAND [ARGUMENTS...]" >&2; exit 2 ;;
esac
