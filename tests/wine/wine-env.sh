# Sourced by the scripts that run Windows programs: a private Wine prefix, never the user's, of the kind that
# TESSEL_WINE_ARCH names (win32 by default, for tessel.exe built for i686; win64 for the x86_64 build).
# TESSEL_WINE_DIR holds two prepared template prefixes of that kind; each run copies one for a fresh start:
#   managed   Wine's defaults: ordinary windows of the desktop's window manager
#   headless  for Xvfb without a window manager, where Wine stalls about 2 s whenever a managed
#             top-level window hides or closes; its windows are unmanaged (override-redirect), which
#             is wrong on a real desktop: no task-bar entry, no Alt+Tab, nothing the manager can move.
# In these scripts `wine` is the loader of that kind, also for Wine's own tools: `wine wineboot`,
# `wine winepath`, `wine regedit`. TESSEL_NO_32BIT=1 makes them behave as on a kernel without 32-bit support.
# TESSEL_TIME_SCALE=N (set in the emulated machine, where everything runs several times slower) lets the waits
# for Xvfb and openbox last N times longer.

TESSEL_ROOT=${TESSEL_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
TESSEL_WINE_ARCH=${TESSEL_WINE_ARCH:-win32}
TESSEL_WINE_DIR=${TESSEL_WINE_DIR:-$TESSEL_ROOT/build/wine/$TESSEL_WINE_ARCH}

export WINEARCH=$TESSEL_WINE_ARCH
export WINEDEBUG=-all
# No Mono or Gecko prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="

# tessel_wine_loader win32|win64: the path of Wine's loader for that kind of prefix, or nothing.
# Debian's /usr/bin/wine picks the 32-bit loader whenever it is installed, so each is named directly;
# elsewhere (WineHQ's builds, Wine's own WoW64 mode) wine64 or wine on the PATH serves.
tessel_wine_loader() {
  local candidate
  if [ "$1" = win64 ]; then
    for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
      # A 64-bit loader itself, not one of the scripts that choose a loader.
      [ -n "$candidate" ] && [ -x "$candidate" ] &&
        [ "$(od -An -tx1 -N5 "$candidate" 2>/dev/null | tr -d ' ')" = 7f454c4602 ] || continue
      echo "$candidate"
      return 0
    done
  elif [ -d /usr/lib/wine ]; then
    # Debian's layout: wine32 brings this loader; without it /usr/bin/wine falls back to the 64-bit one.
    [ -x /usr/lib/wine/wine ] && echo /usr/lib/wine/wine && return 0
  else
    command -v wine && return 0
  fi
  return 1
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
  if [ "$1" = win32 ]; then
    if [ "${TESSEL_NO_32BIT:-0}" != 0 ]; then
      echo "TESSEL_NO_32BIT=$TESSEL_NO_32BIT asks to behave as on a kernel without 32-bit support"
    elif ! tessel_kernel_runs_32bit; then
      echo "Wine's 32-bit part cannot start on this machine: its kernel runs 64-bit programs only" \
        "(IA-32 emulation is off; see dmesg), and the i686 tessel.exe is a 32-bit Windows program"
    elif ! tessel_wine_loader win32 >/dev/null; then
      echo "Wine's 32-bit part (wine32:i386 on Debian) is not installed"
    else
      echo "Wine's 32-bit loader $(tessel_wine_loader win32) does not start"
    fi
  elif ! tessel_wine_loader win64 >/dev/null; then
    echo "Wine's 64-bit part (wine64 on Debian) is not installed"
  else
    echo "Wine's 64-bit loader $(tessel_wine_loader win64) does not start"
  fi
}

TESSEL_WINE_LOADER=$(tessel_wine_loader "$TESSEL_WINE_ARCH" || true)
export TESSEL_WINE_LOADER
# Wine starts its own helper programs with WINELOADER, so they too run in the prefix's kind.
[ -z "$TESSEL_WINE_LOADER" ] || export WINELOADER=$TESSEL_WINE_LOADER
# Exported, so that the scripts these ones start (desktop-check.sh) use the same loader.
wine() {
  if [ -z "$TESSEL_WINE_LOADER" ]; then
    echo "wine: $(tessel_wine_not_run_reason "$TESSEL_WINE_ARCH")" >&2
    return 127
  fi
  "$TESSEL_WINE_LOADER" "$@"
}
export -f wine

# Creates the template of the kind given as $1 once; concurrent callers wait on a lock.
tessel_prepare_template() {
  local kind=$1 template=$TESSEL_WINE_DIR/template-$1
  mkdir -p "$TESSEL_WINE_DIR"
  [ -f "$template/.ready" ] && return 0
  tessel_wine_runs "$TESSEL_WINE_ARCH" || { tessel_wine_not_run_reason "$TESSEL_WINE_ARCH" >&2; return 1; }
  (
    flock 9
    [ -f "$template/.ready" ] && exit 0
    rm -rf "$template"
    if [ "$kind" = managed ]; then
      echo "Preparing a Wine prefix for Tessel (once, about 10 s)" >&2
      WINEPREFIX=$template wine wineboot -i >/dev/null 2>&1 || { echo "wineboot could not make a prefix in $template" >&2; exit 1; }
      # Debian's Wine does not find its own fonts (Marlett draws the caption buttons,
      # Tahoma the captions), so the prefix gets copies.
      cp /usr/share/wine/fonts/* "$template/drive_c/windows/Fonts/"
    else
      tessel_prepare_template managed
      cp -a "$TESSEL_WINE_DIR/template-managed" "$template"
      rm -f "$template/.ready"
      local reg=$TESSEL_WINE_DIR/unmanaged.reg
      printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n"Decorated"="Y"\n' >"$reg"
      WINEPREFIX=$template wine regedit "$reg" >/dev/null 2>&1
    fi
    WINEPREFIX=$template wineserver -w
    touch "$template/.ready"
  ) 9>"$TESSEL_WINE_DIR/.lock-$kind"
}

# tessel_fresh_prefix DIR KIND: a fresh copy of the template of KIND (managed or headless) in DIR.
tessel_fresh_prefix() {
  tessel_prepare_template "$2"
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

# Starts Xvfb with a 24-bit screen of the given size (WxH) on a free display;
# sets DISPLAY and TESSEL_XVFB_PID. The caller stops it with tessel_stop_xvfb.
tessel_start_xvfb() {
  local size=$1 fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$fdfile" 2>/dev/null &
  TESSEL_XVFB_PID=$!
  for _ in $(seq $((100 * ${TESSEL_TIME_SCALE:-1}))); do
    [ -s "$fdfile" ] && break
    kill -0 "$TESSEL_XVFB_PID" 2>/dev/null || { rm -f "$fdfile"; return 1; }
    sleep 0.05
  done
  export DISPLAY=:$(head -n1 "$fdfile")
  rm -f "$fdfile"
}

tessel_stop_xvfb() {
  if [ -n "${TESSEL_XVFB_PID:-}" ]; then
    kill "$TESSEL_XVFB_PID" 2>/dev/null || true
    wait "$TESSEL_XVFB_PID" 2>/dev/null || true
    TESSEL_XVFB_PID=
  fi
}

# Stops the Wine server of WINEPREFIX and every program still running in it.
tessel_stop_wineserver() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
}

# Starts openbox, a window manager of Debian's, on DISPLAY and waits until it manages the screen;
# sets TESSEL_WM_PID. The caller stops it with tessel_stop_openbox.
tessel_start_openbox() {
  openbox --sm-disable </dev/null >/dev/null 2>&1 &
  TESSEL_WM_PID=$!
  for _ in $(seq $((100 * ${TESSEL_TIME_SCALE:-1}))); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    kill -0 "$TESSEL_WM_PID" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

tessel_stop_openbox() {
  if [ -n "${TESSEL_WM_PID:-}" ]; then
    kill "$TESSEL_WM_PID" 2>/dev/null || true
    wait "$TESSEL_WM_PID" 2>/dev/null || true
    TESSEL_WM_PID=
  fi
}
