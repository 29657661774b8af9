#!/usr/bin/env bash
# Draws the guide's pictures: the real window as scripts/run.sh starts it on Xvfb (the i686 tessel.exe where Wine's
# 32-bit part runs) after PORTBbits.RB3 = 1 ; and TRISCbits.TRISC3 = 1 ; carried out, with numbered callouts, and its
# status bar, as palette PNGs in docs/guide/. usage: docs/guide/pictures.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
# The window as the README's first command shows it without a display, after that one double-click.
env -u DISPLAY TESSEL_SCREEN=1280x1024 TESSEL_DBLCLICK=711,769 scripts/run.sh
shot=build/tessel-screenshot.png
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
