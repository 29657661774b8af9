#!/usr/bin/env bash
# Builds the libFuzzer targets of the core and runs each for the given seconds (default 600).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh fuzz

seconds=${1:-600} build=build/fuzz targets=(instruction_text port_registers port_summary random_table)

echo "== fuzz, ${seconds} s per target"
cmake -S tests/fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

started=$SECONDS failed=()
for target in "${targets[@]}"; do
  # New inputs go to a scratch corpus under build/, listed first; the repository's seeds are only read.
  work=$build/run/$target log=$build/run/$target/log.txt status=0
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  "$build/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "tests/fuzz/corpus/$target" >"$log" 2>&1 || status=$?

  # The executions of libFuzzer's final stats, the coverage and features of its DONE line (none after a crash).
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  read -r cov ft < <(sed -E -n 's/^#[0-9]+[[:space:]]+DONE.* cov: ([0-9]+) ft: ([0-9]+).*/\1 \2/p' "$log" |
    tail -n1) || true
  if [ "$status" -eq 0 ]; then
    printf '%-18s ok    execs %-10s cov %-5s ft %s\n' "$target" "${execs:-?}" "${cov:-?}" "${ft:-?}"
  else
    printf '%-18s FAIL  exit %s, log %s\n' "$target" "$status" "$log"
    tail -n 40 "$log"
    failed+=("$target")
  fi
done
echo "fuzz: $((SECONDS - started)) s in all"

[ ${#failed[@]} -eq 0 ] || { echo "fuzz: failed: ${failed[*]}" >&2; exit 1; }
