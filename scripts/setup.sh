#!/usr/bin/env bash
# Installs what the project's commands need on Debian 12 or 13 (amd64); quiet and quick when all is present.
# usage: scripts/setup.sh run|web|test|fuzz [headless]
#   run       build tessel.exe and run it under Wine
#   web       build the browser edition, tessel.html
#   test      everything the test command needs (includes run and fuzz)
#   fuzz      the fuzzing toolchain
#   headless  also Xvfb and the screenshot tools (run adds them itself when there is no display)
set -euo pipefail

run_needs=(
  cmake make python3
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine32:i386 fonts-wine
)
headless_needs=(xvfb x11-utils imagemagick)
fuzz_needs=(clang libclang-rt-dev)
web_needs=(cmake make python3 g++ clang lld)
test_needs=(
  g++ libgtest-dev googletest
  openbox
  lld nodejs=node npm=npm chromium firefox-esr webkit2gtk-driver xvfb
  lintian desktop-file-utils appstream python3-pefile
)

# What to install by hand elsewhere, for the message on systems without apt.
by_hand="CMake and make, the MinGW-w64 i686 C++ toolchain (i686-w64-mingw32-g++, windres), Wine with its 32-bit part
and its fonts, Python 3, and for headless runs Xvfb, xwininfo and ImageMagick's import; for the tests also g++,
GoogleTest (headers, libraries and sources), clang with libFuzzer and lld, openbox, Node.js with npm, Chromium,
lintian, desktop-file-validate, appstreamcli and Python's pefile"

usage() {
  echo "usage: scripts/setup.sh run|web|test|fuzz [headless]" >&2
  exit 2
}

needs=()
headless=
for want in "$@"; do
  case "$want" in
    run) needs+=("${run_needs[@]}") ;;
    fuzz) needs+=("${fuzz_needs[@]}") ;;
    web) needs+=("${web_needs[@]}") ;;
    test) needs+=("${run_needs[@]}" "${web_needs[@]}" "${fuzz_needs[@]}" "${test_needs[@]}") headless=1 ;;
    headless) headless=1 ;;
    *) usage ;;
  esac
done
[ ${#needs[@]} -gt 0 ] || usage
[ -z "$headless" ] || needs+=("${headless_needs[@]}")

fail() {
  echo "setup: $*" >&2
  exit 1
}

if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
  # Another distribution: nothing can be installed from here; go on if the main tools are there.
  for tool in cmake i686-w64-mingw32-g++ wine; do
    command -v "$tool" >/dev/null || fail "no apt-get here (not Debian or Ubuntu); install by hand: $by_hand"
  done
  exit 0
fi

# PACKAGE=COMMAND is met by the command from anywhere: Node.js from another source brings its own npm,
# which Debian's npm package would conflict with.
missing=()
for package in "${needs[@]}"; do
  case "$package" in
    *=*)
      command -v "${package#*=}" >/dev/null && continue
      package=${package%%=*}
      ;;
  esac
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)" = installed ] && continue
  case " ${missing[*]-} " in *" $package "*) ;; *) missing+=("$package") ;; esac
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || fail "${missing[*]} must be installed, which needs root: run as root or install sudo"
  sudo=(sudo)
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT
case " ${missing[*]} " in
  *:i386*)
    dpkg --print-foreign-architectures | grep -qx i386 || "${sudo[@]}" dpkg --add-architecture i386 ||
      fail "cannot enable the i386 architecture that Wine's 32-bit part needs"
    ;;
esac
"${sudo[@]}" apt-get update -qq >"$log" 2>&1 || fail "apt-get update failed: $(grep -m1 -E '^(E|W):' "$log" || tail -n1 "$log")"

unknown=()
for package in "${missing[@]}"; do
  candidate=$(apt-cache policy "$package" 2>/dev/null | awk '/Candidate:/ { print $2; exit }')
  [ -n "$candidate" ] && [ "$candidate" != "(none)" ] || unknown+=("$package")
done
[ ${#unknown[@]} -eq 0 ] || fail "package not found in this system's apt sources: ${unknown[*]}"

echo "setup: installing ${missing[*]}" >&2

"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >"$log" 2>&1 ||
  fail "apt-get install ${missing[*]} failed: $(grep -m1 -E '^E:' "$log" || tail -n1 "$log")"
