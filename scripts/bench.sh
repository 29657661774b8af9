#!/usr/bin/env bash
# Measures each Windows build of tessel.exe that Wine runs here (x86-64, then i686) against the empty window built
# for the same processor: size, start-up, response and memory against their budgets; then the browser edition. A
# build that cannot run here is said NOT MEASURED, with the reason. This script sets the stage and judges the size;
# the driver, bench/driver.cpp, measures the rest under Wine and judges it, as bench/web_load.js does the browser
# edition's. usage: scripts/bench.sh [web|mingw-x86_64|mingw-i686]   (that one alone)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh test
source tests/wine/wine-env.sh
starts=${TESSEL_BENCH_STARTS:-25} notifications=10000 memory_samples=5
size_budget=12288 startup_budget=1.30 memory_target_kib=512
expected_imports="COMCTL32.DLL GDI32.DLL KERNEL32.DLL USER32.DLL"
# 1366 x 768 is the screen whose window width, 1024.5, must round to the even 1024.
screen=1366x768 expected_window="1024 614 171 77"
cpu_model() { awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo; }
# stage: a fresh prefix, an Xvfb and a warm Wine server. Xvfb, the Wine server, its services and the programs under
# test share the last CPU, the measuring driver runs on the first: docs/performance.md ("Pinning") says why.
# TESSEL_BENCH_PIN=0 measures without pinning.
stage() {
  tessel_fresh_prefix "$WINEPREFIX" headless
  tessel_start_xvfb "$screen"
  wine_side=() driver_side=() pinning=none
  if [ "${TESSEL_BENCH_PIN:-1}" != 0 ] && [ "$(nproc)" -ge 2 ]; then
    local program_cpu=$(($(nproc) - 1))
    wine_side=(taskset -c "$program_cpu") driver_side=(taskset -c 0)
    export TESSEL_BENCH_PROGRAM_CPUS=$((1 << program_cpu))
    taskset -cp "$program_cpu" "$TESSEL_XVFB_PID" >/dev/null
    pinning="Xvfb, Wine server and programs on CPU $program_cpu, driver on CPU 0"
  fi
  # A persistent server and the prefix's services up before the first start, not during it.
  "${wine_side[@]}" wineserver -p </dev/null >/dev/null 2>&1
  "${wine_side[@]}" "${TESSEL_WINE[@]}" wineboot </dev/null >/dev/null 2>&1
}
# drive WHAT MODE ARGUMENTS...: one measurement by the driver, which prints its part of the report (in CR LF lines)
# and exits 3 when WHAT is over its budget; any other failure ends the measurement.
drive() {
  local status=0
  timeout 600 "${driver_side[@]}" "${TESSEL_WINE[@]}" "$bin/bench/tessel_bench.exe" "${@:2}" | tr -d '\r' || status=$?
  [ "$status" != 3 ] || { over+=("$1"); status=0; }
  return "$status"
}
# measure PRESET: one build's figures; fails when a budget is missed. Run in a process of its own, so that its
# Wine prefix, Xvfb and clean-up stay apart from the other build's.
measure() {
  local began=$SECONDS size imports dlls verdict="within budget" win_tessel win_minimal
  preset=$1 bin=$PWD/build/$1 over=()
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target tessel tessel_minimal tessel_bench -j"$(nproc)" >/dev/null
  export WINEPREFIX=$TESSEL_WINE_DIR/bench
  trap 'tessel_stop_wineserver; tessel_stop_xvfb' EXIT
  stage
  win_tessel=$(winepath -w "$bin/shell/tessel.exe") win_minimal=$(winepath -w "$bin/bench/minimal.exe")
  size=$(stat -c %s "$bin/shell/tessel.exe")
  imports=$(/usr/bin/python3 bench/imports.py "$bin/shell/tessel.exe")
  dlls=$(cut -d: -f1 <<<"$imports" | tr '[:lower:]' '[:upper:]' | sort | xargs)
  echo
  echo "Tessel benchmark of $preset ($TESSEL_WINE_ARCH prefix), $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "pinning: $pinning"
  echo "machine: $(nproc) CPUs, $(cpu_model), $(wine --version), load $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
  [ "$size" -le "$size_budget" ] || { verdict="OVER BUDGET"; over+=(size); }
  echo "1. size: tessel.exe is $size bytes; budget $size_budget bytes: $verdict"
  printf '%s\n' "$imports" | sed 's/^/     imports /'
  [ "$dlls" = "$expected_imports" ] || { echo "     unexpected import list: $dlls"; over+=(imports); }
  # shellcheck disable=SC2086 # the window's four numbers, one argument each
  drive start-up startup "$starts" "$win_tessel" "$win_minimal" "$startup_budget" $expected_window
  drive response response "$notifications" "$win_tessel"
  drive memory memory "$memory_samples" "$win_tessel" "$win_minimal" "$memory_target_kib"
  echo
  echo "wall time: $((SECONDS - began)) s"
  [ ${#over[@]} -eq 0 ] || { echo "$preset over budget: ${over[*]}"; return 1; }
}
# web: tessel.html in headless Chromium against the frame-only page: size, and load time to the 25th caption; fails
# when the page is over its budget of 24,576 bytes.
web() {
  local began=$SECONDS bin=$PWD/build/wasm32 status=0
  cmake --preset wasm32 >/dev/null
  cmake --build --preset wasm32 --target tessel_page -j"$(nproc)" >/dev/null
  tests/web/tools.sh "$bin/tests/web/npm" >/dev/null
  echo
  echo "Tessel browser edition, $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "machine: $(nproc) CPUs, $(cpu_model), $(chromium --version 2>/dev/null | head -n1)," \
    "load $(cut -d' ' -f1-3 /proc/loadavg)"
  NODE_PATH=$bin/tests/web/npm/node_modules node bench/web_load.js "$bin/tessel.html" "$bin/web/tessel.wasm" \
    "$bin/frame.html" "${TESSEL_BENCH_LOADS:-20}" 24576 || status=$?
  echo "wall time: $((SECONDS - began)) s"
  return "$status"
}
case ${1:-} in
  web) web; exit ;;
  mingw-x86_64) export TESSEL_WINE_ARCH=win64 ;;&
  mingw-i686) export TESSEL_WINE_ARCH=win32 ;;&
  mingw-*) unset TESSEL_WINE_DIR; source tests/wine/wine-env.sh; measure "$1"; exit ;;
  ?*) echo "usage: scripts/bench.sh [web|mingw-x86_64|mingw-i686]" >&2; exit 2 ;;
esac
# Each in a process of its own, where a failed step ends that measurement (set -e holds there).
over=() not_measured=()
for build in mingw-x86_64:win64 mingw-i686:win32; do
  preset=${build%:*} arch=${build#*:}
  if tessel_wine_runs "$arch"; then
    "$PWD/scripts/bench.sh" "$preset" || over+=("$preset")
  else
    not_measured+=("$preset NOT MEASURED: $(tessel_wine_not_run_reason "$arch")")
    echo "bench: ${not_measured[-1]}" >&2
  fi
done
"$PWD/scripts/bench.sh" web || over+=("browser edition")
# Again at the end, where they are seen.
[ ${#not_measured[@]} -eq 0 ] || printf 'bench: %s\n' "${not_measured[@]}" >&2
[ ${#over[@]} -eq 0 ] || { echo "over budget: ${over[*]}"; exit 1; }
echo "every budget met"
