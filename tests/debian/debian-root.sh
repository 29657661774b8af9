# Sourced by the scripts that try Tessel on a fresh minimal Debian: make, mount, enter and remove such a root.
# Needs root (debootstrap, mount, chroot). Downloaded packages are kept in TESSEL_DEBIAN_CACHE between runs,
# so that a second run of the same suite downloads little; the root itself is always new.

DEBIAN_ROOT_MIRROR=${DEBIAN_ROOT_MIRROR:-http://deb.debian.org/debian}
DEBIAN_ROOT_SECURITY=${DEBIAN_ROOT_SECURITY:-http://deb.debian.org/debian-security}

# debian_root_create SUITE ROOT [EXTRA_PACKAGES...]: a minbase root with git, ca-certificates, sudo and the extras.
debian_root_create() {
  local suite=$1 root=$2 cache
  shift 2
  local include=git,ca-certificates,sudo
  [ $# -eq 0 ] || include=$include,$(IFS=,; echo "$*")
  cache=$(debian_root_cache "$suite")
  mkdir -p "$cache" "$(dirname "$root")"
  debootstrap --variant=minbase --include="$include" --cache-dir="$cache" \
    "$suite" "$root" "$DEBIAN_ROOT_MIRROR" >"$root.debootstrap.log" 2>&1 || {
    echo "debian-root: debootstrap $suite failed; the last lines of $root.debootstrap.log:" >&2
    tail -n 15 "$root.debootstrap.log" >&2
    return 1
  }
  cat >"$root/etc/apt/sources.list" <<EOF
deb $DEBIAN_ROOT_MIRROR $suite main
deb $DEBIAN_ROOT_MIRROR $suite-updates main
deb $DEBIAN_ROOT_SECURITY $suite-security main
EOF
  # The kept packages live on the host and are read and written by root; apt's own _apt user may not write there.
  echo 'APT::Sandbox::User "root";' >"$root/etc/apt/apt.conf.d/90tessel-root-sandbox"
  # Certificate authorities this host trusts locally (a network's TLS proxy, say) are trusted inside
  # too, so that npm reaches its registry as it does from the host.
  if compgen -G '/usr/local/share/ca-certificates/*.crt' >/dev/null; then
    cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
    chroot "$root" update-ca-certificates >/dev/null 2>&1 ||
      echo "debian-root: update-ca-certificates failed in $root" >&2
  fi
  echo "$suite" >"$root/.tessel-suite"
}

# Where the packages of SUITE are kept between runs.
debian_root_cache() {
  echo "${TESSEL_DEBIAN_CACHE:-${TESSEL_ROOT:-$PWD}/build/debian-cache}/$1"
}

# The mount points below ROOT, innermost (longest path) first.
debian_root_mounts() {
  local root
  root=$(realpath -m "$1")
  awk -v root="$root" '$2 == root || index($2, root "/") == 1 { print $2 }' /proc/self/mounts |
    sed 's/\\040/ /g' | awk '{ print length, $0 }' | sort -rn | cut -d' ' -f2-
}

debian_root_mount() {
  local root=$1 suite archives
  suite=$(cat "$root/.tessel-suite")
  mount --bind /proc "$root/proc"
  mount --bind /dev "$root/dev"
  mount --bind /dev/pts "$root/dev/pts"
  mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
  mount --bind /sys "$root/sys"
  archives=$(debian_root_cache "$suite")/archives
  mkdir -p "$archives/partial"
  mount --bind "$archives" "$root/var/cache/apt/archives"
  cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
}

# Ends what still runs inside ROOT (all of it was started there by the caller), so that nothing holds a mount.
debian_root_stop_processes() {
  local root pid pids
  root=$(realpath -m "$1")
  for signal in TERM KILL; do
    pids=()
    for pid in /proc/[0-9]*; do
      [ "$(readlink "$pid/root" 2>/dev/null)" = "$root" ] && pids+=("${pid#/proc/}")
    done
    [ ${#pids[@]} -eq 0 ] && return 0
    kill -s "$signal" "${pids[@]}" 2>/dev/null || true
    sleep 2
  done
}

# Unmounts everything below ROOT; fails, naming them, if some mounts remain.
debian_root_unmount() {
  local root=$1 point left
  [ -d "$root" ] || return 0
  for _ in 1 2 3; do
    while IFS= read -r point; do
      [ -n "$point" ] && umount "$point" 2>/dev/null
    done < <(debian_root_mounts "$root")
    [ -z "$(debian_root_mounts "$root")" ] && return 0
    sleep 1
  done
  left=$(debian_root_mounts "$root" | xargs)
  echo "debian-root: still mounted below $root: $left" >&2
  return 1
}

# debian_root_exec ROOT CMD...: runs CMD inside ROOT as root, with a clean environment and no display.
debian_root_exec() {
  local root=$1
  shift
  chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

# Removes ROOT, but never while something is still mounted below it.
debian_root_remove() {
  local root=$1
  [ -d "$root" ] || return 0
  if [ -n "$(debian_root_mounts "$root")" ]; then
    echo "debian-root: not removing $root: $(debian_root_mounts "$root" | xargs) still mounted" >&2
    return 1
  fi
  rm -rf --one-file-system "$root" "$root.debootstrap.log"
}

# debian_root_guard ROOT: a script's one root, cleared of what an interrupted run left and, on any exit,
# stopped, unmounted and removed (kept with TESSEL_KEEP_ROOT=1); the script's exit code is kept.
debian_root_guard() {
  debian_root_guarded=$1
  trap debian_root_release EXIT
  trap 'exit 130' INT TERM HUP
  # Unmount first: never remove a root with mounts inside.
  debian_root_stop_processes "$1"
  debian_root_unmount "$1"
  debian_root_remove "$1"
}

debian_root_release() {
  local rc=$?
  set +e
  debian_root_stop_processes "$debian_root_guarded"
  if debian_root_unmount "$debian_root_guarded"; then
    [ -n "${TESSEL_KEEP_ROOT:-}" ] || debian_root_remove "$debian_root_guarded"
  fi
  exit "$rc"
}

# debian_root_prerequisites NAME: the caller (NAME in the message) runs as root, and debootstrap is there.
debian_root_prerequisites() {
  [ "$(id -u)" -eq 0 ] || { echo "$1: must run as root (debootstrap, mount and chroot)" >&2; exit 1; }
  command -v debootstrap >/dev/null && return 0
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
}
