#!/usr/bin/env bash
# Builds Tessel's release a second time, as someone comparing it would: from a copy of the sources in another
# folder, with the package preset, under another umask, time zone and locale (and, when run as root, as another
# user), and dated by the first build's SOURCE_DATE_EPOCH. Leaves both builds' release files side by side for check-reproducible.sh and the signed
# build's tree for check-signing.sh. Nothing is shared with the first build but the sources' contents.
# usage: rebuild-release.sh FIRST_BUILD_DIR WORK_DIR
# WORK_DIR/first and WORK_DIR/second then hold the seven release files and x86/tessel.exe and x64/tessel.exe.
set -euo pipefail
first_build=$(realpath "$1") work=$(realpath -m "$2")
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

rm -rf "$work"
mkdir -p "$work/first" "$work/second"

# release_files BUILD_DIR PACKAGE_DIR OUT [RUNNER...]: the programs as released and the packages cpack makes
# (through RUNNER), into OUT.
release_files() {
  local build=$1 packages=$2 out=$3
  shift 3
  "$@" cpack --config "$build/CPackConfig.cmake" -B "$packages" -G "ZIP;DEB" >"$packages.log" 2>&1 ||
    { cat "$packages.log" >&2; return 1; }
  cp "$packages"/tessel[-_.]* "$out/"
  for platform in x86 x64; do
    mkdir -p "$out/$platform"
    cp "$build/packaging/release/$platform/tessel.exe" "$out/$platform/"
  done
}
release_files "$first_build" "$work/first-packages" "$work/first"
epoch=$(cat "$first_build/packaging/source-date-epoch")

# Another folder for the sources: a path written into a file shows as a difference.
mkdir -p "$work/src"
tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$work/src" -xf -

# Another owner of every file, where this runs as root and nobody may work in the copy: owners must not show.
runner=() builder=$(id -un)
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  mkdir -p "$work/second-packages"
  chown -R nobody:nogroup "$work/src" "$work/second-packages"
  if setpriv --reuid=nobody --regid=nogroup --clear-groups test -w "$work/src"; then
    runner=(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work/src") builder=nobody
  fi
fi

# Another umask, another day (UTC+14, or UTC-12 where this one is +14), and another locale: Turkish, whose
# letter case and collation differ from C's, made with localedef where Debian's locale sources are installed.
if [ "$(umask)" = 0077 ]; then mask=0022; else mask=0077; fi
if [ "$(date +%z)" = +1400 ]; then zone='<-12>12'; else zone='<+14>-14'; fi
locale=C.UTF-8
if command -v localedef >/dev/null && [ -f /usr/share/i18n/locales/tr_TR ] && mkdir -p "$work/locale" &&
  localedef -i tr_TR -f UTF-8 "$work/locale/tr_TR.UTF-8" >/dev/null 2>&1; then
  export LOCPATH=$work/locale
  locale=tr_TR.UTF-8
fi
echo "rebuild-release: first build $first_build, dated $epoch, by $(id -un); second in $work/src with umask" \
  "$mask, TZ=$zone, LC_ALL=$locale, by $builder"
(
  umask "$mask"
  export TZ=$zone LC_ALL=$locale SOURCE_DATE_EPOCH=$epoch
  cd "$work/src"
  "${runner[@]}" cmake --preset package >"$work/second.log" 2>&1 &&
    "${runner[@]}" cmake --build --preset package -j"$(nproc)" >>"$work/second.log" 2>&1
) || { tail -n 40 "$work/second.log" >&2; exit 1; }
(
  umask "$mask"
  export TZ=$zone LC_ALL=$locale
  release_files "$work/src/build/package/build" "$work/second-packages" "$work/second" "${runner[@]}"
)
ls -l "$work/first" "$work/second" | grep '^-' | awk '{ print "rebuild-release:", $5, $9 }'
