#!/usr/bin/env bash
# The same bytes from the same sources: reprotest builds the release again with package.sh in a copy of the sources,
# varying what it can, and diffoscope compares; then no path of either build in any file, every date SOURCE_DATE_EPOCH's
# or none. usage: check-reproducible.sh FIRST_BUILD WORK_DIR   (check-signing.sh builds again in WORK_DIR/second)
set -euo pipefail
first_build=$(realpath "$1") work=$(realpath -m "$2") source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
release=$work/first/source-root/build/package
files="build/package/tessel[-_.]* build/package/build/packaging/release/*/tessel.exe"
source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"
# reprotest's disorderfs view of the tree (another file order) that a killed run left mounted goes, first and last.
unmount() { { findmnt -rn -o TARGET | grep -F "$work/" || true; } | xargs -r -n1 fusermount -uz; }
unmount
trap unmount EXIT
rm -rf "$work"
mkdir -p "$work/sources" "$work/tmp" "$release/build"
quietly "$work/packages.log" cpack --config "$first_build/CPackConfig.cmake" -B "$work/packages" -G "ZIP;DEB"
cp "$work/packages"/tessel[-_.]* "$release/"
(cd "$first_build" && cp --parents packaging/release/*/tessel.exe "$release/build/")
tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$work/sources" -xf -
# The other user: owners, and whatever a build takes from its user, must not show.
runner=(env) builder=$(id -un) epoch=$(cat "$first_build/packaging/source-date-epoch")
nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
if [ "$(id -u)" = 0 ] && chown -R nobody:nogroup "$work" && "${nobody[@]}" test -w "$work/sources"; then
  runner=("${nobody[@]}" env USER=nobody LOGNAME=nobody) builder=nobody
fi
# reprotest's other time zone is UTC+14, or UTC-12 where this is UTC+14; Turkish case and collation differ from C's.
# disorderfs is a FUSE view, which a container or a namespaced root may lack: said, not failed.
variations=+all,-user_group,-domain_host,locales.locale=tr_TR.UTF-8
[ "$(date +%z)" != +1400 ] || variations+=,-timezone
[ -w /dev/fuse ] || variations+=,-fileordering
echo "$checker: the first build by $(id -un), umask $(umask), TZ=${TZ:-$(date +%Z)};" \
  "the second by $builder, varying $variations"
"${runner[@]}" HOME="$work" TMPDIR="$work/tmp" SOURCE_DATE_EPOCH="$epoch" reprotest --verbosity 1 --min-cpus 1 \
  --variations="$variations" --control-build "$work/first" --store-dir "$work/store" -s "$work/sources" \
  "scripts/package.sh && cp -a . '$work/second'" "$files" || fail "reprotest found differences, or could not build"
# The second build's tree back where its build folder says it was, for check-signing.sh to build in again.
[ ! -d "$work/second" ] ||
  tree=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$work/second/build/package/build/CMakeCache.txt")
[ -z "${tree:-}" ] || { mkdir -p "$(dirname "$tree")" && mv "$work/second" "$tree" && ln -s "$tree" "$work/second"; }
# The dates and paths inside the files. at FORMAT [SECONDS]: SOURCE_DATE_EPOCH (or SECONDS) in FORMAT. dates WHAT
# FORMAT [SECONDS]: the dates on stdin are that; it ends its pipelines, so with lastpipe its failures count here.
cd "$release"
export TZ=UTC LC_ALL=C && dos=$((epoch / 2 * 2)) && shopt -s lastpipe
at() { date -d "@${2:-$epoch}" "+$1" | tr -s ' '; }
dates() { expect "$file: $1" "$(at "$2" "${3:-}")" "$(tr -s ' ' | sort -u)"; }
for file in tessel[-_.]* build/packaging/release/*/tessel.exe; do
  into=$work/unpacked/$file
  mkdir -p "$into"
  case $file in
    *.zip)
      unzip -q -d "$into" "$file"
      zipinfo -v "$file" | sed -n 's/^ *file last modified on (DOS date\/time): *//p' |
        dates "DOS dates" '%Y %b %e %T' "$dos"
      zipinfo -v "$file" | sed -n 's/^ *file last modified on (UT extra field modtime): *\(.*UTC\)$/\1/p' |
        dates "extended time stamps" '%Y %b %e %T UTC'
      ;;
    *.deb)
      dpkg-deb -R "$file" "$into/tree"
      # An ar header's date is bytes 16 to 27 of the 60 before each member's data.
      ar tvO "$file" | awk '{ print $NF }' | while read -r offset; do
        dd if="$file" bs=1 skip=$((offset - 44)) count=12 2>/dev/null | tr -d ' ' && echo
      done | dates "ar members' dates" %s
      { dpkg-deb --ctrl-tarfile "$file" && dpkg-deb --fsys-tarfile "$file"; } | tar -tv --full-time |
        awk '{ print $4, $5 }' | dates "tar entries' dates" '%F %T'
      ;;
    *.msi)
      (cd "$into" && msidump --tables --streams "$release/$file" >/dev/null)
      msiextract -C "$into/files" "$file" >/dev/null
      msiinfo suminfo "$file" | sed -n 's/^\(Created\|Last saved\): //p' | dates "summary's dates" '%a %b %e %T %Y'
      # A cabinet holds local times, UTC here.
      cabextract -l "$into/_Streams/tessel.cab" | sed -n 's/^ *[0-9]* | \(.*\) | .*/\1/p' |
        dates "cabinet's dates" '%d.%m.%Y %T' "$dos"
      ;;
    *.exe)
      x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^Time\/Date\t*//p' | dates "PE time stamp" '%a %b %e %T %Y' 0
      ;;
  esac
done
for path in "$source_dir" "$first_build" "$work/sources"; do
  found=$(grep -r -l -a -F -- "$path" . "$work/unpacked" | head -n5 | xargs || true)
  [ -z "$found" ] || fail "$path is written inside: $found"
done
finish "both builds made the same files, which hold no path of either build, and every date in them is" \
  "$(at '%F %T UTC') or none"
