#!/usr/bin/env bash
# The emulated Debian 12 machine in which the i686 Windows suite runs where this host cannot run Wine's 32-bit part.
# usage: tests/machine/emulated-machine.sh prepare
#        tests/machine/emulated-machine.sh run COMMAND [ARGUMENTS...]
# prepare makes the machine, or finds it made; when it cannot, it says why in one line on its standard output and
# fails. run boots it, runs COMMAND inside it in the current folder (one inside this checkout), shows what COMMAND
# prints, powers the machine off and exits with COMMAND's status.
#
# mmdebstrap makes a Debian 12 root (amd64, with i386 for Wine's 32-bit part; Xvfb, openbox, CTest and Debian's
# kernel), mke2fs -d turns it into a raw ext4 image, and qemu-system-x86_64 boots that kernel with
# emulated-machine-init.sh as the machine's init. The checkout is shared over virtio-9p at its own path, read-only; an overlay on the machine's
# own disk takes what the runs write, so the same scripts, build trees and CTest presets run there. A qcow2 layer
# over the image holds the Wine prefixes, prepared once; every run writes to a throwaway layer over it.
# The machine is kept in build/machine and, for other checkouts, in TESSEL_MACHINE_CACHE (by default
# ${XDG_CACHE_HOME:-~/.cache}/tessel/machine), under a key of what it is made from: the release, the packages, the
# way it is made (make_image) and its init; the prefix layer also under tests/wine/wine-env.sh and the way it is
# prepared. A change to any of them makes it anew.
#   TESSEL_MACHINE_ACCEL    kvm, tcg, or auto (the default): KVM if the machine boots with it, QEMU's TCG otherwise
#   TESSEL_MACHINE_MIRROR   the Debian mirror (http://deb.debian.org/debian)
#   TESSEL_MACHINE_TIMEOUT  seconds a run may last before the machine is stopped (3600)
#   TESSEL_MACHINE_CACHE    the cache outside the checkout; empty for none
#   TESSEL_TIME_SCALE       handed to the tests: how many times slower than a real machine they may be (10 with TCG,
#                           2 with KVM); the tests' time limits, never their counts, are stretched by it
set -euo pipefail
# mke2fs is in /usr/sbin, which Debian leaves out of an ordinary user's PATH.
export PATH=$PATH:/usr/sbin:/sbin

caller_dir=$PWD
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
TESSEL_ROOT=$PWD
init=$TESSEL_ROOT/tests/machine/emulated-machine-init.sh
source tests/debian/debian-root.sh

suite=bookworm
release="Debian 12"
# Recommends are left out, except the X libraries that Wine's 32-bit part loads while it runs (Debian's libwine
# recommends them): without them screens, input, cursors and drawing take other paths than on a desktop.
packages=(
  linux-image-amd64 mount
  wine wine32:i386 fonts-wine
  libxcomposite1:i386 libxcursor1:i386 libxfixes3:i386 libxi6:i386 libxinerama1:i386 libxrandr2:i386
  libxrender1:i386 libxxf86vm1:i386
  xvfb x11-utils openbox
  cmake mawk
)
mirror=${TESSEL_MACHINE_MIRROR:-http://deb.debian.org/debian}
here=$TESSEL_ROOT/build/machine
cache=${TESSEL_MACHINE_CACHE-${XDG_CACHE_HOME:-${HOME:-}/.cache}/tessel/machine}
[ "$cache" != /.cache/tessel/machine ] || cache=
memory=3072
cpus=$(nproc)
[ "$cpus" -le 4 ] || cpus=4

say() {
  echo "machine: $*" >&2
}

# Why the machine cannot be had: said here, and for `prepare` also on standard output, for the caller's summary.
reason_out=
cannot() {
  say "$*"
  [ -z "$reason_out" ] || echo "$*"
  exit 1
}

# keep FROM TO NAME: puts FROM/NAME at TO/NAME as a hard link, or a sparse copy across file systems; whole or not at all.
keep() {
  mkdir -p "$2" || return 1
  [ -e "$2/$3" ] && return 0
  ln "$1/$3" "$2/.$3.$$" 2>/dev/null || cp --sparse=always "$1/$3" "$2/.$3.$$" || { rm -f "$2/.$3.$$"; return 1; }
  mv -f "$2/.$3.$$" "$2/$3"
}

machine_files=(vmlinuz initrd.img root.img about)

# Root's work (a Debian root is owned by root, and mke2fs must read all of it) goes through sudo for other users;
# what is kept is then theirs.
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

# remove_root ROOT: removes a Debian root made here, but never while anything is mounted in it.
remove_root() {
  [ -e "$1" ] || return 0
  if [ -n "$(debian_root_mounts "$1")" ]; then
    say "not removing $1: $(debian_root_mounts "$1" | xargs) still mounted"
    return 1
  fi
  "${as_root[@]}" rm -rf --one-file-system "$1"
}

# Makes the root with mmdebstrap and its image with mke2fs in the folder given, then removes the root.
make_image() {
  local dir=$1 free debs=${cache:-$here}/debs root=$1/root size
  free=$(df --output=avail -m "$dir" | tail -n1 | tr -d ' ')
  [ "$free" -ge 8000 ] ||
    cannot "only $free MB are free in $dir; making the emulated machine needs 8 GB (it keeps 4 GB)"
  [ ${#as_root[@]} -eq 0 ] || command -v sudo >/dev/null ||
    cannot "making the emulated machine's root needs root: run as root or install sudo"
  mkdir -p "$debs"
  say "making a $release root with mmdebstrap from $mirror (a few minutes; packages kept in $debs)"
  local attempt log=$dir/mmdebstrap.log
  for attempt in 1 2; do
    remove_root "$root" || cannot "cannot remove the unfinished root $root"
    # Only the release itself: the machine has no network and runs tests, so neither -updates nor -security
    # (whose i386 index may lag behind amd64) is wanted. apt retries a fetch; a mirror caught in the middle
    # of a sync gets one more try a minute later. The unshare mode mounts nothing on this host. Downloaded
    # packages are kept, without the versions that the mirror no longer has.
    "${as_root[@]}" mmdebstrap --mode=unshare --variant=apt --architectures=amd64,i386 --components=main \
      --include="$(IFS=,; echo "${packages[*]}")" \
      --aptopt='Acquire::Retries "3"' \
      --dpkgopt='path-exclude=/usr/share/doc/*' --dpkgopt='path-exclude=/usr/share/man/*' \
      --dpkgopt='path-exclude=/usr/share/locale/*' \
      --skip=essential/unlink \
      --setup-hook='mkdir -p "$1/var/cache/apt/archives"' \
      --setup-hook="sync-in $debs /var/cache/apt/archives" \
      --customize-hook='chroot "$1" apt-get -qq autoclean || true' \
      --customize-hook="find $(printf %q "$debs") -name '*.deb' -delete" \
      --customize-hook="sync-out /var/cache/apt/archives $debs" \
      --customize-hook="copy-in $init /usr/local/sbin" \
      "$suite" "$root" "$mirror" </dev/null >"$log" 2>&1 && break
    [ "$attempt" -eq 2 ] && cannot "mmdebstrap could not make the machine's root: $(grep -E '^E:' "$log" | tail -n1 || tail -n1 "$log") (log: $log)"
    say "mmdebstrap failed: $(grep -E '^E:' "$log" | tail -n1 || tail -n1 "$log"); trying again in a minute"
    sleep 60
  done
  # The machine boots the kernel and initramfs installed in its own root, whose modules they match.
  "${as_root[@]}" cp -L "$root/vmlinuz" "$root/initrd.img" "$dir/" ||
    cannot "the machine's root has no kernel at $root/vmlinuz"
  {
    echo "$release ($suite)"
    echo "Linux $(basename "$(readlink "$root/vmlinuz")" | sed 's/^vmlinuz-//')"
    echo "Wine $(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Version}' wine32:i386)"
  } >"$dir/about.new"
  # Room for the Wine prefixes (1.8 GB) and the runs' copies of them (0.6 GB each).
  size=$(($("${as_root[@]}" du -sm "$root" | cut -f1) + 6144))
  say "making its ext4 image with mke2fs ($size MB, sparse)"
  "${as_root[@]}" mke2fs -q -t ext4 -L tessel -d "$root" "$dir/root.img.new" "${size}M" >>"$log" 2>&1 ||
    cannot "mke2fs could not make the machine's image: $(tail -n1 "$log")"
  [ ${#as_root[@]} -eq 0 ] ||
    sudo chown -R "$(id -u):$(id -g)" "$dir/vmlinuz" "$dir/initrd.img" "$dir/root.img.new" "$debs"
  mv "$dir/root.img.new" "$dir/root.img"
  remove_root "$root" || cannot "cannot remove the machine's root $root after making its image"
  rm -f "$log"
  mv "$dir/about.new" "$dir/about"
}

# The image: from build/machine, else from the cache, else made anew (and then put in the cache).
find_or_make_image() {
  local name ready=1
  for name in "${machine_files[@]}"; do [ -e "$machine/$name" ] || ready=; done
  [ -n "$ready" ] && return 0
  if [ -n "$cache" ] && [ -e "$cache/$key/about" ]; then
    ready=1
    for name in "${machine_files[@]}"; do keep "$cache/$key" "$machine" "$name" || ready=; done
  fi
  if [ -z "$ready" ]; then
    remove_root "$machine/root" || cannot "cannot remove $machine/root, which an interrupted run left"
    rm -rf --one-file-system "$machine"
    mkdir -p "$machine"
    make_image "$machine"
    # A prefix layer works only over the very image it was made on: what the cache held under this key goes.
    [ -z "$cache" ] || rm -rf --one-file-system "${cache:?}/$key"
  fi
  [ -z "$cache" ] || for name in "${machine_files[@]}"; do
    keep "$machine" "$cache/$key" "$name" || { say "could not keep the machine in $cache"; break; }
  done
  return 0
}

# Old keys go: in build/machine all but this one, in the cache all but the three used last.
prune() {
  local dir file
  for dir in "$here"/*/; do
    if [ -e "$dir/about" ] && [ "$(basename "$dir")" != "$key" ]; then rm -rf --one-file-system "$dir"; fi
  done
  for file in "$machine"/prefix-*.qcow2; do
    if [ -e "$file" ] && [ "$file" != "$machine/prefix-$prefix_key.qcow2" ]; then rm -f "$file"; fi
  done
  [ -n "$cache" ] && [ -d "$cache" ] || return 0
  touch "$cache/$key/about" 2>/dev/null || true
  ls -1t "$cache"/*/about 2>/dev/null | tail -n +4 | while IFS= read -r file; do
    rm -rf --one-file-system "$(dirname "$file")"
  done
}

# How the machine is accelerated: kvm or tcg. auto tries KVM unless it failed before since this host booted.
kvm_verdict=${cache:-$here}/kvm-fails-on-boot
accel_wanted() {
  case "${TESSEL_MACHINE_ACCEL:-auto}" in
    kvm | tcg) echo "$TESSEL_MACHINE_ACCEL" ;;
    auto)
      if [ -r /dev/kvm ] && [ -w /dev/kvm ] &&
        [ "$(cat "$kvm_verdict" 2>/dev/null)" != "$(cat /proc/sys/kernel/random/boot_id)" ]; then
        echo kvm
      else
        echo tcg
      fi
      ;;
  esac
}

qemu_pid='' run=''
stop_machine() {
  if [ -n "$qemu_pid" ]; then
    kill "$qemu_pid" 2>/dev/null || true
    wait "$qemu_pid" 2>/dev/null || true
    qemu_pid=
  fi
}
finish() {
  local rc=$?
  stop_machine
  [ -z "$run" ] || rm -rf --one-file-system "$run"
  exit "$rc"
}
trap finish EXIT
trap 'exit 130' INT TERM HUP

new_run() {
  mkdir -p "$here"
  run=$(mktemp -d "$here/run.XXXXXX")
  echo "$TESSEL_ROOT" >"$run/root"
}

# boot DRIVE ACCEL: boots the machine from DRIVE (qemu's -drive options, commas in paths doubled) for the run's
# folder $run, and waits until it powers off. Fails with 2 when the machine never came up, 1 on other trouble.
boot() {
  local drive=$1 accel=$2 cpu limit=${TESSEL_MACHINE_TIMEOUT:-3600} up_within scale status=0
  scale=${TESSEL_TIME_SCALE:-}
  if [ "$accel" = kvm ]; then
    cpu=host up_within=60
    [ -n "$scale" ] || scale=2
  else
    # Without -smap every 32-bit Wine process ended in a kernel oops at an iret under QEMU 7.2's TCG.
    accel=tcg,thread=multi cpu=max,-smap up_within=600
    [ -n "$scale" ] || scale=10
  fi
  echo "$scale" >"$run/scale"
  say "$(paste -sd, "$machine/about" | sed 's/,/, /g'); $(echo "${accel%%,*}" | tr a-z A-Z), $cpus CPUs, $memory MB; time limits x$scale"
  rm -f "$run/booted" "$run/status" "$run/stdin"
  mkfifo "$run/stdin"
  # stdin is a FIFO open for reading and writing, which never ends: qemu's stdio stays connected, and what COMMAND
  # prints comes out on this script's own standard output, in order with the rest.
  timeout --kill-after=10 "$limit" qemu-system-x86_64 -machine q35 -accel "$accel" -cpu "$cpu" \
    -smp "$cpus" -m "$memory" -display none -nodefaults -no-reboot -monitor none \
    -kernel "$machine/vmlinuz" -initrd "$machine/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 quiet panic=-1 init=/usr/local/sbin/emulated-machine-init.sh" \
    -drive "$drive,if=virtio" \
    -virtfs "local,path=${run//,/,,},mount_tag=run,security_model=none" \
    -virtfs "local,path=${TESSEL_ROOT//,/,,},mount_tag=checkout,security_model=none,readonly=on" \
    -device virtio-serial-pci -chardev stdio,id=out,signal=off -device virtserialport,chardev=out,name=tessel.out \
    -serial "file:$run/console.log" <>"$run/stdin" &
  qemu_pid=$!
  # A host may offer /dev/kvm and still run no guest (nested virtualisation, say): with KVM the machine is up in
  # seconds, or never.
  for _ in $(seq "$up_within"); do
    [ -e "$run/booted" ] || ! kill -0 "$qemu_pid" 2>/dev/null && break
    sleep 1
  done
  if [ ! -e "$run/booted" ]; then
    if kill -0 "$qemu_pid" 2>/dev/null; then
      say "the machine did not come up within $up_within s; its console: $here/console.log"
    else
      say "qemu ended before the machine came up; its console: $here/console.log"
    fi
    stop_machine
    cp "$run/console.log" "$here/console.log" 2>/dev/null || true
    return 2
  fi
  wait "$qemu_pid" || status=$?
  qemu_pid=
  cp "$run/console.log" "$here/console.log" 2>/dev/null || true
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    say "stopped after $limit s (TESSEL_MACHINE_TIMEOUT); the machine's console: $here/console.log"
    return 1
  fi
  if [ ! -e "$run/status" ]; then
    say "the machine stopped without finishing (qemu's status $status); its console, $here/console.log, ends:"
    tail -n 15 "$here/console.log" | sed 's/^/  /' >&2
    return 1
  fi
}

# boot_machine DRIVE: boots with KVM where it is wanted and works, else with TCG.
boot_machine() {
  local accel status=0
  accel=$(accel_wanted)
  boot "$1" "$accel" || status=$?
  if [ "$status" -eq 2 ] && [ "$accel" = kvm ] && [ "${TESSEL_MACHINE_ACCEL:-auto}" = auto ]; then
    say "KVM runs no machine on this host; using QEMU's TCG until the host restarts"
    cat /proc/sys/kernel/random/boot_id >"$kvm_verdict" 2>/dev/null || true
    status=0
    boot "$1" tcg || status=$?
  fi
  return "$status"
}

# The prefix layer: Wine's prefixes of kind win32 (the templates and the shared one of tests/wine/wine-env.sh),
# prepared in the machine once by this command, and kept.
prefix_command='set -e
export TESSEL_WINE_ARCH=win32
source tests/wine/wine-env.sh
tessel_use_shared_prefix
wineserver -w'
find_or_make_prefix() {
  local layer=prefix-$prefix_key.qcow2
  [ -e "$machine/$layer" ] && return 0
  if [ -n "$cache" ] && [ -e "$cache/$key/$layer" ] && keep "$cache/$key" "$machine" "$layer"; then
    return 0
  fi
  say "preparing the machine's Wine prefixes (once; under TCG a few minutes)"
  rm -f "$machine/$layer.new"
  # The image is the layer's backing file by its name alone, so that both may move together.
  (cd "$machine" && qemu-img create -q -f qcow2 -b root.img -F raw "$layer.new") ||
    cannot "qemu-img could not make the prefix layer in $machine"
  new_run
  printf 'cd %q\n%s\n' "$TESSEL_ROOT" "$prefix_command" >"$run/command"
  boot_machine "file=${machine//,/,,}/$layer.new,format=qcow2" >&2 ||
    cannot "the emulated machine could not be booted (its console: $here/console.log)"
  [ "$(cat "$run/status")" = 0 ] ||
    cannot "Wine's 32-bit part could not prepare a prefix in the emulated machine (its console: $here/console.log)"
  rm -rf --one-file-system "$run"
  run=
  mv "$machine/$layer.new" "$machine/$layer"
  [ -z "$cache" ] || keep "$machine" "$cache/$key" "$layer" || say "could not keep the prefix layer in $cache"
}

# Makes or finds the machine. The lock (held until this script ends) keeps a second run of this checkout from
# making it at the same time or pruning what a run uses.
prepare() {
  scripts/setup.sh machine >&2 ||
    cannot "the emulator's packages (qemu-system-x86, qemu-utils, mmdebstrap) could not be installed"
  local tool
  for tool in mmdebstrap mke2fs qemu-img qemu-system-x86_64; do
    command -v "$tool" >/dev/null || cannot "$tool is not installed (Debian's qemu-system-x86, qemu-utils, mmdebstrap, e2fsprogs)"
  done
  mkdir -p "$here"
  exec 9>"$here/.lock"
  flock 9
  find_or_make_image
  find_or_make_prefix
  prune
}

# The keys: of the image, what it is made from; of the prefix layer, what prepares it.
key=$( (echo "$suite ${packages[*]}"; declare -f make_image; cat "$init") | sha256sum | cut -c1-16)
prefix_key=$( (echo "$prefix_command"; cat tests/wine/wine-env.sh) | sha256sum | cut -c1-16)
machine=$here/$key

case "${TESSEL_MACHINE_ACCEL:-auto}" in
  auto | kvm | tcg) ;;
  *) echo "machine: TESSEL_MACHINE_ACCEL=$TESSEL_MACHINE_ACCEL: expected auto, kvm or tcg" >&2; exit 2 ;;
esac
case "${1:-}" in
  prepare)
    reason_out=1
    prepare
    ;;
  run)
    shift
    [ $# -gt 0 ] || { echo "usage: $0 run COMMAND [ARGUMENTS...]" >&2; exit 2; }
    case "$caller_dir/" in
      "$TESSEL_ROOT"/*) ;;
      *) echo "machine: $caller_dir is outside the checkout $TESSEL_ROOT, which is all the machine sees" >&2; exit 2 ;;
    esac
    prepare
    new_run
    {
      printf 'cd %q\n' "$caller_dir"
      # The tests' own settings go in; the host's Wine and 32-bit settings do not.
      compgen -e | grep -E '^(TESSEL_(STORM|SOAK)_|GTEST_)' | while read -r name; do
        printf 'export %s=%q\n' "$name" "${!name}"
      done || true
      printf 'exec'
      printf ' %q' "$@"
      echo
    } >"$run/command"
    boot_machine "file=${machine//,/,,}/prefix-$prefix_key.qcow2,format=qcow2,snapshot=on" || exit 1
    exit "$(cat "$run/status")"
    ;;
  *) echo "usage: $0 prepare | run COMMAND [ARGUMENTS...]" >&2; exit 2 ;;
esac
