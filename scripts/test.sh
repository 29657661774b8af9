#!/usr/bin/env bash
# Builds and runs every test: the core natively, the browser edition, then both Windows builds under Wine, the x86-64
# one under its 64-bit part and the i686 one (the zip's) under its 32-bit part, or, where that cannot run here, in an
# emulated Debian machine (tests/machine/emulated-machine.sh) with its package checks here. A Windows build that cannot
# run is said NOT RUN with the reason; the run fails when neither can. A failed preset does not stop the others: every
# failure is listed at the end. TESSEL_NO_32BIT=1 behaves as on a kernel without 32-bit support.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh test
source tests/wine/wine-env.sh
not_run=() failed=() elsewhere=() windows_runs=0
for build in native: wasm32: mingw-x86_64:win64 mingw-i686:win32; do
  preset=${build%:*} arch=${build#*:}
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
  if [ -z "$arch" ] || tessel_wine_runs "$arch"; then
    [ -z "$arch" ] || windows_runs=$((windows_runs + 1))
    ctest --preset "$preset" || failed+=("$preset")
    continue
  fi
  # The package checks need no Wine.
  ctest --preset "$preset" -L package --no-tests=ignore || failed+=("$preset (package checks)")
  reason=$(tessel_wine_not_run_reason "$arch") why=
  if [ "$arch" = win32 ] && why=$(tests/machine/emulated-machine.sh prepare); then
    echo "test: $preset: the Windows tests run in an emulated Debian 12 machine: here, $reason." >&2
    elsewhere+=("$preset: the Windows tests ran in an emulated Debian 12 machine: here, $reason.")
    tests/machine/emulated-machine.sh run ctest --preset "$preset" -LE package ||
      failed+=("$preset (in the emulated machine)")
    windows_runs=$((windows_runs + 1))
  else
    # Said loudly, not passed: these tests need a Wine that runs programs of this width.
    not_run+=("$preset: the Windows tests under Wine were built but NOT RUN. $reason.${why:+ The emulated machine:" \
      "$why.}")
    echo "test: ${not_run[-1]}" >&2
  fi
done
scripts/fuzz.sh 12 || failed+=(fuzz)
for line in "${elsewhere[@]}" "${not_run[@]}"; do echo "test: $line" >&2; done
[ "$windows_runs" -gt 0 ] ||
  failed+=("Windows: neither build could run under Wine here, so nothing started the real window")
[ ${#failed[@]} -eq 0 ] || { printf 'test: FAILED: %s\n' "${failed[@]}" >&2; exit 1; }
