#!/usr/bin/env bash
# Measures each Windows build of tessel.exe that Wine runs here (x86-64, then i686) against the empty window built
# for the same processor, prints size, start-up, response and memory, checks the budgets; then the browser edition
# (scripts/bench-web.sh). A build that cannot run here is said NOT MEASURED, with the reason.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh run headless
source tests/wine/wine-env.sh

# measure PRESET: one build's figures; exits non-zero when a budget is missed. Run in a subshell of its own,
# so that its Wine prefix, Xvfb and clean-up stay apart from the other build's.
measure() {
  began=$(date +%s)
  preset=$1
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target tessel tessel_minimal tessel_bench -j"$(nproc)" >/dev/null
  bin=$PWD/build/$preset
  objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$bin/CMakeCache.txt")
  tessel=$bin/shell/tessel.exe
  minimal=$bin/bench/minimal.exe
  driver=$bin/bench/tessel_bench.exe

  starts=${TESSEL_BENCH_STARTS:-25}
  notifications=10000
  memory_samples=5
  size_budget=12288
  startup_budget=1.30
  memory_target_kib=512
  expected_imports="COMCTL32.DLL GDI32.DLL KERNEL32.DLL USER32.DLL"

  export WINEPREFIX=$TESSEL_WINE_DIR/bench
  holder_pid=
  cleanup() {
    if [ -n "$holder_pid" ]; then kill "$holder_pid" 2>/dev/null || true; fi
    tessel_stop_wineserver
    tessel_stop_xvfb
}
trap cleanup EXIT

tessel_fresh_prefix "$WINEPREFIX" headless
# 1366 x 768 is the screen whose window width, 1024.5, must round to the even 1024.
tessel_start_xvfb 1366x768

# On this kind of virtual machine a Wine server round trip between two CPUs costs about five times one
# on a single CPU (40 us against 7 us), so the figures would mostly count the program's server requests
# times the hypervisor's wake-up latency. Xvfb, the Wine server, its services and the programs under
# test therefore share the last CPU; the measuring driver runs on the first, so its polling takes no
# time from them. TESSEL_BENCH_PIN=0 measures without pinning.
wine_side=() driver_side=() pinning="none"
if [ "${TESSEL_BENCH_PIN:-1}" != 0 ] && [ "$(nproc)" -ge 2 ]; then
  program_cpu=$(($(nproc) - 1))
  wine_side=(taskset -c "$program_cpu")
  driver_side=(taskset -c 0)
  export TESSEL_BENCH_PROGRAM_CPUS=$((1 << program_cpu))
  taskset -cp "$program_cpu" "$TESSEL_XVFB_PID" >/dev/null
  pinning="Xvfb, Wine server and programs on CPU $program_cpu, driver on CPU 0"
fi
# A persistent server and the prefix's services up before the first start, not during it.
"${wine_side[@]}" wineserver -p </dev/null >/dev/null 2>&1
"${wine_side[@]}" wine wineboot </dev/null >/dev/null 2>&1

win_tessel=$(winepath -w "$tessel")
win_minimal=$(winepath -w "$minimal")
over=()

# --- 1. size and imports
size=$(stat -c %s "$tessel")
imports=$("$objdump" -p "$tessel" | awk '
  /DLL Name:/ { if (line != "") print line; line = $3 ":"; next }
  line != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { line = line " " $3; next }
  line != "" && /^$/ { print line; line = "" }
  END { if (line != "") print line }')
dlls=$(printf '%s\n' "$imports" | cut -d: -f1 | tr '[:lower:]' '[:upper:]' | sort | xargs)
[ "$size" -le "$size_budget" ] || over+=("size")
[ "$dlls" = "$expected_imports" ] || over+=("imports")

# --- 2. start-up
startup=$(timeout 600 "${driver_side[@]}" wine "$driver" startup "$starts" "$win_tessel" "$win_minimal")
value() { printf '%s\n' "$1" | tr -d '\r' | awk -v key="$2" '$1 == key { $1 = ""; sub(/^ /, ""); print; exit }'; }
read -r win_w win_h win_x win_y <<<"$(value "$startup" window)"
startup_tessel=$(value "$startup" startup_tessel_median_ms)
startup_minimal=$(value "$startup" startup_minimal_median_ms)
spread() { value "$startup" "$1" | tr ' ' '\n' | sort -n | sed -n '1p;$p' | paste -sd'-'; }
startup_tessel_spread=$(spread startup_tessel_ms)
startup_minimal_spread=$(spread startup_minimal_ms)
startup_ratio=$(awk -v a="$startup_tessel" -v b="$startup_minimal" 'BEGIN { printf "%.3f", a / b }')
awk -v r="$startup_ratio" -v b="$startup_budget" 'BEGIN { exit !(r <= b) }' || over+=("start-up")
[ "$win_w x $win_h at ($win_x, $win_y)" = "1024 x 614 at (171, 77)" ] || over+=("window size")

# --- 3. response
response=$(timeout 600 "${driver_side[@]}" wine "$driver" response "$notifications" "$win_tessel")
answered_us=$(value "$response" response_answered_us)
ignored_us=$(value "$response" response_ignored_us)
response_ratio=$(value "$response" response_ratio)

# --- 4. memory: the driver holds each program open while its Wine process is read from /proc
# Only the process started from this checkout's path in this prefix: others may run tessel.exe too.
linux_pid() {
  local pattern pid
  pattern=$(printf '%s' "$1" | sed 's/[][\\.^$*+?(){}|]/\\&/g')
  for pid in $(pgrep -f -x "$pattern"); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      echo "$pid"
      return 0
    fi
  done
  return 1
}

# One start of the program: sets sample_rss and sample_pagefile, both in KiB.
sample_memory() {
  local kind=$1 exe=$2 line pid
  coproc HOLDER { exec timeout 120 "${driver_side[@]}" wine "$driver" hold "$kind" "$exe"; }
  holder_pid=$HOLDER_PID
  if ! read -r -t 60 line <&"${HOLDER[0]}"; then
    echo "bench: $kind never became ready" >&2
    exit 1
  fi
  set -- $line  # ready KIND pagefile BYTES workingset BYTES
  sample_pagefile=$(($4 / 1024))
  if ! pid=$(linux_pid "$exe"); then
    echo "bench: no Linux process for $exe in $WINEPREFIX" >&2
    exit 1
  fi
  sample_rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status")
  echo done >&"${HOLDER[1]}"
  wait "$holder_pid"
  holder_pid=
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

tessel_rss=() tessel_pagefile=() minimal_rss=() minimal_pagefile=()
for _ in $(seq "$memory_samples"); do
  sample_memory tessel "$win_tessel"
  tessel_rss+=("$sample_rss") tessel_pagefile+=("$sample_pagefile")
  sample_memory minimal "$win_minimal"
  minimal_rss+=("$sample_rss") minimal_pagefile+=("$sample_pagefile")
done
rss_tessel=$(printf '%s\n' "${tessel_rss[@]}" | median)
rss_minimal=$(printf '%s\n' "${minimal_rss[@]}" | median)
pagefile_tessel=$(printf '%s\n' "${tessel_pagefile[@]}" | median)
pagefile_minimal=$(printf '%s\n' "${minimal_pagefile[@]}" | median)
rss_extra=$((rss_tessel - rss_minimal))
pagefile_extra=$((pagefile_tessel - pagefile_minimal))
[ "$rss_extra" -lt "$memory_target_kib" ] || over+=("memory (VmRSS)")
[ "$pagefile_extra" -lt "$memory_target_kib" ] || over+=("memory (PagefileUsage)")

# --- report
verdict() { if awk -v v="$1" -v b="$2" 'BEGIN { exit !(v <= b) }'; then echo "within budget"; else echo "OVER BUDGET"; fi; }
echo
echo "Tessel benchmark of $preset ($TESSEL_WINE_ARCH prefix), $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "pinning: $pinning"
echo "machine: $(nproc) CPUs, $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo), $(wine --version), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "1. size: tessel.exe is $size bytes; budget $size_budget bytes: $(verdict "$size" "$size_budget")"
printf '%s\n' "$imports" | sed 's/^/     imports /'
[ "$dlls" = "$expected_imports" ] || echo "     unexpected import list: $dlls"
echo "2. start-up to the 25th instruction caption, median of $starts starts each, Wine server warm:"
echo "     tessel.exe $startup_tessel ms (range $startup_tessel_spread), empty window $startup_minimal ms (range $startup_minimal_spread)"
echo "     ratio $startup_ratio; budget $startup_budget: $(verdict "$startup_ratio" "$startup_budget")"
echo "     main window $win_w x $win_h at ($win_x, $win_y) on the 1366 x 768 screen"
echo "3. response, $notifications double-clicks on the latch cell 711, each answered and checked at the end:"
echo "     $answered_us us per double-click, $ignored_us us per ignored message (WM_USER + 256)"
echo "     ratio $response_ratio"
echo "4. memory of the running program minus the empty window's, median of $memory_samples starts each:"
echo "     VmRSS         $rss_tessel KiB - $rss_minimal KiB = $rss_extra KiB; target under $memory_target_kib KiB: $(verdict "$rss_extra" "$((memory_target_kib - 1))")"
echo "     PagefileUsage $pagefile_tessel KiB - $pagefile_minimal KiB = $pagefile_extra KiB; target under $memory_target_kib KiB: $(verdict "$pagefile_extra" "$((memory_target_kib - 1))")"
echo
echo "wall time: $(($(date +%s) - began)) s"
if [ ${#over[@]} -gt 0 ]; then
  echo "$preset over budget: ${over[*]}"
  exit 1
fi
}

over=() not_measured=()
for build in mingw-x86_64:win64 mingw-i686:win32; do
  preset=${build%:*} arch=${build#*:}
  if ! tessel_wine_runs "$arch"; then
    not_measured+=("$preset NOT MEASURED: $(tessel_wine_not_run_reason "$arch")")
    echo "bench: ${not_measured[-1]}" >&2
    continue
  fi
  (
    export TESSEL_WINE_ARCH=$arch
    unset TESSEL_WINE_DIR
    source tests/wine/wine-env.sh
    measure "$preset"
  ) || over+=("$preset")
done
scripts/bench-web.sh || over+=("browser edition")
for line in "${not_measured[@]}"; do
  echo "bench: $line" >&2
done
if [ ${#over[@]} -gt 0 ]; then
  echo "over budget: ${over[*]}"
  exit 1
fi
echo "every budget met"
