#!/usr/bin/env bash
# The Debian package's install checks on a fresh SUITE: autopkgtest runs the package's tests (tests/debian/tests) in a
# testbed unpacked afresh from an mmdebstrap tarball for each test, then piuparts installs, removes and purges it.
# usage: tests/debian/check-install.sh [SUITE]   (bookworm by default, or trixie; as root)
# Results go to build/check-install/SUITE/: autopkgtest's output folder, piuparts.log and summary.txt.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
suite=${1:-bookworm} results=$PWD/build/check-install/${1:-bookworm}
cache=$PWD/build/debian-cache/$suite base=$PWD/build/debian-roots/$suite.tar.gz checkout=$(git log -1 --format=%h)
[ "$(id -u)" -eq 0 ] || { echo "check-install: must run as root (apt-get, piuparts)" >&2; exit 1; }
# shellcheck source=tests/debian/mirror.sh
source tests/debian/mirror.sh
rm -rf "$results"
mkdir -p "$results" "$cache/partial" "${base%/*}" build/piuparts
apt-get install -y -q -o DPkg::Lock::Timeout=600 autopkgtest mmdebstrap piuparts uidmap >/dev/null
# autopkgtest's unshare testbed maps the ids of its users to root's subordinate ones, which root must have.
grep -q '^root:' /etc/subuid || usermod --add-subuids 100000-165535 --add-subgids 100000-165535 root
scripts/package.sh >"$results/package.txt"
deb=$(realpath build/package/tessel_*_amd64.deb)
# The remote control that waits for the window's captions and closes it, built for Wine's 64-bit part.
cmake --preset mingw-x86_64-run >/dev/null
cmake --build --preset mingw-x86_64-run >/dev/null
# The minimal root with the host's mirrors (main, -updates, -security) and their indexes, made again after a week;
# each test and piuparts unpack it afresh and bring it up to date. The packages apt fetched stay in the cache.
sources=("$TESSEL_DEBIAN_MIRROR" "deb $TESSEL_DEBIAN_MIRROR $suite-updates main"
  "deb $TESSEL_DEBIAN_SECURITY $suite-security main")
if [ -z "$(find "$base" -mtime -7 2>/dev/null)" ]; then
  # shellcheck disable=SC2016 # mmdebstrap gives the hook the root as $1
  mmdebstrap --mode=unshare --variant=minbase --include=apt-utils --aptopt='APT::Sandbox::User "root"' \
    --skip=essential/unlink --skip=cleanup/apt/lists --setup-hook='mkdir -p "$1/var/cache/apt/archives"' \
    --setup-hook="sync-in $cache /var/cache/apt/archives" --customize-hook="sync-out /var/cache/apt/archives $cache" \
    "$suite" "$base" "${sources[@]}" >"$results/mmdebstrap.log" 2>&1
fi
echo "check-install: autopkgtest runs the package's tests (log: $results/autopkgtest.log)"
began=$SECONDS status=0
autopkgtest --apt-upgrade --output-dir="$results/autopkgtest" --summary="$results/autopkgtest.txt" \
  --copy="$PWD/build/mingw-x86_64-run/tools/tessel_remote.exe:/usr/local/lib/tessel-tests/tessel_remote.exe" \
  "$deb" "$PWD/tests" -- unshare --tarball="$base" --prefix="$PWD/build/check-install/testbed-" \
  --bind "$cache" /var/cache/apt/archives >"$results/autopkgtest.log" 2>&1 || status=$?
tested=$((SECONDS - began))
for screen in "$results"/autopkgtest/artifacts/*/*.xwd; do
  [ ! -e "$screen" ] || convert "xwd:$screen" "${screen%.xwd}.png"
done
# piuparts: install, removal and purge in a chroot of its own, unpacked from the same root. debconf's
# dpkg-preconfigure, which apt runs for every install once apt-utils is there, leaves its empty work folder.
echo "check-install: piuparts installs, removes and purges the package (log: $results/piuparts.log)"
piuparts --distribution="$suite" --basetgz="$base" --mirror="$TESSEL_DEBIAN_MIRROR main" \
  --extra-repo="${sources[1]}" --extra-repo="${sources[2]}" --tmpdir="$PWD/build/piuparts" \
  --ignore=/var/cache/debconf/tmp.ci/ --no-upgrade-test "$deb" >"$results/piuparts.log" 2>&1 || status=1
{
  echo "suite: $suite, $(date -u '+%Y-%m-%d %H:%M UTC'), checkout $checkout," \
    "$(basename "$deb") $(stat -c %s "$deb") bytes; autopkgtest $tested s, exit $status"
  # Each test's steps and starts, not the details below them.
  grep -v '^   ' "$results"/autopkgtest/*-stdout | sed 's|^.*/\(.*\)-stdout:|\1: |'
  sed 's/^/autopkgtest: /' "$results/autopkgtest.txt"
  grep -E ' (PASS|FAIL|ERROR): ' "$results/piuparts.log" | tail -n 3
} | tee "$results/summary.txt"
exit "$status"
