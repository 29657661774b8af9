# Sourced by the scripts that run Windows programs: a private Wine prefix, never the user's, of the kind
# TESSEL_WINE_ARCH names (win32 by default, for the i686 tessel.exe; win64 for the x86_64 one), each run's a copy of a
# template in TESSEL_WINE_DIR: managed (Wine's defaults, for a window manager) or headless (unmanaged windows, for a
# bare Xvfb, where Wine stalls about 2 s whenever a managed top-level window hides or closes). `wine` is the loader of
# that kind, also for Wine's own tools. The screens come with it, from tests/display/display.sh.
# shellcheck shell=bash
source "$(dirname "${BASH_SOURCE[0]}")/../display/display.sh"
TESSEL_ROOT=${TESSEL_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
TESSEL_WINE_ARCH=${TESSEL_WINE_ARCH:-win32}
TESSEL_WINE_DIR=${TESSEL_WINE_DIR:-$TESSEL_ROOT/build/wine/$TESSEL_WINE_ARCH}
# No Mono or Gecko prompts while the prefix is made.
export WINEARCH=$TESSEL_WINE_ARCH WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# tessel_wine_loader win32|win64: Debian's loader for that kind, named since /usr/bin/wine picks the 32-bit one whenever
# wine32 is installed; or, for win64, wine64 from the PATH.
tessel_wine_loader() {
  local loader=/usr/lib/wine/wine64
  [ "$1" = win64 ] || loader=/usr/lib/wine/wine
  if [ -x "$loader" ]; then echo "$loader"; elif [ "$1" = win64 ]; then command -v wine64; else return 1; fi
}
# Whether the kernel runs 32-bit x86 programs at all: some run 64-bit programs only (IA-32 emulation off).
# Tried with the smallest such program, 93 bytes that only exit with 0.
tessel_kernel_runs_32bit() {
  [ "$(uname -m)" = x86_64 ] || [ "$(uname -m)" = i686 ] || return 1
  local probe status=0
  mkdir -p "$TESSEL_ROOT/build"
  probe=$(mktemp "$TESSEL_ROOT/build/.i386-probe.XXXXXX")
  # ELF header, one loadable segment, then: mov eax, 1 (exit); xor ebx, ebx; int 0x80.
  printf '%b' '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0' \
    '\0\0\0\0\0\0\0\0\x34\0\x20\0\x01\0\0\0\0\0\0\0' \
    '\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08\x5d\0\0\0\x5d\0\0\0\x05\0\0\0\0\x10\0\0' \
    '\xb8\x01\0\0\0\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  return "$status"
}
# tessel_wine_runs win32|win64: whether Wine can run programs of that width here. TESSEL_NO_32BIT=1 makes any
# machine behave as one whose kernel runs no 32-bit code.
tessel_wine_runs() {
  [ "$1" = win64 ] || [ "${TESSEL_NO_32BIT:-0}" = 0 ] || return 1
  local loader
  loader=$(tessel_wine_loader "$1") || return 1
  "$loader" --version >/dev/null 2>&1
}
# tessel_wine_not_run_reason win32|win64: why Wine cannot run programs of that width here, in one sentence.
tessel_wine_not_run_reason() {
  local part=64-bit package=wine64
  [ "$1" = win64 ] || part=32-bit package=wine32:i386
  if [ "$1" = win32 ] && [ "${TESSEL_NO_32BIT:-0}" != 0 ]; then
    echo "TESSEL_NO_32BIT=$TESSEL_NO_32BIT asks to behave as on a kernel without 32-bit support"
  elif [ "$1" = win32 ] && ! tessel_kernel_runs_32bit; then
    echo "Wine's 32-bit part cannot start on this machine: its kernel runs 64-bit programs only" \
      "(IA-32 emulation is off; see dmesg), and the i686 tessel.exe is a 32-bit Windows program"
  elif ! tessel_wine_loader "$1" >/dev/null; then
    echo "Wine's $part part ($package on Debian) is not installed"
  else
    echo "Wine's $part loader $(tessel_wine_loader "$1") does not start"
  fi
}
TESSEL_WINE_LOADER=$(tessel_wine_loader "$TESSEL_WINE_ARCH" || true)
# Wine starts its own helper programs with WINELOADER, so they too run in the prefix's kind.
[ -z "$TESSEL_WINE_LOADER" ] || export WINELOADER=$TESSEL_WINE_LOADER
# Without address randomization, which all it starts inherit: else about one 64-bit start in 7,700 finds its C heap
# where Wine must map the shared user data, and dies (CreateProcess error 1359; docs/testing.md says why). Where the
# system refuses that (a container's seccomp filter), as before.
if setarch -R true 2>/dev/null; then TESSEL_WINE_SETARCH="setarch -R"; else TESSEL_WINE_SETARCH=; fi
# Exported, with wine, so that the scripts these ones start (desktop-check.sh) use the same loader.
export TESSEL_WINE_LOADER TESSEL_WINE_SETARCH
wine() {
  [ -n "$TESSEL_WINE_LOADER" ] || { echo "wine: $(tessel_wine_not_run_reason "$TESSEL_WINE_ARCH")" >&2; return 127; }
  $TESSEL_WINE_SETARCH "$TESSEL_WINE_LOADER" "$@"
}
export -f wine
# The same command as an array, for what starts Wine as a program (exec, timeout, taskset), which runs no function.
# shellcheck disable=SC2034,SC2206 # used by the scripts that source this; setarch and its option, or nothing
TESSEL_WINE=($TESSEL_WINE_SETARCH "$TESSEL_WINE_LOADER")
# Makes the two templates once; concurrent callers wait on a lock.
tessel_prepare_templates() {
  local managed=$TESSEL_WINE_DIR/template-managed headless=$TESSEL_WINE_DIR/template-headless
  mkdir -p "$TESSEL_WINE_DIR"
  [ -f "$headless/.ready" ] && return 0
  tessel_wine_runs "$TESSEL_WINE_ARCH" || { tessel_wine_not_run_reason "$TESSEL_WINE_ARCH" >&2; return 1; }
  (
    flock 9
    [ -f "$headless/.ready" ] && exit 0
    rm -rf "$managed" "$headless"
    echo "Preparing a Wine prefix for Tessel (once, about 10 s)" >&2
    # Wine stops waiting for a new prefix's wineboot after 5 minutes, which a loaded emulated machine can exceed; the
    # prefix counts all the same once its server has ended with the registry written.
    WINEPREFIX=$managed wine wineboot -i >/dev/null 2>&1 ||
      { WINEPREFIX=$managed wineserver -w && [ -s "$managed/system.reg" ]; } ||
      { echo "wineboot could not make a prefix in $managed" >&2; exit 1; }
    # Debian's Wine does not find its own fonts (Marlett draws the caption buttons, Tahoma the captions).
    cp /usr/share/wine/fonts/* "$managed/drive_c/windows/Fonts/"
    WINEPREFIX=$managed wineserver -w
    cp -a "$managed" "$headless"
    WINEPREFIX=$headless wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    WINEPREFIX=$headless wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d Y /f >/dev/null 2>&1
    WINEPREFIX=$headless wineserver -w
    touch "$managed/.ready" "$headless/.ready"
  ) 9>"$TESSEL_WINE_DIR/.templates.lock"
}
# tessel_fresh_prefix DIR KIND: a fresh copy of the template of KIND (managed or headless) in DIR.
tessel_fresh_prefix() {
  tessel_prepare_templates
  rm -rf "$1"
  cp -a "$TESSEL_WINE_DIR/template-$2" "$1"
}
# Points WINEPREFIX at the prefix shared by the test programs, making it on first use.
tessel_use_shared_prefix() {
  export WINEPREFIX=$TESSEL_WINE_DIR/shared
  mkdir -p "$TESSEL_WINE_DIR"
  (
    flock 9
    [ -f "$WINEPREFIX/.ready" ] || tessel_fresh_prefix "$WINEPREFIX" headless
  ) 9>"$TESSEL_WINE_DIR/.shared.lock"
}
# Stops the Wine server of WINEPREFIX and every program still running in it.
tessel_stop_wineserver() {
  [ -d "${WINEPREFIX:-}" ] || return 0
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}
