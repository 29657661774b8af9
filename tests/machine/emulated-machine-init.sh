#!/bin/bash
# PID 1 of the emulated machine of tests/machine/emulated-machine.sh: mounts the checkout, runs one command, powers off.
# The host's run folder (9p tag run) holds root (the checkout's path), command and scale (TESSEL_TIME_SCALE); booted
# is written there once the checkout is mounted, status once the command has ended. Whatever fails, QEMU ends.
run=/run/tessel state=/var/lib/tessel share=trans=virtio,version=9p2000.L,msize=512000
trap 'sync; mount -o remount,ro / 2>/dev/null; echo o >/proc/sysrq-trigger; sleep 60' EXIT
mkdir -p /dev/shm "$run" /run/checkout && mount -t tmpfs -o mode=1777 tmpfs /tmp && hostname -F /etc/hostname &&
  mount -t tmpfs -o mode=1777 tmpfs /dev/shm && modprobe -a 9pnet_virtio 9p virtio_console overlay &&
  mount -t 9p -o "$share" run "$run" && root=$(cat "$run/root") || exit 1
# The checkout read-only under an overlay whose writes are dropped at the next start, and Wine's prefixes, prepared
# once in the image, at build/wine. cache=loose: in 9p's uncached modes Wine read zeros past msize in core_tests.exe.
rm -rf "$state/overlay" && mkdir -p "$root" "$state/overlay/upper" "$state/overlay/work" "$state/wine" &&
  mount -t 9p -o "ro,cache=loose,$share" checkout /run/checkout && mount -t overlay overlay -o \
  "lowerdir=/run/checkout,upperdir=$state/overlay/upper,workdir=$state/overlay/work" "$root" &&
  mkdir -p "$root/build/wine" && mount --bind "$state/wine" "$root/build/wine" || exit 1
# What the command prints goes to the host through a port of its own, apart from the kernel's console.
port=$(grep -lx tessel.out /sys/class/virtio-ports/*/name) && touch "$run/booted" || exit 1
env -i PATH="$PATH" HOME=/root USER=root LOGNAME=root LANG=C.UTF-8 TERM=dumb TESSEL_TIME_SCALE="$(cat "$run/scale")" \
  bash "$run/command" </dev/null >"/dev/$(basename "$(dirname "$port")")" 2>&1
echo $? >"$run/status"
