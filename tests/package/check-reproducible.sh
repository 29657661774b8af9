#!/usr/bin/env bash
# Checks the release files that both builds made byte for byte (rebuild-release.sh): in every file and every
# member unpacked from it, no path of either build; every date the one of SOURCE_DATE_EPOCH, none in the programs'
# headers. A path that differs between the builds already shows as a difference; this finds one that does not.
# usage: check-reproducible.sh WORK_DIR SOURCE_DATE_EPOCH_FILE PATH...
# PATH...: the first build's folders (sources, build); the second build's are added.
set -euo pipefail
work=$(realpath "$1") epoch=$(cat "$2")
shift 2
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
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
for path in "$@" "$(realpath "$work/second")" "$work/sources"; do
  found=$(grep -r -l -a -F -- "$path" . "$unpacked" | head -n5 || true)
  [ -z "$found" ] || fail "$path is written inside: $(echo "$found" | xargs)"
done
finish "the release files hold no path of either build, and every date is $(at '%F %T UTC') or none"
