#!/usr/bin/env bash
# The README's two commands as a new user runs them (scripts/run.sh, then scripts/test.sh): an ordinary user with sudo
# and no display, this checkout's HEAD, a fresh minimal Debian root that mmdebstrap makes in namespaces of its own,
# hands to its hooks (the last one fresh-readme.sh) and removes. Results go to build/fresh-debian/SUITE/.
# usage: tests/debian/fresh-debian.sh SUITE   (bookworm or trixie; as root; 10 to 20 minutes, about a gigabyte)
# TESSEL_FRESH_ARCHIVE=main: the release's main archive alone, as a machine not yet updated (results in SUITE-main/).
# TESSEL_FRESH_ROBUSTNESS=N: after the commands, the racing-starts group N times (about a minute each).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
suite=${1:?usage: tests/debian/fresh-debian.sh SUITE} archive=${TESSEL_FRESH_ARCHIVE:-main, -updates and -security}
results=$PWD/build/fresh-debian/$suite${TESSEL_FRESH_ARCHIVE:+-$archive}
cache=$PWD/build/debian-cache/$suite began=$SECONDS checkout=$(git log -1 --format='%h %s')
[ "$(id -u)" -eq 0 ] || { echo "fresh-debian: must run as root (mmdebstrap)" >&2; exit 1; }
# shellcheck source=tests/debian/mirror.sh
source tests/debian/mirror.sh
rm -rf "$results"
mkdir -p "$results" "$cache"
apt-get install -y -q -o DPkg::Lock::Timeout=600 mmdebstrap >/dev/null
sources=("$TESSEL_DEBIAN_MIRROR")
[ "$archive" = main ] || sources+=("deb $TESSEL_DEBIAN_MIRROR $suite-updates main"
  "deb $TESSEL_DEBIAN_SECURITY $suite-security main")
echo "fresh-debian: a minimal $suite root, the README's commands in it (log: $results/mmdebstrap.log)"
# The host's own certificate authorities (a network's TLS proxy, say) go in, so that npm reaches its registry.
# shellcheck disable=SC2016 # mmdebstrap gives the hooks the root as $1
TMPDIR=$PWD/build/fresh-debian TESSEL_FRESH_RESULTS=$results TESSEL_FRESH_ROBUSTNESS=${TESSEL_FRESH_ROBUSTNESS:-0} \
  mmdebstrap --mode=unshare --variant=minbase \
  --include=git,ca-certificates,sudo --skip=essential/unlink --setup-hook='mkdir -p "$1/var/cache/apt/archives"' \
  --setup-hook="sync-in $cache /var/cache/apt/archives" \
  --customize-hook='chroot "$1" useradd --create-home --shell /bin/bash student' \
  --customize-hook='echo "student ALL=(ALL) NOPASSWD: ALL" >"$1/etc/sudoers.d/student"' \
  --customize-hook='cp -RT /usr/local/share/ca-certificates "$1/usr/local/share/ca-certificates"' \
  --customize-hook='chroot "$1" update-ca-certificates >/dev/null' \
  --customize-hook="git -c safe.directory='*' clone -q --no-hardlinks $PWD \"\$1/home/student/tessel\"" \
  --customize-hook='chroot "$1" chown -R student: /home/student/tessel' --customize-hook=tests/debian/fresh-readme.sh \
  --customize-hook="sync-out /var/cache/apt/archives $cache" "$suite" /dev/null "${sources[@]}" \
  >"$results/mmdebstrap.log" 2>&1 || echo "fresh-debian: mmdebstrap failed: $(tail -n 3 "$results/mmdebstrap.log")"
{
  echo "suite: $suite ($(sed -n 's/^PRETTY_NAME="\(.*\)"/\1/p' "$results/os-release"))," \
    "archives: $archive; checkout $checkout, $(date -u '+%Y-%m-%d %H:%M UTC');" \
    "wine: $(cat "$results/wine.txt"); the whole run: $((SECONDS - began)) s"
  for command in run test; do
    echo "scripts/$command.sh: $(cat "$results/$command.status" 2>/dev/null || echo 'not run')"
    grep -E '^(run: |screenshot|tessel.exe exited|== |test: |Total Test time)|tests (passed|failed)' "$results/$command.log" |
      sed 's/^/  /'
  done
  [ "${TESSEL_FRESH_ROBUSTNESS:-0}" = 0 ] ||
    echo "the racing-starts group: $(cat "$results/robustness.status" 2>/dev/null || echo 'not run')"
} | tee "$results/summary.txt"
[ "$(cat "$results"/{run,test}.status 2>/dev/null | grep -c '^exit 0,')" = 2 ] &&
  [ -s "$results/tessel-screenshot.png" ] && { [ "${TESSEL_FRESH_ROBUSTNESS:-0}" = 0 ] ||
    grep -qx "$TESSEL_FRESH_ROBUSTNESS of $TESSEL_FRESH_ROBUSTNESS passed" "$results/robustness.status"; }
