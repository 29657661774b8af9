#!/bin/bash
# The init (PID 1) of the emulated machine of tests/machine/emulated-machine.sh: mounts the checkout, runs one command, powers off.
# The host shares the run's folder as `run`: in it `root` (the checkout's path) and `command` (a bash script), and
# `scale` (TESSEL_TIME_SCALE for the command); here `booted` is written once the machine is up, and `status`
# (the command's exit status) at the end. Whatever happens, the machine then powers off, so that qemu ends.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
console=/dev/console run=/run/tessel
trap 'sync; echo o >/proc/sysrq-trigger; sleep 60' EXIT

fail() {
  echo "init: $*" >"$console"
  exit 1
}

mount -t tmpfs -o mode=1777 tmpfs /tmp
mkdir -p /dev/shm && mount -t tmpfs -o mode=1777 tmpfs /dev/shm
hostname tessel-i686
modprobe -a 9pnet_virtio 9p virtio_console overlay || fail "modprobe 9pnet_virtio 9p virtio_console overlay failed"
share=trans=virtio,version=9p2000.L,msize=512000
mkdir -p "$run" /run/checkout
mount -t 9p -o "$share" run "$run" || fail "cannot mount the run's folder"
root=$(cat "$run/root")

# The checkout, read-only from the host, under an overlay whose writes stay in this machine; Wine's prefixes,
# prepared once and kept in the prefix layer, at build/wine as on the host. The checkout goes through the page
# cache (cache=loose), which is right as nothing changes it while the machine runs, and needed: Wine loads a
# program from its file in a way that 9p's uncached modes of Linux 6.1 get wrong, and core_tests.exe (1 MB of
# code) found zeros where its main function is, past the first msize bytes.
state=/var/lib/tessel
mkdir -p "$root" "$state/overlay/upper" "$state/overlay/work" "$state/wine"
mount -t 9p -o "ro,cache=loose,$share" checkout /run/checkout &&
  mount -t overlay overlay -o "lowerdir=/run/checkout,upperdir=$state/overlay/upper,workdir=$state/overlay/work" "$root" &&
  mkdir -p "$root/build/wine" && mount --bind "$state/wine" "$root/build/wine" ||
  fail "cannot mount the checkout at $root"
touch "$run/booted"

# What the command prints goes to the host through a port of its own, apart from the kernel's console.
port=$(grep -lx tessel.out /sys/class/virtio-ports/*/name | head -n1)
[ -n "$port" ] || fail "no virtio port named tessel.out"
env -i PATH="$PATH" HOME=/root USER=root LOGNAME=root LANG=C.UTF-8 TERM=dumb \
  TESSEL_TIME_SCALE="$(cat "$run/scale")" bash "$run/command" </dev/null >"/dev/$(basename "$(dirname "$port")")" 2>&1
status=$?
# Ends what the command left running (a Wine server, a display), so that nothing holds the mounts.
kill -TERM -1 2>/dev/null
sleep 1
kill -KILL -1 2>/dev/null
echo "$status" >"$run/status"
sync
umount "$root/build/wine" "$root" /run/checkout "$run"
# What the runs wrote into the checkout is not kept, not even in the prefix layer.
rm -rf "$state/overlay"
