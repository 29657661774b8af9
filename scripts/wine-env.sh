# Sourced by the scripts that run Windows programs: a private 32-bit Wine prefix, never the user's.
# TESSEL_WINE_DIR holds two prepared template prefixes; each run copies one for a fresh start:
#   managed   Wine's defaults: ordinary windows of the desktop's window manager
#   headless  for Xvfb without a window manager, where Wine stalls about 2 s whenever a managed
#             top-level window hides or closes; its windows are unmanaged (override-redirect), which
#             is wrong on a real desktop: no task-bar entry, no Alt+Tab, nothing the manager can move.

TESSEL_ROOT=${TESSEL_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
TESSEL_WINE_DIR=${TESSEL_WINE_DIR:-$TESSEL_ROOT/build/wine}

export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Whether Wine's 32-bit loader starts here: some kernels run 64-bit programs only (IA-32 emulation off).
tessel_wine_runs_32bit() {
  wine --version >/dev/null 2>&1
}

tessel_no_32bit_message="Wine's 32-bit part cannot start on this machine: its kernel runs 64-bit programs only \
(IA-32 emulation is off; see dmesg), and tessel.exe is a 32-bit Windows program"

# Creates the template of the kind given as $1 once; concurrent callers wait on a lock.
tessel_prepare_template() {
  local kind=$1 template=$TESSEL_WINE_DIR/template-$1
  mkdir -p "$TESSEL_WINE_DIR"
  [ -f "$template/.ready" ] && return 0
  tessel_wine_runs_32bit || { echo "$tessel_no_32bit_message" >&2; return 1; }
  (
    flock 9
    [ -f "$template/.ready" ] && exit 0
    rm -rf "$template"
    if [ "$kind" = managed ]; then
      echo "Preparing a Wine prefix for Tessel (once, about 10 s)" >&2
      WINEPREFIX=$template wineboot -i >/dev/null 2>&1 || { echo "wineboot could not make a prefix in $template" >&2; exit 1; }
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
  for _ in $(seq 100); do
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
  for _ in $(seq 100); do
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
