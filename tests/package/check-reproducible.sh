#!/usr/bin/env bash
# Compares the release files of two builds that rebuild-release.sh laid side by side: every file's SHA-256, with
# diffoscope's report of any that differ; then, in every file and every member unpacked from it, no path of
# either build, and every date the one of SOURCE_DATE_EPOCH (or none, in the programs' headers).
# usage: check-reproducible.sh WORK_DIR SOURCE_DATE_EPOCH_FILE PATH...
# PATH...: the folders that must not appear inside any file (sources and builds of both).
set -euo pipefail
work=$(realpath "$1") epoch=$(cat "$2")
shift 2
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

cd "$work/first"
files=$(find . -type f | sed 's|^\./||' | LC_ALL=C sort)
expect_files=$(cd "$work/second" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$files" = "$expect_files" ] || fail "the builds made different files: $(echo $files) and $(echo $expect_files)"
printf '%-24s %8s  %-64s  %s\n' file bytes "SHA-256 of the first build" "second build"
for file in $files; do
  [ -f "$work/second/$file" ] || continue
  first=$(sha256sum "$file" | cut -d' ' -f1) second=$(sha256sum "$work/second/$file" | cut -d' ' -f1)
  if [ "$first" = "$second" ]; then
    printf '%-24s %8s  %s  the same\n' "$file" "$(stat -c %s "$file")" "$first"
  else
    printf '%-24s %8s  %s  %s\n' "$file" "$(stat -c %s "$file")" "$first" "$second"
    fail "$file differs between the builds; diffoscope says:"
    diffoscope --no-progress --text - "$file" "$work/second/$file" | head -n 200 >&2 || true
  fi
done

# Every file, and every member of the packages, as plain bytes: the zip's and the Debian package's members,
# the MSIs' tables, streams and cabinet contents.
unpacked=$work/unpacked
rm -rf "$unpacked"
for build in first second; do
  for file in $files; do
    into=$unpacked/$build/$file
    mkdir -p "$into"
    case "$file" in
      *.zip) (cd "$into" && unzip -q "$work/$build/$file") ;;
      *.deb) dpkg-deb -R "$work/$build/$file" "$into/tree" ;;
      *.msi)
        (cd "$into" && msidump --tables --streams "$work/$build/$file" >/dev/null)
        msiextract -C "$into/files" "$work/$build/$file" >/dev/null
        ;;
    esac
  done
done
for path in "$@"; do
  found=$(grep -r -l -a -F -- "$path" "$work/first" "$work/second" "$unpacked" 2>/dev/null | head -n5 || true)
  [ -z "$found" ] || fail "$path is written inside: $(echo $found)"
done

# The dates: none in the programs' headers; SOURCE_DATE_EPOCH in the zip, the Debian package's members, the
# MSIs' summaries and their cabinets (which hold local times: UTC here).
/usr/bin/python3 - "$work" "$epoch" $files <<'PY' || failures=$((failures + 1))
import io, os, struct, subprocess, sys, tarfile, time, zipfile

work, epoch, files = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
utc = time.gmtime(epoch)
dos = (utc.tm_year, utc.tm_mon, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec // 2 * 2)
failed = []
def expect(what, expected, actual):
    if expected != actual:
        failed.append(f"{what}: expected {expected!r}, got {actual!r}")

def ar_members(data):
    offset, members = 8, []
    while offset < len(data):
        header = data[offset:offset + 60]
        name, mtime, size = header[:16].decode().strip(), int(header[16:28]), int(header[48:58])
        members.append((name, mtime, data[offset + 60:offset + 60 + size]))
        offset += 60 + size + size % 2
    return members

for build in ("first", "second"):
    for name in files:
        path = os.path.join(work, build, name)
        what = f"{build} build: {name}"
        data = open(path, "rb").read()
        if name.endswith(".exe"):
            pe = struct.unpack_from("<I", data, 0x3C)[0]
            expect(f"{what}: PE header time stamp", 0, struct.unpack_from("<I", data, pe + 8)[0])
        elif name.endswith(".zip"):
            with zipfile.ZipFile(path) as archive:
                for info in archive.infolist():
                    expect(f"{what}: {info.filename}'s date", dos, info.date_time)
        elif name.endswith(".deb"):
            for member, mtime, content in ar_members(data):
                expect(f"{what}: {member}'s date", epoch, mtime)
                if member.endswith(".tar.gz") or member.endswith(".tar.xz"):
                    with tarfile.open(fileobj=io.BytesIO(content)) as tar:
                        for entry in tar:
                            expect(f"{what}: {member}: {entry.name}'s date", epoch, entry.mtime)
        elif name.endswith(".msi"):
            summary = subprocess.run(["msiinfo", "suminfo", path], env=dict(os.environ, TZ="UTC", LC_ALL="C"),
                                     capture_output=True, text=True, check=True).stdout
            for field in ("Created", "Last saved"):
                line = next((l for l in summary.splitlines() if l.startswith(field + ": ")), "")
                expect(f"{what}: summary {field}", time.strftime("%a %b %e %H:%M:%S %Y", utc), line.split(": ", 1)[-1])
            cab = subprocess.run(["msiinfo", "extract", path, "tessel.cab"], capture_output=True, check=True).stdout
            files_offset, folders, count = struct.unpack_from("<I", cab, 16)[0], *struct.unpack_from("<HH", cab, 26)
            offset = files_offset
            for _ in range(count):
                day, clock = struct.unpack_from("<HH", cab, offset + 10)
                end = cab.index(b"\0", offset + 16)
                stamp = ((day >> 9) + 1980, (day >> 5) & 15, day & 31, clock >> 11, (clock >> 5) & 63, (clock & 31) * 2)
                expect(f"{what}: cabinet's {cab[offset + 16:end].decode()}", dos, stamp)
                offset = end + 1
for line in failed:
    print("check-reproducible:", line, file=sys.stderr)
sys.exit(1 if failed else 0)
PY

if [ "$failures" -ne 0 ]; then
  echo "check-reproducible: $failures failures" >&2
  exit 1
fi
echo "check-reproducible: both builds made the same $(echo "$files" | wc -l) files, with no build path inside and" \
  "every date $(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S UTC') or none"
