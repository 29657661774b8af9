#!/usr/bin/env bash
# Tries the README's two commands as a new user would: a fresh minimal Debian root, this checkout's HEAD, no display.
# usage: tests/debian/fresh-debian.sh SUITE   (bookworm or trixie; as root; several minutes, about a gigabyte of packages)
# Results go to build/fresh-debian/SUITE/: run.log, test.log, the screenshot and summary.txt.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
TESSEL_ROOT=$PWD
suite=${1:?usage: tests/debian/fresh-debian.sh SUITE (bookworm or trixie)}
source tests/debian/debian-root.sh
debian_root_prerequisites fresh-debian

results=$PWD/build/fresh-debian/$suite
root=$PWD/build/fresh-debian/root-$suite
user=student
home=/home/$user
rm -rf "$results"
mkdir -p "$results"

debian_root_guard "$root"

began=$SECONDS
echo "fresh-debian: making a minimal $suite root in $root"
debian_root_create "$suite" "$root"
debian_root_mount "$root"
made=$((SECONDS - began))

# An ordinary user who may use sudo, as on a desktop machine, with this checkout's HEAD in the home folder.
debian_root_exec "$root" useradd --create-home --shell /bin/bash "$user"
echo "$user ALL=(ALL) NOPASSWD: ALL" >"$root/etc/sudoers.d/$user"
chmod 0440 "$root/etc/sudoers.d/$user"
git clone --quiet --no-hardlinks "$PWD" "$root$home/tessel"
head=$(git -C "$root$home/tessel" log -1 --format='%h %s')
debian_root_exec "$root" chown -R "$user:$user" "$home/tessel"

# Runs one README command as the user, without DISPLAY; sets $seconds and $status.
readme_command() {
  local name=$1 command=$2 started=$SECONDS
  echo "fresh-debian: $command"
  status=0
  debian_root_exec "$root" runuser -u "$user" -- env HOME="$home" USER="$user" LOGNAME="$user" \
    bash -c "cd ~/tessel && $command" >"$results/$name.log" 2>&1 || status=$?
  seconds=$((SECONDS - started))
  echo "fresh-debian: $command: exit $status after $seconds s"
}

readme_command run scripts/run.sh
run_status=$status run_seconds=$seconds
cp "$root$home/tessel/build/tessel-screenshot.png" "$results/" 2>/dev/null || true
readme_command test scripts/test.sh
test_status=$status test_seconds=$seconds

wine_version=$(debian_root_exec "$root" sh -c 'wine --version 2>/dev/null || echo "no wine"')
os=$(. "$root/etc/os-release" && echo "$PRETTY_NAME")
{
  echo "suite: $suite ($os), $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "checkout: $head"
  echo "wine: $wine_version"
  echo "minimal root: $made s"
  echo "scripts/run.sh: exit $run_status, $run_seconds s"
  grep -E '^(run: |screenshot|tessel.exe exited)' "$results/run.log" | sed 's/^/  /' || true
  echo "scripts/test.sh: exit $test_status, $test_seconds s"
  grep -E '^== |tests passed|tests failed|^fuzz: |^[0-9]+ passed|^# (pass|fail)|^test: ' "$results/test.log" |
    sed 's/^/  /' || true
} | tee "$results/summary.txt"
[ "$run_status" -eq 0 ] && [ -s "$results/tessel-screenshot.png" ] && [ "$test_status" -eq 0 ]
