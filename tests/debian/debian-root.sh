# shellcheck shell=bash
# Sourced by tests/machine/emulated-machine.sh, so that a root is never removed while something is still mounted in it.

# debian_root_mounts ROOT: the mount points below ROOT, innermost (longest path) first.
debian_root_mounts() {
  local root
  root=$(realpath -m "$1")
  awk -v root="$root" '$2 == root || index($2, root "/") == 1 { print $2 }' /proc/self/mounts |
    sed 's/\\040/ /g' | awk '{ print length, $0 }' | sort -rn | cut -d' ' -f2-
}
