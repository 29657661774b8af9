#!/usr/bin/env bash
# Installs what the project's commands need on Debian 12 or 13 (amd64); quiet and quick when all is present.
# usage: scripts/setup.sh WHAT... with WHAT the needs listed below (test: all but machine's; headless: Xvfb and the
# screenshot tools). Wine's 32-bit part (wine32:i386) comes with run and test where the kernel runs 32-bit programs
# and TESSEL_NO_32BIT is not set; when it cannot be installed (a stale i386 index, say), setup warns and goes on, and
# the 32-bit tests run in the emulated machine of tests/machine/emulated-machine.sh while run starts the x86-64 build.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tests/wine/wine-env.sh"
windows_build_needs=(cmake make python3 g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
  binutils-mingw-w64-x86-64)
run_needs=("${windows_build_needs[@]}" wine wine64 fonts-wine)
headless_needs=(xvfb x11-utils imagemagick)
fuzz_needs=(clang libclang-rt-dev)
machine_needs=(debvm qemu-system-x86)
web_needs=(cmake make python3 g++ clang lld)
package_needs=(wixl msitools osslsigncode openssl strip-nondeterminism unzip pandoc)
test_needs=(g++ libgtest-dev googletest openbox lld nodejs=node npm=npm chromium firefox-esr webkit2gtk-driver xvfb
  lintian desktop-file-utils appstream python3-pefile liblnk-utils cabextract diffoscope-minimal=diffoscope reprotest
  disorderfs faketime locales-all shellcheck)
usage() { echo "usage: scripts/setup.sh run|web|package|test|fuzz|machine [headless]" >&2; exit 2; }
needs=() headless='' want_wine32=''
for want in "$@"; do
  case "$want" in
    run) needs+=("${run_needs[@]}") want_wine32=1 ;;
    fuzz) needs+=("${fuzz_needs[@]}") ;;
    machine) needs+=("${machine_needs[@]}") ;;
    web) needs+=("${web_needs[@]}") ;;
    # tessel.html is a release file too; nothing of the release needs Wine to be made.
    package) needs+=("${windows_build_needs[@]}" "${web_needs[@]}" "${package_needs[@]}") ;;
    test) needs+=("${run_needs[@]}" "${web_needs[@]}" "${package_needs[@]}" "${fuzz_needs[@]}" "${test_needs[@]}")
      headless=1 want_wine32=1 ;;
    headless) headless=1 ;;
    *) usage ;;
  esac
done
[ ${#needs[@]} -gt 0 ] || usage
[ -z "$headless" ] || needs+=("${headless_needs[@]}")
fail() { echo "setup: $*" >&2; exit 1; }
warn() { echo "setup: warning: $*" >&2; }
if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
  # Another distribution: nothing can be installed from here; go on if the main tools are there.
  type -P cmake i686-w64-mingw32-g++ x86_64-w64-mingw32-g++ wine >/dev/null ||
    fail "no apt-get here (not Debian or Ubuntu); install by hand what CONTRIBUTING.md lists for the two commands"
  exit 0
fi
installed() { [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null || true)" = installed ]; }
missing=()
for package in "${needs[@]}"; do
  # PACKAGE=COMMAND is met by the command from anywhere: Node.js from another source brings its own npm, which
  # Debian's npm package would conflict with.
  [[ $package != *=* ]] || ! command -v "${package#*=}" >/dev/null || continue
  package=${package%%=*}
  installed "$package" || [[ " ${missing[*]-} " == *" $package "* ]] || missing+=("$package")
done
# Wine's 32-bit part, installed when it can be: without it only the 32-bit Windows runs are left out.
wine32=
[ -z "$want_wine32" ] || [ "${TESSEL_NO_32BIT:-0}" != 0 ] || installed wine32:i386 || ! tessel_kernel_runs_32bit ||
  wine32=wine32:i386
[ ${#missing[@]} -gt 0 ] || [ -n "$wine32" ] || exit 0
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null ||
    fail "${missing[*]} $wine32 must be installed, which needs root: run as root or install sudo"
  sudo=(sudo)
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# apt_get ARGUMENTS...: apt-get, quiet, into the log, waiting for another apt's lock (unattended upgrades, a second
# setup) rather than fail. apt_error [PATTERN]: the log's errors on one line, or its last line.
apt_get() { "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -qq "$@" >"$log" 2>&1; }
apt_error() { grep -E "^${1:-E}:" "$log" | paste -sd ' ' | grep . || tail -n1 "$log"; }
without_wine32() {
  warn "$*; the 32-bit Windows runs will not run here (the tests run them in an emulated machine)"
  wine32=
}
if [ -n "$wine32" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386 ||
    without_wine32 "cannot enable the i386 architecture that Wine's 32-bit part needs"
fi
# An index that fails (a mirror in the middle of a sync, say) leaves the others usable: a warning here, and an
# error below only if a package that is needed cannot be found. apt's errors name the indexes that failed.
after_update=
if ! apt_get update; then
  failed_update="apt-get update failed: $(apt_error '(E|W)')" && after_update=" ($failed_update)"
  warn "$failed_update; going on with the package lists at hand"
fi
# apt names each package that its sources lack.
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  apt_get install -y "${missing[@]}" || fail "apt-get install ${missing[*]} failed: $(apt_error)$after_update"
fi
has_candidate() {
  apt-cache policy "$1" 2>/dev/null | awk '$1 == "Candidate:" && $2 != "(none)" { found = 1 } END { exit !found }'
}
if [ -n "$wine32" ] && ! has_candidate "$wine32"; then
  without_wine32 "$wine32 is not in this system's apt sources$after_update"
elif [ -n "$wine32" ]; then
  echo "setup: installing $wine32" >&2
  apt_get install -y "$wine32" || without_wine32 "apt-get install $wine32 failed: $(apt_error)$after_update"
fi
