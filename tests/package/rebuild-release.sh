#!/usr/bin/env bash
# Has reprotest build Tessel's release a second time, as someone comparing it would (scripts/package.sh in a copy
# of the sources), varying what it can vary here, and compare it with the first build's: diffoscope's report of
# any difference, then every file's SHA-256. reprotest runs as nobody where this runs as root.
# usage: rebuild-release.sh FIRST_BUILD_DIR WORK_DIR
# Leaves WORK_DIR/first/source-root/build/package: the first build's release files, laid out as package.sh leaves
# them; and WORK_DIR/second: the second build's sources and build, where it ran, for check-signing.sh.
set -euo pipefail
first_build=$(realpath "$1") work=$(realpath -m "$2")
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
release=source-root/build/package
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
files="build/package/tessel[-_.]* build/package/build/packaging/release/*/tessel.exe"

# Never a removal through a file-order view that a stopped run left mounted.
{ findmnt -rn -o TARGET | grep -F "$work/" || true; } | xargs -r -n1 fusermount -u
rm -rf "$work"
mkdir -p "$work/sources" "$work/tmp" "$work/first/$release/build"
quietly "$work/packages.log" cpack --config "$first_build/CPackConfig.cmake" -B "$work/packages" -G "ZIP;DEB"
cp "$work/packages"/tessel[-_.]* "$work/first/$release/"
(cd "$first_build" && cp --parents packaging/release/*/tessel.exe "$work/first/$release/build/")
tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$work/sources" -xf -

# The other user: owners, and whatever a build takes from its user, must not show.
runner=(env) builder=$(id -un)
if [ "$(id -u)" = 0 ] && chown -R nobody:nogroup "$work" &&
  setpriv --reuid=nobody --regid=nogroup --clear-groups test -w "$work/sources"; then
  runner=(setpriv --reuid=nobody --regid=nogroup --clear-groups env USER=nobody LOGNAME=nobody) builder=nobody
fi
# reprotest's other time zone is UTC+14; where this one is too, its fixed one, UTC-12. Turkish letter case and
# collation differ from C's.
variations=+all,-user_group,-domain_host,locales.locale=tr_TR.UTF-8
[ "$(date +%z)" != +1400 ] || variations+=,-timezone
epoch=$(cat "$first_build/packaging/source-date-epoch")
echo "rebuild-release: the first build $first_build, dated $epoch, by $(id -un) under umask $(umask) and" \
  "TZ=${TZ:-$(date +%Z)}; the second by $builder, reprotest varying $variations"
status=0
"${runner[@]}" HOME="$work" TMPDIR="$work/tmp" SOURCE_DATE_EPOCH="$epoch" reprotest --verbosity 1 --min-cpus 1 \
  --variations="$variations" --control-build "$work/first" --store-dir "$work/store" -s "$work/sources" \
  "scripts/package.sh && cp -a . '$work/second'" "$files" || status=$?

# The second build back where it ran, which its build tree names.
if [ -d "$work/second" ]; then
  tree=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$work/second/build/package/build/CMakeCache.txt")
  mkdir -p "$(dirname "$tree")"
  mv "$work/second" "$tree"
  ln -s "$tree" "$work/second"
  # shellcheck disable=SC2086 # the release files' patterns
  (cd "$work/first/source-root" && sha256sum $files) >"$work/SHA256SUMS"
  (cd "$work/second" && sha256sum -c "$work/SHA256SUMS") | sed "s/^/rebuild-release: SHA-256 of the second build's /" ||
    status=1
fi
exit "$status"
