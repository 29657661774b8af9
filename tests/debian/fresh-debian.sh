#!/usr/bin/env bash
# The README's two commands as a new user runs them (scripts/run.sh, then scripts/test.sh), as an ordinary user with
# sudo and no display, on this checkout's HEAD, in a fresh minimal Debian root: mmdebstrap makes it, hands it to the
# hooks fresh-user.sh and fresh-readme.sh, and removes it; what it mounts lives in its own namespaces only.
# usage: tests/debian/fresh-debian.sh SUITE   (bookworm or trixie; as root; 10 to 20 minutes, about a gigabyte)
# Results go to build/fresh-debian/SUITE/; downloaded packages are kept in build/debian-cache/SUITE.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
suite=${1:?usage: tests/debian/fresh-debian.sh SUITE (bookworm or trixie)}
[ "$(id -u)" -eq 0 ] || { echo "fresh-debian: must run as root (mmdebstrap)" >&2; exit 1; }
# shellcheck disable=SC1091 # checked on its own
source tests/debian/mirror.sh
results=$PWD/build/fresh-debian/$suite
cache=$PWD/build/debian-cache/$suite
# What the hooks read.
export TESSEL_FRESH_USER=student TESSEL_FRESH_RESULTS=$results TESSEL_FRESH_CHECKOUT=$PWD
rm -rf "$results"
mkdir -p "$results" "$cache"
command -v mmdebstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q mmdebstrap
began=$SECONDS
echo "fresh-debian: a minimal $suite root, the README's commands in it (log: $results/mmdebstrap.log)"
# shellcheck disable=SC2016 # mmdebstrap gives the hook the root as $1
TMPDIR=$PWD/build/fresh-debian mmdebstrap --mode=unshare --variant=minbase --include=git,ca-certificates,sudo \
  --skip=essential/unlink --setup-hook='mkdir -p "$1/var/cache/apt/archives"' \
  --setup-hook="sync-in $cache /var/cache/apt/archives" --customize-hook=tests/debian/fresh-user.sh \
  --customize-hook=tests/debian/fresh-readme.sh --customize-hook="sync-out /var/cache/apt/archives $cache" \
  "$suite" /dev/null "$TESSEL_DEBIAN_MIRROR" "deb $TESSEL_DEBIAN_MIRROR $suite-updates main" \
  "deb $TESSEL_DEBIAN_SECURITY $suite-security main" >"$results/mmdebstrap.log" 2>&1 ||
  echo "fresh-debian: mmdebstrap failed; the end of its log: $(tail -n 3 "$results/mmdebstrap.log")"

read -r run_status run_seconds <"$results/run.status" || run_status=none
read -r test_status test_seconds <"$results/test.status" || test_status=none
{
  echo "suite: $suite ($(sed -n 's/^PRETTY_NAME="\(.*\)"/\1/p' "$results/os-release")), checkout" \
    "$(git log -1 --format='%h %s'), $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "wine: $(cat "$results/wine.txt"); the whole run: $((SECONDS - began)) s"
  echo "scripts/run.sh: exit $run_status, ${run_seconds:-?} s"
  grep -E '^(run: |screenshot|tessel.exe exited)' "$results/run.log" | sed 's/^/  /' || true
  echo "scripts/test.sh: exit $test_status, ${test_seconds:-?} s"
  grep -E '^== |tests passed|tests failed|^fuzz: |^[0-9]+ passed|^# (pass|fail)|^test: ' "$results/test.log" |
    sed 's/^/  /' || true
} | tee "$results/summary.txt"
[ "$run_status" = 0 ] && [ -s "$results/tessel-screenshot.png" ] && [ "$test_status" = 0 ]
