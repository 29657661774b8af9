#!/usr/bin/env bash
# Measures each Windows build of tessel.exe that Wine runs here (x86-64, then i686) against the empty window built
# for the same processor, prints size, start-up, response and memory, checks the budgets; then the browser edition.
# A build that cannot run here is said NOT MEASURED, with the reason. The driver, bench/driver.cpp, measures under
# Wine and works out the medians and ratios; this script sets the stage and judges. bench/web_load.js measures and
# judges the browser edition. usage: scripts/bench.sh [web|mingw-x86_64|mingw-i686]   (that one alone)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh test
source tests/wine/wine-env.sh

starts=${TESSEL_BENCH_STARTS:-25} notifications=10000 memory_samples=5
size_budget=12288 startup_budget=1.30 memory_target_kib=512
expected_imports="COMCTL32.DLL GDI32.DLL KERNEL32.DLL USER32.DLL"
# 1366 x 768 is the screen whose window width, 1024.5, must round to the even 1024.
screen=1366x768 expected_window="1024 614 171 77"

# value OUTPUT KEY: what follows KEY on its line of the driver's OUTPUT (whose lines end in CR LF).
value() { tr -d '\r' <<<"$1" | awk -v key="$2" '$1 == key { $1 = ""; sub(/^ /, ""); print; exit }'; }
at_most() { awk -v v="$1" -v b="$2" 'BEGIN { exit !(v <= b) }'; }
verdict() { if at_most "$1" "$2"; then echo "within budget"; else echo "OVER BUDGET"; fi; }
cpu_model() { awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo; }

# import_list EXE: a line "DLL: function function ..." for each DLL that EXE imports from, as objdump reads them.
import_list() {
  "$objdump" -p "$1" | awk '
    /DLL Name:/ { if (line != "") print line; line = $3 ":"; next }
    line != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { line = line " " $3; next }
    line != "" && /^$/ { print line; line = "" }
    END { if (line != "") print line }'
}

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
  "${wine_side[@]}" wine wineboot </dev/null >/dev/null 2>&1
}

# drive MODE ARGUMENTS...: one measurement of the driver, bench/driver.cpp.
drive() { timeout 600 "${driver_side[@]}" wine "$bin/bench/tessel_bench.exe" "$@"; }

report() {
  echo
  echo "Tessel benchmark of $preset ($TESSEL_WINE_ARCH prefix), $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "pinning: $pinning"
  echo "machine: $(nproc) CPUs, $(cpu_model), $(wine --version), load $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
  echo "1. size: tessel.exe is $size bytes; budget $size_budget bytes: $(verdict "$size" "$size_budget")"
  printf '%s\n' "$imports" | sed 's/^/     imports /'
  [ "$dlls" = "$expected_imports" ] || echo "     unexpected import list: $dlls"
  echo "2. start-up to the 25th instruction caption, median of $starts starts each, Wine server warm:"
  echo "     tessel.exe $(value "$startup" startup_tessel_median_ms) ms" \
    "(range $(value "$startup" startup_tessel_range_ms)), empty window" \
    "$(value "$startup" startup_minimal_median_ms) ms (range $(value "$startup" startup_minimal_range_ms))"
  echo "     ratio $startup_ratio; budget $startup_budget: $(verdict "$startup_ratio" "$startup_budget")"
  echo "     main window $win_w x $win_h at ($win_x, $win_y) on the ${screen/x/ x } screen"
  echo "3. response, $notifications double-clicks on the latch cell 711, each answered and checked at the end:"
  echo "     $(value "$response" response_answered_us) us per double-click," \
    "$(value "$response" response_ignored_us) us per ignored message (WM_USER + 256)"
  echo "     ratio $(value "$response" response_ratio)"
  echo "4. memory of the running program minus the empty window's, median of $memory_samples starts each:"
  echo "     VmRSS         $rss_tessel KiB - $rss_minimal KiB = $rss_extra KiB;" \
    "target under $memory_target_kib KiB: $(verdict "$rss_extra" "$((memory_target_kib - 1))")"
  echo "     PagefileUsage $pagefile_tessel KiB - $pagefile_minimal KiB = $pagefile_extra KiB;" \
    "target under $memory_target_kib KiB: $(verdict "$pagefile_extra" "$((memory_target_kib - 1))")"
  echo
}

# measure PRESET: one build's figures; fails when a budget is missed. Run in a process of its own, so that its
# Wine prefix, Xvfb and clean-up stay apart from the other build's.
measure() {
  local began=$SECONDS
  preset=$1 bin=$PWD/build/$1
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target tessel tessel_minimal tessel_bench -j"$(nproc)" >/dev/null
  objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$bin/CMakeCache.txt")
  local tessel=$bin/shell/tessel.exe minimal=$bin/bench/minimal.exe
  export WINEPREFIX=$TESSEL_WINE_DIR/bench
  trap 'tessel_stop_wineserver; tessel_stop_xvfb' EXIT
  stage
  local win_tessel win_minimal over=()
  win_tessel=$(winepath -w "$tessel") win_minimal=$(winepath -w "$minimal")

  size=$(stat -c %s "$tessel")
  imports=$(import_list "$tessel")
  dlls=$(cut -d: -f1 <<<"$imports" | tr '[:lower:]' '[:upper:]' | sort | xargs)
  [ "$size" -le "$size_budget" ] || over+=("size")
  [ "$dlls" = "$expected_imports" ] || over+=("imports")

  startup=$(drive startup "$starts" "$win_tessel" "$win_minimal")
  read -r win_w win_h win_x win_y <<<"$(value "$startup" window)"
  startup_ratio=$(value "$startup" startup_ratio)
  at_most "$startup_ratio" "$startup_budget" || over+=("start-up")
  [ "$win_w $win_h $win_x $win_y" = "$expected_window" ] || over+=("window size")

  response=$(drive response "$notifications" "$win_tessel")

  local memory
  memory=$(drive memory "$memory_samples" "$win_tessel" "$win_minimal")
  read -r rss_tessel rss_minimal rss_extra <<<"$(value "$memory" memory_vmrss_kib)"
  read -r pagefile_tessel pagefile_minimal pagefile_extra <<<"$(value "$memory" memory_pagefile_kib)"
  [ "$rss_extra" -lt "$memory_target_kib" ] || over+=("memory (VmRSS)")
  [ "$pagefile_extra" -lt "$memory_target_kib" ] || over+=("memory (PagefileUsage)")

  report
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
