#!/usr/bin/env bash
# Draws the guide's pictures: the real window (the i686 tessel.exe under Wine's 32-bit part, on Xvfb) after
# PORTBbits.RB3 = 1 ; and TRISCbits.TRISC3 = 1 ; carried out, with numbered callouts, and its status bar,
# as palette PNGs in docs/guide/. usage: docs/guide/pictures.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
scripts/setup.sh run headless
cmake --preset mingw-i686-run >/dev/null
cmake --build --preset mingw-i686-run >/dev/null
source tests/wine/wine-env.sh
export WINEPREFIX=$TESSEL_WINE_DIR/run-headless
[ -f "$WINEPREFIX/.ready" ] || tessel_fresh_prefix "$WINEPREFIX" headless
bin=build/mingw-i686-run shot=build/guide-window.png pid=
trap '{ [ -z "$pid" ] || kill "$pid"; } 2>/dev/null || true; tessel_stop_wineserver; tessel_stop_xvfb' EXIT
tessel_start_xvfb 1280x1024
wine "$bin/shell/tessel.exe" & pid=$!
wine "$bin/tools/tessel_remote.exe" ready 30000 >/dev/null
wine "$bin/tools/tessel_remote.exe" dblclick 711 769
window=$(tessel_x_window '"Tessel C-Language Simulator": ("tessel.exe"')
import -window "$window" "$shot"
wine "$bin/tools/tessel_remote.exe" close 10000
# dots N X Y ...: ImageMagick's arguments for a red disc numbered N centred at X,Y of the picture.
dots() { while [ $# -gt 0 ]; do printf '%s\n' -fill '#c62828' -draw "circle $2,$3 $(($2 + 10)),$3" \
  -fill white -draw "text $(($2 - 4)),$(($3 + 5)) '$1'"; shift 3; done; }
draw=(-strip -quality 90 +antialias -font DejaVu-Sans-Bold -pointsize 14 -fill none -stroke '#c62828' -strokewidth 2)
mapfile -t window < <(dots 1 11 51 2 592 74 3 592 100 4 592 125 5 690 159 6 690 91 7 600 556 8 150 778 9 520 778)
convert "$shot" "${draw[@]}" -draw 'rectangle 442,86 476,114' -draw 'rectangle 157,266 191,294' -stroke none \
  "${window[@]}" PNG8:docs/guide/window.png
mapfile -t status < <(dots 1 100 42 2 241 42 3 542 42)
convert "$shot" -crop 960x26+0+793 +repage -background white -gravity south -splice 0x28 +gravity "${draw[@]}" \
  -draw 'line 6,30 193,30' -draw 'line 197,30 286,30' -draw 'line 305,30 780,30' -stroke none "${status[@]}" \
  PNG8:docs/guide/status.png
