#!/usr/bin/env bash
# The same bytes from the same sources: reprotest builds Tessel's release a second time, as someone comparing it
# would (scripts/package.sh in a copy of the sources), varying what it can vary here, and compares it with this
# build's: diffoscope's report of any difference, then every file's SHA-256. Then, in every file and every member
# unpacked from it, no path of either build (a path that differs already shows as a difference; this finds one
# the builds share), and every date the one of SOURCE_DATE_EPOCH, none in the programs' headers.
# usage: check-reproducible.sh FIRST_BUILD_DIR WORK_DIR
# Leaves WORK_DIR/first/source-root/build/package: the first build's release files, laid out as package.sh leaves
# them; and WORK_DIR/second: the second build's sources and build, where it ran, for check-signing.sh.
set -euo pipefail
first_build=$(realpath "$1") work=$(realpath -m "$2")
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
release=source-root/build/package
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
files="build/package/tessel[-_.]* build/package/build/packaging/release/*/tessel.exe"

# reprotest shows the tree through disorderfs, in another file order; a killed run leaves that view mounted. It
# is unmounted (at once, even if busy) before anything here is removed, and when this run ends.
unmount() {
  { findmnt -rn -o TARGET | grep -F "$work/" || true; } | xargs -r -n1 fusermount -uz
}
unmount
trap unmount EXIT
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
echo "$checker: the first build $first_build, dated $epoch, by $(id -un) under umask $(umask) and" \
  "TZ=${TZ:-$(date +%Z)}; the second by $builder, reprotest varying $variations"
"${runner[@]}" HOME="$work" TMPDIR="$work/tmp" SOURCE_DATE_EPOCH="$epoch" reprotest --verbosity 1 --min-cpus 1 \
  --variations="$variations" --control-build "$work/first" --store-dir "$work/store" -s "$work/sources" \
  "scripts/package.sh && cp -a . '$work/second'" "$files" ||
  fail "reprotest found differences, or could not build"

# The second build back where it ran, which its build tree names.
if [ -d "$work/second" ]; then
  tree=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$work/second/build/package/build/CMakeCache.txt")
  mkdir -p "$(dirname "$tree")"
  mv "$work/second" "$tree"
  ln -s "$tree" "$work/second"
  # shellcheck disable=SC2086 # the release files' patterns
  (cd "$work/first/source-root" && sha256sum $files) >"$work/SHA256SUMS"
  (cd "$work/second" && sha256sum -c "$work/SHA256SUMS") | sed "s/^/$checker: SHA-256 of the second build's /" ||
    fail "the second build's files are not the first build's"
fi

# The dates and paths inside the files that both builds made.
cd "$work/first/source-root/build/package"
unpacked=$work/unpacked
rm -rf "$unpacked"
export TZ=UTC LC_ALL=C
# at FORMAT [SECONDS]: SOURCE_DATE_EPOCH in FORMAT, or SECONDS; dates with blanks squeezed, as the tools print them.
at() {
  date -d "@${2:-$epoch}" "+$1" | tr -s ' '
}
dos=$((epoch / 2 * 2))
for file in tessel[-_.]* build/packaging/release/*/tessel.exe; do
  into=$unpacked/$file
  mkdir -p "$into"
  case $file in
    *.zip)
      unzip -q -d "$into" "$file"
      expect "$file: its members' DOS dates" "$(at '%Y %b %e %T' $dos)" \
        "$(zipinfo -v "$file" | sed -n 's/^ *file last modified on (DOS date\/time): *//p' | tr -s ' ' | sort -u)"
      expect "$file: its members' extended time stamps" "$(at '%Y %b %e %T UTC')" \
        "$(zipinfo -v "$file" | sed -n 's/^ *file last modified on (UT extra field modtime): *\(.*UTC\)$/\1/p' |
          tr -s ' ' | sort -u)"
      ;;
    *.deb)
      dpkg-deb -R "$file" "$into/tree"
      # An ar header's date is bytes 16 to 27 of the 60 before each member's data.
      expect "$file: its ar members' dates" "$epoch" "$(ar tvO "$file" | awk '{ print $NF }' | while read -r offset; do
        dd if="$file" bs=1 skip=$((offset - 44)) count=12 2>/dev/null | tr -d ' '; echo; done | sort -u)"
      expect "$file: its tar entries' dates" "$(at '%F %T')" "$({ dpkg-deb --ctrl-tarfile "$file"
        dpkg-deb --fsys-tarfile "$file"; } | tar -tv --full-time | awk '{ print $4, $5 }' | sort -u)"
      ;;
    *.msi)
      (cd "$into" && msidump --tables --streams "$work/first/source-root/build/package/$file" >/dev/null)
      msiextract -C "$into/files" "$file" >/dev/null
      expect "$file: its summary's dates" "$(at '%a %b %e %T %Y')" \
        "$(msiinfo suminfo "$file" | sed -n 's/^\(Created\|Last saved\): //p' | tr -s ' ' | sort -u)"
      # A cabinet holds local times, UTC here.
      expect "$file: its cabinet's dates" "$(at '%d.%m.%Y %T' $dos)" \
        "$(cabextract -l "$into/_Streams/tessel.cab" | sed -n 's/^ *[0-9]* | \(.*\) | .*/\1/p' | sort -u)"
      ;;
    *.exe)
      expect "$file: the PE header's time stamp" "$(at '%a %b %e %T %Y' 0)" \
        "$(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^Time\/Date\t*//p' | tr -s ' ')"
      ;;
  esac
done
for path in "$source_dir" "$first_build" "$(realpath "$work/second")" "$work/sources"; do
  found=$(grep -r -l -a -F -- "$path" . "$unpacked" | head -n5 || true)
  [ -z "$found" ] || fail "$path is written inside: $(echo "$found" | xargs)"
done
finish "both builds made the same files, which hold no path of either build, and every date in them is" \
  "$(at '%F %T UTC') or none"
