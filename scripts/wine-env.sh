# Sourced by the scripts that run Windows programs: a private 32-bit Wine prefix, never the user's.
# TESSEL_WINE_DIR holds the prepared template prefix; each run may copy it for a fresh start.

TESSEL_ROOT=${TESSEL_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
TESSEL_WINE_DIR=${TESSEL_WINE_DIR:-$TESSEL_ROOT/build/wine}
TESSEL_WINE_TEMPLATE=$TESSEL_WINE_DIR/template

export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Creates the template prefix once; concurrent callers wait on a lock.
tessel_prepare_template() {
  mkdir -p "$TESSEL_WINE_DIR"
  (
    flock 9
    [ -f "$TESSEL_WINE_TEMPLATE/.ready" ] && exit 0
    rm -rf "$TESSEL_WINE_TEMPLATE"
    WINEPREFIX=$TESSEL_WINE_TEMPLATE wineboot -i >/dev/null 2>&1
    # Debian's Wine does not find its own fonts (Marlett draws the caption buttons,
    # Tahoma the captions), so the prefix gets copies.
    cp /usr/share/wine/fonts/* "$TESSEL_WINE_TEMPLATE/drive_c/windows/Fonts/"
    # Without a window manager, Wine stalls ~2 s whenever a managed top-level window hides.
    local reg=$TESSEL_WINE_DIR/unmanaged.reg
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n"Decorated"="Y"\n' >"$reg"
    WINEPREFIX=$TESSEL_WINE_TEMPLATE wine regedit "$reg" >/dev/null 2>&1
    WINEPREFIX=$TESSEL_WINE_TEMPLATE wineserver -w
    touch "$TESSEL_WINE_TEMPLATE/.ready"
  ) 9>"$TESSEL_WINE_DIR/.lock"
}

# Copies the template into a fresh prefix directory given as $1.
tessel_fresh_prefix() {
  tessel_prepare_template
  rm -rf "$1"
  cp -a "$TESSEL_WINE_TEMPLATE" "$1"
}

# Points WINEPREFIX at the prefix shared by the test programs, making it on first use.
tessel_use_shared_prefix() {
  export WINEPREFIX=$TESSEL_WINE_DIR/shared
  mkdir -p "$TESSEL_WINE_DIR"
  (
    flock 9
    [ -f "$WINEPREFIX/.ready" ] || tessel_fresh_prefix "$WINEPREFIX"
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
